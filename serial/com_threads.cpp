// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/com_threads.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "serial/os_error.h"
#include "serial/transmit_queue.h"
#include "threading/ui_hand_over.h"

namespace lumas {

namespace {

// Errors after which the device will never take bytes again (a USB adapter pulled, a hung-up
// line): the write is not retried.
bool meansDeviceGone(int osError) {
    return classifyOsError(osError) == OsFailure::DeviceGone;
}

constexpr auto kRetryPause = std::chrono::milliseconds(100);

}  // namespace

// --- CloseSignal

CloseSignal::~CloseSignal() {
    destroy();
}

void CloseSignal::create() {
    destroy();
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0) {
        raiseComError("Error initializing buffers (%d), %s", errno);
    }
}

void CloseSignal::raise() {
    const std::uint64_t one = 1;
    // An eventfd write only fails when its counter would overflow, which one raise cannot do.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void CloseSignal::destroy() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// --- TComEventThread

TComEventThread::TComEventThread(int deviceFd, int closeSignalFd, TComEvents monitored,
                                 bool syncThreads, Dispatch dispatch,
                                 std::function<void()> deviceGone)
    : deviceFd_(deviceFd),
      closeSignalFd_(closeSignalFd),
      monitored_(monitored),
      syncThreads_(syncThreads),
      dispatch_(std::move(dispatch)),
      deviceGone_(std::move(deviceGone)) {
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0) {
        raiseComError(" Error setting EventMask (%d), %s", errno);
    }
    epoll_event device{};
    device.events = EPOLLIN | EPOLLET;
    device.data.fd = deviceFd_;
    epoll_event close{};
    close.events = EPOLLIN;
    close.data.fd = closeSignalFd_;
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, deviceFd_, &device) != 0 ||
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, closeSignalFd_, &close) != 0) {
        const int error = errno;
        ::close(epollFd_);
        epollFd_ = -1;
        raiseComError(" Error setting EventMask (%d), %s", error);
    }
}

TComEventThread::~TComEventThread() {
    stop();
    if (epollFd_ >= 0) {
        ::close(epollFd_);
    }
}

void TComEventThread::start() {
    thread_ = std::thread([this] { run(); });
}

void TComEventThread::stop() {
    if (!thread_.joinable()) {
        return;
    }
    UiHandOver& handOver = UiHandOver::instance();
    if (handOver.onUiThread()) {
        handOver.waitServing([this] { return ended_.load(); });
    }
    thread_.join();
}

void TComEventThread::run() {
    bool watchingDevice = true;
    for (;;) {
        epoll_event ready[2];
        const int count = ::epoll_wait(epollFd_, ready, 2, -1);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            // The wait itself has failed: no further notifications until the port is reopened.
            waitForCloseSignal();
            break;
        }
        bool closing = false;
        bool gone = false;
        bool received = false;
        for (int i = 0; i < count; ++i) {
            if (ready[i].data.fd == closeSignalFd_) {
                closing = true;
            } else if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
                gone = true;
            } else if ((ready[i].events & EPOLLIN) != 0) {
                received = true;
            }
        }
        if (closing) {
            break;
        }
        TComEvents events;
        TComErrors errors;
        if (gone && watchingDevice) {
            // From now on the device would report its hang-up on every wait; only the close
            // signal is watched.
            ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, deviceFd_, nullptr);
            watchingDevice = false;
            deviceGone_();
            errors.insert(TComError::ceIO);
            if (monitored_.contains(TComEvent::ceError)) {
                events.insert(TComEvent::ceError);
            }
        } else if (received) {
            if (monitored_.contains(TComEvent::ceRxChar)) {
                events.insert(TComEvent::ceRxChar);
            }
            // Framing, parity and overrun errors come with received bytes.
            if (monitored_.contains(TComEvent::ceError)) {
                events.insert(TComEvent::ceError);
            }
        }
        if (!events.empty()) {
            handOver(events, errors);
        }
    }
    ended_ = true;
    UiHandOver::instance().wake();
}

void TComEventThread::handOver(TComEvents events, TComErrors errors) {
    try {
        if (syncThreads_) {
            UiHandOver::instance().run([&] { dispatch_(events, errors); });
        } else {
            dispatch_(events, errors);
        }
    } catch (...) {
        // The dispatch reports its own exceptions; nothing may end this thread early.
    }
}

void TComEventThread::waitForCloseSignal() {
    pollfd close{closeSignalFd_, POLLIN, 0};
    while (::poll(&close, 1, -1) < 0 && errno == EINTR) {
    }
}

// --- TComWriteThread

TComWriteThread::TComWriteThread(int deviceFd, int closeSignalFd, TransmitQueue& queue)
    : deviceFd_(deviceFd), closeSignalFd_(closeSignalFd), queue_(queue) {}

TComWriteThread::~TComWriteThread() {
    stop();
}

void TComWriteThread::start() {
    thread_ = std::thread([this] { run(); });
}

void TComWriteThread::stop() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TComWriteThread::run() {
    for (;;) {
        const std::optional<std::string> pending = queue_.waitForData();
        if (!pending) {
            return;
        }
        const ssize_t written = ::write(deviceFd_, pending->data(), pending->size());
        if (written > 0) {
            queue_.removeFront(static_cast<std::size_t>(written));
            continue;
        }
        const int error = written < 0 ? errno : 0;
        if (error == EINTR) {
            continue;
        }
        if (error == EAGAIN || error == EWOULDBLOCK) {
            if (!waitUntilWritable()) {
                return;
            }
            continue;
        }
        if (meansDeviceGone(error)) {
            queue_.markFailed(error);
            queue_.waitForClose();
            return;
        }
        if (queue_.waitForCloseFor(kRetryPause)) {
            return;
        }
    }
}

bool TComWriteThread::waitUntilWritable() {
    pollfd waits[2] = {{deviceFd_, POLLOUT, 0}, {closeSignalFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            // poll itself failed; fall back to the retry pause so that the loop cannot spin.
            return !queue_.waitForCloseFor(kRetryPause);
        }
        return (waits[1].revents & POLLIN) == 0;
    }
}

}  // namespace lumas
