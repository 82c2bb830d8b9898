// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "protocol/frame_codec.h"

// The program's end of the simulated controller's line, for the simulator's tests.
namespace lumas::sim::simtest {

using Clock = std::chrono::steady_clock;

constexpr char STX = '\x02';
constexpr char ETX = '\x03';

// The program's end of the line: a raw descriptor on the simulator's terminal. It takes the
// terminal for itself as the program's port takes its device (an advisory lock, then exclusive
// mode), so that a port elsewhere that opens this terminal by a path it kept from before (another
// test's, whose own terminal had that number) finds it busy instead of talking to this simulator.
class Line {
  public:
    explicit Line(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + path);
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd_, TIOCEXCL) != 0) {
            ::close(fd_);
            throw std::runtime_error("cannot take " + path + " for this line alone");
        }
        termios raw{};
        ::tcgetattr(fd_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd_, TCSANOW, &raw);
    }
    // Exclusive mode belongs to the terminal, not to this descriptor: it is lifted first.
    ~Line() {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    int fd() const { return fd_; }

    void send(const std::string& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void sendCommand(const std::string& commandText, const std::string& node = "01") {
        send(compoway::BuildFrame(node, commandText));
    }

    // What one read returns once bytes are there; empty after `timeoutMs` without any.
    std::string readChunk(int timeoutMs) {
        pollfd descriptor{fd_, POLLIN, 0};
        if (::poll(&descriptor, 1, timeoutMs) <= 0 || (descriptor.revents & POLLIN) == 0) {
            return {};
        }
        char buffer[1024];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

    // Everything read until the bytes end with `tail`, or until `timeoutMs` has passed.
    std::string readUntilEnd(const std::string& tail, int timeoutMs = 2000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string got;
        while (!got.ends_with(tail)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            got += readChunk(static_cast<int>(left.count()));
        }
        return got;
    }

    // Everything read until a frame has ended (ETX and one more byte), or `timeoutMs` has passed.
    std::string readReply(int timeoutMs = 2000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string got;
        for (;;) {
            const std::size_t etx = got.find(ETX);
            if (etx != std::string::npos && etx + 1 < got.size()) {
                return got;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return got;
            }
            got += readChunk(static_cast<int>(left.count()));
        }
    }

    // The response text (MRC, SRC, response code, data) of the reply to `commandText`.
    std::string request(const std::string& commandText) {
        sendCommand(commandText);
        const std::string reply = readReply();
        if (reply.size() < 9 || reply.substr(0, 7) != std::string(1, STX) + "010000") {
            return "bad reply: " + reply;
        }
        return reply.substr(7, reply.size() - 9);
    }

  private:
    int fd_;
};

// A reply frame of node 01 as the controller sends it.
inline std::string reply(const std::string& endCode, const std::string& responseText) {
    std::string frame = std::string(1, STX) + "0100" + endCode + responseText + ETX;
    return frame + compoway::GetBCC(frame);
}

}  // namespace lumas::sim::simtest
