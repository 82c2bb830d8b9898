// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "threading/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace lumas {

namespace {

// The pipe's write end for the handler: set before the handlers are installed and cleared after
// they are removed.
std::atomic<int> handlerWriteEnd{-1};

void onStopSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = handlerWriteEnd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // Non-blocking: with the pipe full, further signals are dropped, the first is kept.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

void setAction(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(signalNumber, &action, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "sigaction");
    }
}

}  // namespace

static_assert(StopSignals::kInterrupt == SIGINT && StopSignals::kTerminate == SIGTERM);

std::initializer_list<int> StopSignals::endingSignals() {
    static constexpr std::initializer_list<int> kEnding = {SIGHUP,  SIGQUIT, SIGINT, SIGTERM,
                                                           SIGPIPE, SIGUSR1, SIGUSR2};
    return kEnding;
}

std::string StopSignals::name(int signalNumber) {
    switch (signalNumber) {
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
        case SIGINT:
            return "Ctrl-C (SIGINT)";
        case SIGTERM:
            return "SIGTERM";
        case SIGPIPE:
            return "SIGPIPE";
        case SIGUSR1:
            return "SIGUSR1";
        case SIGUSR2:
            return "SIGUSR2";
        default:
            return "signal " + std::to_string(signalNumber);
    }
}

StopSignals::StopSignals(std::initializer_list<int> handled) : signals_(handled) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    int expected = -1;
    if (!handlerWriteEnd.compare_exchange_strong(expected, writeEnd_)) {
        ::close(readEnd_);
        ::close(writeEnd_);
        throw std::logic_error("Only one StopSignals may exist at a time");
    }
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    // Connected first, so that it runs before the calls of whenReceived.
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readPipe(); });
    for (const int signalNumber : signals_) {
        setAction(signalNumber, onStopSignal);
    }
}

StopSignals::~StopSignals() {
    try {
        for (const int signalNumber : signals_) {
            setAction(signalNumber, SIG_DFL);
        }
    } catch (const std::system_error&) {
        // sigaction fails only for invalid arguments, which these are not.
    }
    handlerWriteEnd.store(-1);
    notifier_.reset();
    ::close(readEnd_);
    ::close(writeEnd_);
}

void StopSignals::readPipe() {
    unsigned char byte = 0;
    while (::read(readEnd_, &byte, 1) == 1) {
        if (first_ == 0) {
            first_ = byte;
        }
    }
}

void StopSignals::whenReceived(QObject* context, std::function<void()> call) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context, std::move(call));
}

}  // namespace lumas
