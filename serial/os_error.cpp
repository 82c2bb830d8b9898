// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/os_error.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "serial/com_port.h"

namespace lumas {

namespace {

// strerror_r comes in two flavours: the GNU one returns the text, the POSIX one fills the buffer.
[[maybe_unused]] const char* pickText(const char* gnuText, const char* /*buffer*/) {
    return gnuText;
}
[[maybe_unused]] const char* pickText(int posixResult, const char* buffer) {
    return posixResult == 0 ? buffer : "Unknown error";
}

}  // namespace

std::string osErrorText(int osError) {
    char buffer[256] = {};
    return pickText(strerror_r(osError, buffer, sizeof buffer), buffer);
}

void raiseComError(const std::string& text, int osError) {
    static constexpr std::string_view kPlaceholder = "(%d), %s";
    std::string message = text;
    const std::size_t at = message.find(kPlaceholder);
    if (at != std::string::npos) {
        message.replace(at, kPlaceholder.size(),
                        "(" + std::to_string(osError) + "), " + osErrorText(osError));
    }
    throw EComPortError(message, osError);
}

OsFailure classifyOsError(int osError) {
    // 515 is the kernel's ENOIOCTLCMD, which normally reaches user space as ENOTTY.
    constexpr int kNoIoctlCommand = 515;
    switch (osError) {
        case 0:
            return OsFailure::None;
        case EINTR:
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return OsFailure::Retry;
        case ENOENT:
            return OsFailure::NotFound;
        case EIO:
        case ENXIO:
        case ENODEV:
        case EBADF:
        case EPIPE:
            return OsFailure::DeviceGone;
        case EBUSY:
            return OsFailure::Busy;
        case EACCES:
        case EPERM:
            return OsFailure::AccessDenied;
        case ENOTTY:
        case kNoIoctlCommand:
            return OsFailure::Unsupported;
        case EINVAL:
            return OsFailure::InvalidArgument;
        default:
            return OsFailure::Other;
    }
}

bool isUnsupportedIoctl(int osError) {
    const OsFailure failure = classifyOsError(osError);
    return failure == OsFailure::Unsupported || failure == OsFailure::InvalidArgument;
}

}  // namespace lumas
