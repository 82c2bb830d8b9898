#include "cli/core_session.h"

#include <QEventLoop>
#include <QTimer>

#include <iostream>
#include <utility>

#include "cli/exit_status.h"
#include "core/settings_store.h"
#include "threading/ui_hand_over.h"

namespace lumas::cli {

namespace {

// How long the echo test may take after the connect phase, which already waited more than a
// second of the core's time for it.
constexpr std::chrono::seconds kEchoWait{2};
// How long the first poll cycle (temperature, set point, run state) may take to reach the
// read-outs: six worker passes when the controller answers at once.
constexpr std::chrono::seconds kFirstCycleWait{4};
// The worker's last poll step, the wait for the run state, after which the cycle begins again.
constexpr int kLastPollStep = 6;

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

void SessionEvents::emergencyCutOff(double celsius) {
    cutOffReading_ = celsius;
}

void SessionEvents::stopNotConfirmed() {
    out_ << "The controller did not confirm the Stop; the chamber may still be running."
         << std::endl;
}

CoreSession::CoreSession(double timeScale, StopSignals& stopSignals)
    : signals_(stopSignals), timeScale_(timeScale), window_(clock_, std::cerr), events_(std::cout) {
    logic_ =
        std::make_unique<MainFormLogic>(driver_, port_, window_.ports(), clock_, settingsFile());
    window_.bindHandlers(*logic_);
    logic_->addObserver(&events_);
    // Every worker update sets the temperature read-out first. The first update that finds the
    // poll cycle back at its start, after its last step, shows all three values read.
    window_.lTemp.onSet = [this] {
        if (!logic_) {
            return;
        }
        const int step = logic_->state().PollStep.load();
        if (step == kLastPollStep) {
            lastPollStepSeen_ = true;
        } else if (step == 1 && lastPollStepSeen_) {
            firstCycleShown_ = true;
        }
    };
}

CoreSession::~CoreSession() {
    try {
        close();
    } catch (const std::exception& error) {
        std::cerr << "lumasctl: while closing the link: " << error.what() << '\n';
    }
}

void CoreSession::connect(const std::string& portName) {
    if (const auto failure = logic_->ConnectToPort(portName)) {
        throw SessionError(failure->toStdString(), kExitPort);
    }
    devicePath_ = port_.DevicePath();
    if (!driver_.Connected()) {
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
    // The connect phase ran in real time: its pauses give the controller time to answer, and the
    // echo reply counts only while that phase lasts. From here on the core's time may run faster.
    clock_.setFactor(timeScale_);
    // A controller that stops answering here is the core's to handle (its reply watchdog).
    waitUntil([this] { return firstCycleShown_; }, kFirstCycleWait, true);
}

std::string CoreSession::portFailure() {
    if (port_.Active()) {
        // Opened, then failed: the device went away while the link was being made.
        return "The device " + devicePath_ + " went away while the link was being made.";
    }
    // The driver keeps the port's reason to itself; a second attempt brings it out.
    try {
        port_.Open();
        port_.Close();
    } catch (const std::exception& error) {
        return error.what();
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
        metrics_ = std::make_unique<metrics::MetricsEndpoint>(*logic_, where);
    } catch (const std::runtime_error& error) {
        throw SessionError(error.what(), kExitUsage);
    }
    std::cout << "Metrics: " << metrics_->url().toStdString() << std::endl;
}

void CoreSession::observeHandOvers(std::function<void()> observer) {
    if (!observers_) {
        observers_ = std::make_unique<QObject>();
    }
    QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver, observers_.get(),
                     std::move(observer));
}

void CoreSession::close() {
    if (!logic_) {
        return;
    }
    observers_.reset();
    metrics_.reset();
    logic_->removeObserver(&events_);
    logic_->DisconnectWithoutAsking();
    logic_.reset();
    driver_.ClosePort();
}

}  // namespace lumas::cli
