// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>

namespace lumas {

// What a failed call's errno means to the port. Every errno the port looks at is sorted here and
// nowhere else.
enum class OsFailure {
    None,             // 0: no failure
    Retry,            // interrupted, or nothing to do yet: try again
    NotFound,         // no such file
    DeviceGone,       // the device is not there (any more): unplugged, hung up, closed
    Busy,             // another opener holds it
    AccessDenied,     // no permission (not in the dialout group, say)
    Unsupported,      // the device does not offer the request (a pseudo-terminal's modem lines)
    InvalidArgument,  // a setting the device or the system cannot take
    Other,
};
OsFailure classifyOsError(int osError);

// The operating system's description of an errno value; safe to call from any thread.
std::string osErrorText(int osError);

// Raises EComPortError with `text`. A "(%d), %s" in the text is filled with `osError` and its
// description; a text without it is used as it stands.
[[noreturn]] void raiseComError(const std::string& text, int osError);

// Whether an ioctl failed only because the device does not offer it (a pseudo-terminal has no
// modem lines and no error counters, for one): Unsupported, or an InvalidArgument for the request.
bool isUnsupportedIoctl(int osError);

}  // namespace lumas
