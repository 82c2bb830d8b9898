#pragma once

#include <string>

namespace lumas {

// The operating system's description of an errno value; safe to call from any thread.
std::string osErrorText(int osError);

// Raises EComPortError with `text`. A "(%d), %s" in the text is filled with `osError` and its
// description; a text without it is used as it stands.
[[noreturn]] void raiseComError(const std::string& text, int osError);

// Whether an ioctl failed only because the device does not offer it (a pseudo-terminal has no
// modem lines and no error counters, for one).
bool isUnsupportedIoctl(int osError);

}  // namespace lumas
