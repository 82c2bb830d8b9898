// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace lumas::test {

namespace {
[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}
}  // namespace

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        fail("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        fail("grantpt/unlockpt");
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        fail("ptsname_r");
    }
    slavePath_ = name;
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ < 0) {
        fail("open slave");
    }
    termios raw{};
    if (tcgetattr(slaveKeeper_, &raw) != 0) {
        fail("tcgetattr");
    }
    cfmakeraw(&raw);
    if (tcsetattr(slaveKeeper_, TCSANOW, &raw) != 0) {
        fail("tcsetattr");
    }
}

PtyPair::~PtyPair() {
    if (slaveKeeper_ >= 0) {
        ::close(slaveKeeper_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PtyPair::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("write master");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string PtyPair::read(std::size_t expected, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    while (got.size() < expected) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd pfd{master_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready <= 0 || (pfd.revents & POLLIN) == 0) {
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void PtyPair::hangUp() {
    if (slaveKeeper_ >= 0) {
        ::close(slaveKeeper_);
        slaveKeeper_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

}  // namespace lumas::test
