// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/core_session.h"

#include <QEventLoop>
#include <QTimer>

#include <iostream>
#include <utility>

#include "cli/exit_status.h"
#include "threading/ui_hand_over.h"

namespace lumas::cli {

namespace {

// How long the echo test may take after the connect phase, which already waited more than a
// second for it.
constexpr std::chrono::seconds kEchoWait{2};
// How long the first poll cycle (temperature, set point, run state) may take: six worker passes
// when the controller answers at once.
constexpr std::chrono::seconds kFirstCycleWait{4};

}  // namespace

void SessionEvents::linkUp() {
    if (linkLosses_ > 0 && !live_) {
        out_ << "Readings are back." << std::endl;
    }
    live_ = true;
}

void SessionEvents::linkLost(Loss why) {
    live_ = false;
    ++linkLosses_;
    out_ << (why == Loss::NoReply ? "No reply from the controller; no readings."
                                  : "The device went away; trying to open it again.")
         << std::endl;
}

void SessionEvents::portReopened(const QString& devicePath) {
    out_ << "Opened " << devicePath.toStdString() << " again." << std::endl;
}

void SessionEvents::stopNotConfirmed() {
    out_ << "The controller did not confirm the Stop; the chamber may still be running."
         << std::endl;
}

CoreSession::CoreSession(double timeScale, StopSignals& stopSignals)
    : signals_(stopSignals), runClock_(timeScale), events_(std::cout) {
    chamber_ =
        std::make_unique<ChamberControl>(driver_, port_, lineClock_, runClock_, QLocale::c());
    chamber_->addLinkObserver(&events_);
    chamber_->run().addObserver(&events_);
}

CoreSession::~CoreSession() {
    try {
        close();
    } catch (const std::exception& error) {
        std::cerr << "lumasctl: while closing the link: " << error.what() << '\n';
    }
}

void CoreSession::connect(const std::string& portName) {
    const ChamberControl::Connection made = chamber_->connect(portName);
    if (made.failure) {
        throw SessionError(made.failure->toStdString(), kExitPort);
    }
    devicePath_ = port_.DevicePath();
    if (!driver_.Connected()) {
        if (made.advice) {
            throw SessionError(made.advice->toStdString(), kExitPort);
        }
        throw SessionError(portFailure(), kExitPort);
    }
    const WaitEnd echo = waitUntil([this] { return driver_.StatusOk(); }, kEchoWait, true);
    if (echo == WaitEnd::Signalled) {
        return;
    }
    if (echo == WaitEnd::TimedOut) {
        throw SessionError("The controller on " + devicePath_ +
                               " did not confirm the link: no answer to the echo test, or other "
                               "data came back. Check the cable, the line settings (9600 bit/s, "
                               "7E2) and the node number (1).",
                           kExitController);
    }
    // A poll cycle reads the temperature, the set point and then the run state: a run state read
    // on this link, with the readings live, comes at the end of a whole cycle.
    const unsigned long statusBefore = driver_.StatusReadings();
    waitUntil(
        [this, statusBefore] {
            return chamber_->linkHealth().live() && driver_.StatusReadings() != statusBefore;
        },
        kFirstCycleWait, true);
}

std::string CoreSession::portFailure() {
    if (port_.Active()) {
        // Opened, then failed: the device went away while the link was being made.
        return "The device " + devicePath_ + " went away while the link was being made.";
    }
    if (const auto failure = driver_.LastPortFailure()) {
        return failure->message;
    }
    return "The port " + devicePath_ + " could not be used.";
}

CoreSession::WaitEnd CoreSession::waitUntil(const std::function<bool()>& done,
                                            std::optional<std::chrono::milliseconds> timeout,
                                            bool endOnSignal) {
    const auto signalled = [&] { return endOnSignal && signals_.first() != 0; };
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    if (endOnSignal) {
        signals_.whenReceived(&loop, [&loop] { loop.quit(); });
    }
    if (timeout) {
        deadline.start(*timeout);
    }
    for (;;) {
        if (done()) {
            return WaitEnd::Done;
        }
        if (signalled()) {
            return WaitEnd::Signalled;
        }
        if (timeout && !deadline.isActive()) {
            return WaitEnd::TimedOut;
        }
        loop.exec();
    }
}

void CoreSession::serveMetrics(const metrics::ListenAddress& where) {
    try {
        metrics_ = std::make_unique<metrics::MetricsEndpoint>(*chamber_, where);
    } catch (const std::runtime_error& error) {
        throw SessionError(error.what(), kExitUsage);
    }
    std::cout << "Metrics: " << metrics_->url().toStdString() << std::endl;
}

void CoreSession::close(RunEndReason reason) {
    if (!chamber_) {
        return;
    }
    metrics_.reset();
    chamber_->letGo(reason);
    chamber_->run().removeObserver(&events_);
    chamber_->removeLinkObserver(&events_);
    chamber_.reset();
    driver_.ClosePort();
}

}  // namespace lumas::cli
