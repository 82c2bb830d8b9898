// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

// A plain TCP client for the metrics server's tests: blocking enough to be simple, with a deadline
// on every wait so that a test never hangs on a server that misbehaves.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

namespace lumas::test {

class TcpClient {
  public:
    // Connects to 127.0.0.1:`port`; connected() tells whether it worked.
    explicit TcpClient(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~TcpClient() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return connected_; }

    // Sends all of `data` unless the peer has closed or `timeoutMs` passes; returns whether all
    // of it went.
    bool send(std::string_view data, int timeoutMs = 2000) {
        while (!data.empty()) {
            if (!waitFor(POLLOUT, timeoutMs)) {
                return false;
            }
            const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            }
            if (sent > 0) {
                data.remove_prefix(static_cast<std::size_t>(sent));
            }
        }
        return true;
    }

    // Reads until the peer closes or `timeoutMs` passes, or until `enough(text so far)` holds.
    // `closed` tells whether the peer closed (or reset) the connection.
    template <typename Enough>
    std::string receive(int timeoutMs, Enough enough, bool* closed = nullptr) {
        std::string text;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (enough(text) || left <= 0 || !waitFor(POLLIN, left)) {
                break;
            }
            char buffer[4096];
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                if (closed != nullptr) {
                    *closed = true;
                }
                break;
            }
            if (got > 0) {
                text.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return text;
    }

    // Waits until the peer closes the connection; false when it is still open after `timeoutMs`.
    bool waitForClose(int timeoutMs) {
        bool closed = false;
        receive(
            timeoutMs, [](const std::string&) { return false; }, &closed);
        return closed;
    }

  private:
    using Clock = std::chrono::steady_clock;

    bool waitFor(short events, int timeoutMs) {
        pollfd p{fd_, events, 0};
        return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
    }

    int fd_;
    bool connected_ = false;
};

// A whole HTTP/1.1 response with a Content-Length, or the connection's end.
inline bool wholeResponse(const std::string& text) {
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    const std::string_view head(text.data(), end);
    std::size_t at = std::string::npos;
    for (const char* name : {"Content-Length: ", "content-length: "}) {
        if (at == std::string::npos) {
            at = head.find(name);
        }
    }
    if (at == std::string::npos) {
        return false;
    }
    const std::size_t length = std::stoul(std::string(head.substr(at + 16)));
    return text.size() >= end + 4 + length;
}

// Sends `request` on a new connection and returns the response (empty when none came in
// `timeoutMs`).
inline std::string httpRequest(quint16 port, std::string_view request, int timeoutMs = 3000) {
    TcpClient client(port);
    if (!client.connected() || !client.send(request, timeoutMs)) {
        return {};
    }
    return client.receive(timeoutMs, wholeResponse);
}

}  // namespace lumas::test
