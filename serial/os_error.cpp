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

bool isUnsupportedIoctl(int osError) {
    // 515 is the kernel's ENOIOCTLCMD, which normally reaches user space as ENOTTY.
    constexpr int kNoIoctlCommand = 515;
    return osError == ENOTTY || osError == EINVAL || osError == kNoIoctlCommand;
}

}  // namespace lumas
