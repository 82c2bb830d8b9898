// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chamber's control: the link (connecting, the worker, letting go) and the calls that start,
// stop and steer a run. The worker's per-pass update is in chamber_update.cpp.

#include "core/chamber_control.h"

#include <cmath>
#include <exception>

#include "core/operator_texts.h"
#include "serial/port_discovery.h"

namespace lumas {

namespace {

using std::chrono::milliseconds;
constexpr milliseconds kConnectSettle{1000};
constexpr milliseconds kConnectStep{240};
constexpr milliseconds kPortConfigurationSleep{400};
constexpr milliseconds kPortSelectionSleep{30};

// A set point in the tenths the controller stores, rounded half to even as the driver rounds the
// value it sends.
double storedTenths(double celsius) {
    return std::nearbyint(celsius * 10.0);
}

}  // namespace

ChamberControl::ChamberControl(TOmronCom& controller, TCustomComPort& port, Clock& lineClock,
                               Clock& runClock, const QLocale& locale)
    : controller_(controller),
      port_(port),
      lineClock_(lineClock),
      runClock_(runClock),
      locale_(locale) {}

ChamberControl::~ChamberControl() {
    stopWorker();
}

void ChamberControl::addLinkObserver(LinkObserver* observer) {
    linkObservers_.push_back(observer);
}

void ChamberControl::removeLinkObserver(LinkObserver* observer) {
    std::erase(linkObservers_, observer);
}

ChamberControl::Connection ChamberControl::connect(const std::string& portName) {
    Connection result;
    try {
        // One worker at a time: the running one stops before its port is closed.
        stopWorker();
        controller_.ClosePort();
        lineClock_.sleep(kPortSelectionSleep);
        if (portName.empty()) {
            result.failure = texts::kErrorOccured + texts::kNoPortSelected;
            return result;
        }
        health_.stop();
        port_.SetDeviceName(portName);
        controller_.OpenPort();
        linkDevicePath_ = port_.DevicePath();
        linkAlias_ = stableDeviceAlias(linkDevicePath_);
        if (!controller_.Connected()) {
            if (const auto advice = portPermissionAdvice(port_.DevicePath())) {
                result.advice = QString::fromStdString(*advice);
            }
        }
        result.answered = readParameters();
    } catch (const std::exception& error) {
        result.failure = texts::kErrorOccured + QString::fromStdString(error.what());
    }
    return result;
}

bool ChamberControl::readParameters() {
    if (!controller_.Connected()) {
        return false;
    }
    DelayMs(kConnectSettle);
    controller_.GetSetPoint();
    DelayMs(kConnectStep);
    controller_.WriteEnable();
    DelayMs(kConnectStep);
    const bool answered = controller_.AllowToSend();
    watchLink();
    StartThread();
    return answered;
}

void ChamberControl::watchLink() {
    health_.start(lineClock_.now(), controller_.TemperatureReadings());
}

void ChamberControl::StartThread() {
    stopWorker();
    state_.PollStep.store(1);
    worker_ = std::make_unique<TMyThread>(controller_, state_, lineClock_, updateSequence_);
}

void ChamberControl::TerminateWorker() {
    if (worker_) {
        worker_->Terminate();
    }
}

void ChamberControl::stopWorker() {
    // Terminates and joins the worker; its last update plays to its end meanwhile. No step of the
    // update calls this (a step never waits for the worker that is waiting for the step).
    worker_.reset();
}

void ChamberControl::letGo(RunEndReason reason, std::chrono::milliseconds wait) {
    // Before the worker's last update: it must neither switch a step nor correct the set point of
    // a run that is over.
    run_.endWithoutStop(reason, currentDateTime());
    if (!linkWanted() && !worker_) {
        return;
    }
    TerminateWorker();
    DelayMs(wait);
    // The worker's last update has normally run during the wait; joining makes sure it cannot
    // report readings after the link has been let go.
    stopWorker();
    sendPendingStops();
    controller_.ClosePort();
    health_.stop();
    controller_.SetAllowToSend(false);
}

void ChamberControl::closeForConfiguration() {
    run_.endWithoutStop(RunEndReason::Disconnected, currentDateTime());
    TerminateWorker();
    lineClock_.sleep(kPortConfigurationSleep);
    // Closed through the driver, so that it knows it is no longer connected; what the worker's
    // last update finds then is no reading.
    health_.stop();
    controller_.ClosePort();
}

void ChamberControl::sendPendingStops() {
    // A Stop asked just before letting go of the link still goes out.
    if (run_.stopDue() && controller_.Connected()) {
        run_.takeStop();
        controller_.cmdStop();
        DelayMs(kCommandPause);
    }
    forgetStop();
}

Outcome ChamberControl::requireConnection() const {
    if (controller_.Connected()) {
        return std::nullopt;
    }
    return Refusal{Refusal::Why::NotConnected, texts::kNoConnection};
}

Outcome ChamberControl::requireNoRun() const {
    if (!run_.active()) {
        return std::nullopt;
    }
    return Refusal{Refusal::Why::RunActive,
                   run_.stopping() ? texts::kWaitingForStop : texts::kRunActive};
}

Outcome ChamberControl::checkSingleSetPoint(double celsius) const {
    // Written so that a value that is not a number is out of range as well.
    if (!(celsius >= kSingleSetPointMin && celsius <= kSingleSetPointMax)) {
        return Refusal{Refusal::Why::OutOfRange,
                       texts::temperatureRange(kSingleSetPointMin, kSingleSetPointMax, locale_)};
    }
    if (celsius > state_.EmergencyThreshold) {
        return Refusal{Refusal::Why::AboveThreshold,
                       texts::aboveThreshold(state_.EmergencyThreshold, locale_)};
    }
    return std::nullopt;
}

Outcome ChamberControl::checkProgramme(const Programme& programme) const {
    for (int n = 1; n <= programme.stepCount(); ++n) {
        if (programme.step(n).temperature > state_.EmergencyThreshold) {
            return Refusal{Refusal::Why::AboveThreshold,
                           texts::aboveThreshold(state_.EmergencyThreshold, locale_), n};
        }
    }
    return std::nullopt;
}

Outcome ChamberControl::setSetPoint(double celsius) {
    if (auto refused = requireConnection()) {
        return refused;
    }
    if (auto refused = checkSingleSetPoint(celsius)) {
        return refused;
    }
    run_.queueSetPoint(celsius);
    return std::nullopt;
}

Outcome ChamberControl::startSingle(std::optional<double> setPoint) {
    if (auto refused = requireConnection()) {
        return refused;
    }
    if (auto refused = requireNoRun()) {
        return refused;
    }
    if (setPoint) {
        if (auto refused = checkSingleSetPoint(*setPoint)) {
            return refused;
        }
    }
    RunStart start;
    start.kind = RunKind::Single;
    start.singleSetPoint = setPoint;
    beginRun(std::move(start));
    // What is on the screen is what runs: a set point the controller does not hold (or that
    // cannot be known now) goes out before Run.
    if (setPoint &&
        (!health_.live() || storedTenths(*setPoint) != storedTenths(controller_.SetPoint()))) {
        run_.queueSetPoint(*setPoint);
    }
    return std::nullopt;
}

Outcome ChamberControl::startProgramme(const Programme& programme) {
    if (auto refused = requireConnection()) {
        return refused;
    }
    if (auto refused = requireNoRun()) {
        return refused;
    }
    if (auto refused = checkProgramme(programme)) {
        return refused;
    }
    RunStart start;
    start.kind = RunKind::Programme;
    // A ramp of the first step starts where the chamber is, or, without a reading, from the set
    // point the controller holds.
    start.programme =
        programme.startingFrom(health_.live() ? state_.LastTemperature : state_.LastSetPoint);
    beginRun(std::move(start));
    return std::nullopt;
}

void ChamberControl::beginRun(RunStart start) {
    start.emergencyThreshold = state_.EmergencyThreshold;
    start.blindStopLimit = blindStopLimit_;
    start.devicePath = QString::fromStdString(linkDevicePath_);
    start.startedAt = currentDateTime();
    runStartLineTick_ = lineClock_.now();
    lastReadingRunTick_ = runClock_.now();
    programmeSawLink_ = health_.live();
    // The run state read before Run goes out is not its answer.
    statusReadingsAtRun_ = controller_.StatusReadings();
    run_.begin(std::move(start), runClock_.now());
}

Outcome ChamberControl::stop(RunEndReason why) {
    // A link whose device went away is still wanted: the Stop goes out once it is back.
    if (!linkWanted()) {
        return Refusal{Refusal::Why::NotConnected, texts::kNoConnection};
    }
    if (run_.controlling()) {
        run_.askStop(why);
    } else {
        run_.queueStopWithoutRun();
    }
    return std::nullopt;
}

Outcome ChamberControl::resumeHeldRun() {
    if (run_.phase() != RunPhase::Held) {
        return Refusal{Refusal::Why::NotHeld, texts::kRunNotHeld};
    }
    if (auto refused = requireConnection()) {
        return refused;
    }
    // The run state read before Run goes out again is not its answer.
    statusReadingsAtRun_ = controller_.StatusReadings();
    run_.resume();
    return std::nullopt;
}

Outcome ChamberControl::endHeldRun() {
    if (run_.phase() != RunPhase::Held) {
        return Refusal{Refusal::Why::NotHeld, texts::kRunNotHeld};
    }
    run_.endWithoutStop(RunEndReason::ControllerStopped, currentDateTime());
    return std::nullopt;
}

}  // namespace lumas
