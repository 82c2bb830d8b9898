// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The worker's per-pass update, run on the UI thread while the worker waits, and the watch over
// the link and the run that each update keeps: link health, reopening a device that went away,
// the run state the controller reports, the emergency cut-off, the stop of a run nobody can
// watch, and the confirmation of every Stop.

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "core/chamber_control.h"
#include "protocol/omron_com.h"

namespace lumas {

namespace {

// How often a device that went away is looked for again.
constexpr Tick kReopenEveryMs = 2000;
// How often a ramp's set point is sent, real time.
constexpr Tick kRampWriteEveryMs = 2000;
// Run-state readings after Run went out before the run state counts as the answer to it: the
// first may answer a read that was on the line before Run.
constexpr unsigned long kReadingsAfterRun = 2;

double storedTenths(double celsius) {
    return std::nearbyint(celsius * 10.0);
}

}  // namespace

std::vector<SequenceStep> ChamberControl::buildUpdateSequence(ChamberControl& chamber) {
    using Step = StepResult (ChamberControl::*)();
    // The set point before Run, Run before Stop: a Stop asked together with a start always goes
    // out last, so the chamber is never left running by the order of the commands.
    static constexpr Step kSteps[] = {
        &ChamberControl::observeLinkAndRun, &ChamberControl::sendPendingSetPoint,
        &ChamberControl::sendPendingRun,    &ChamberControl::sendPendingProgrammeStart,
        &ChamberControl::sendPendingStop,   &ChamberControl::followProgramme,
        &ChamberControl::holdStepSetPoint,  &ChamberControl::cutOffWhenTooHot,
        &ChamberControl::stopWhenBlind,     &ChamberControl::serveStopConfirmation,
    };
    std::vector<SequenceStep> sequence;
    for (const Step step : kSteps) {
        sequence.emplace_back([&chamber, step] { return (chamber.*step)(); });
    }
    return sequence;
}

void ChamberControl::UpdateMainForm() {
    playOnUiThread(updateSequence_, lineClock_);
}

StepResult ChamberControl::observeLinkAndRun() {
    SharedState& s = state_;
    superviseLink();
    LinkView view;
    view.live = health_.live();
    if (view.live) {
        s.LastTemperature = controller_.Temperature();
        s.LastSetPoint = controller_.SetPoint();
    }
    view.temperature = s.LastTemperature;
    view.setPoint = s.LastSetPoint;
    view.stopped = controller_.Stopped();
    notifyLink([&view](LinkObserver& o) { o.polled(view); });

    // Reply watchdog: a request unanswered for more than 8 s of real time is given up.
    if (!controller_.AllowToSend() &&
        ticksSince(s.LastSendTick.load(), lineClock_.now()) / 1000.0 > kReplyWatchdogSeconds) {
        controller_.AbandonRequest();
        controller_.SetAllowToSend(true);
    }
    followRunState();
    reportReading();
    return nothingSent();
}

void ChamberControl::followRunState() {
    const RunPhase phase = run_.phase();
    if (phase != RunPhase::Starting && phase != RunPhase::Running) {
        return;
    }
    if (controller_.StatusReadings() - statusReadingsAtRun_ < kReadingsAfterRun) {
        return;  // no run state read since Run went out
    }
    if (!controller_.Stopped()) {
        run_.confirmRunning(runClock_.now());
    } else {
        // After a power cut, a restart or a Stop at its front panel: never taken for a running
        // chamber. The run waits for the operator.
        run_.hold(runClock_.now());
    }
}

void ChamberControl::reportReading() {
    const unsigned long readings = controller_.TemperatureReadings();
    const bool live = health_.live();
    const bool fresh = live && readings != readingsReported_;
    const bool lost = !live && lastReportLive_;
    readingsReported_ = readings;
    lastReportLive_ = live;
    if (!run_.active() || !(fresh || lost)) {
        return;
    }
    RunReading reading;
    reading.at = currentDateTime();
    reading.runMinutes = run_.runMinutes(runClock_.now());
    if (fresh) {
        reading.temperature = state_.LastTemperature;
        reading.setPoint = state_.LastSetPoint;
    }
    reading.link = health_.state();
    reading.step = run_.kind() == RunKind::Programme ? run_.currentStep() : 0;
    run_.reportReading(reading);
}

// The commands asked for, in this fixed order.

StepResult ChamberControl::sendPendingSetPoint() {
    const std::optional<double> setPoint = run_.takeSetPoint();
    if (!setPoint) {
        return nothingSent();
    }
    controller_.cmdSetPoint(*setPoint);
    return pauseFor(kCommandPause);
}

void ChamberControl::runSent() {
    forgetStop();
    statusReadingsAtRun_ = controller_.StatusReadings();
}

StepResult ChamberControl::sendPendingRun() {
    if (!run_.takeRun()) {
        return nothingSent();
    }
    runSent();
    controller_.cmdRun();
    return pauseFor(kCommandPause);
}

StepResult ChamberControl::sendPendingProgrammeStart() {
    if (!run_.programmeStartDue() || !run_.programme()) {
        return nothingSent();
    }
    forgetStop();
    controller_.cmdSetPoint(run_.plannedSetPoint().value_or(run_.programme()->step(1).temperature));
    return pauseThen(kCommandPause, [this] {
        if (!run_.programmeStartDue()) {
            return nothingSent();  // the run was let go during the pause
        }
        runSent();
        controller_.cmdRun();
        return pauseThen(kCommandPause, [this] {
            run_.programmeStartSent();
            return nothingSent();
        });
    });
}

StepResult ChamberControl::sendPendingStop() {
    if (!run_.takeStop()) {
        return nothingSent();
    }
    sendStop();
    return pauseFor(kCommandPause);
}

// Moves the programme on: steps begin, ramps move, soaks count (see ProgrammeProgress); the set
// point it wants goes out with holdStepSetPoint. At its end the programme stops the controller, or
// leaves it running at the last set point, as the programme says.
StepResult ChamberControl::followProgramme() {
    if (run_.kind() != RunKind::Programme || !run_.active()) {
        return nothingSent();
    }
    // The link is live while readings come in: the last one is the chamber's temperature.
    const bool live = health_.live();
    const std::optional<double> measured =
        live ? std::optional<double>(state_.LastTemperature) : std::nullopt;
    if (live && controller_.TemperatureReadings() != readingsSeenByProgramme_) {
        readingsSeenByProgramme_ = controller_.TemperatureReadings();
        lastReadingRunTick_ = runClock_.now();
    }
    if (!live && programmeSawLink_) {
        // Found lost seconds after the last reading: a ramp goes back to where it stood then, so
        // that the set point goes on from what the controller may have last received.
        run_.rampLostSince(lastReadingRunTick_, runClock_.now());
    }
    programmeSawLink_ = live;
    if (!run_.advanceProgramme(runClock_.now(), measured, live)) {
        return nothingSent();
    }
    if (run_.programme()->end() == ProgrammeEnd::Hold) {
        run_.endWithoutStop(RunEndReason::FinishedHolding, currentDateTime());
    } else {
        // Its Stop goes out with the next update.
        run_.askStop(RunEndReason::Finished);
    }
    return nothingSent();
}

// Keeps the controller on the current step's temperature. The comparison is with what the
// controller can hold of the value the driver sends: a step above the driver's set-point limit is
// held at that limit, and a step with more than one decimal at its tenth, instead of being written
// again on every pass. While the controller does not answer, the driver keeps one such write
// waiting and sends it once the link is back.
StepResult ChamberControl::holdStepSetPoint() {
    const std::optional<double> planned = run_.plannedSetPoint();
    if (!state_.ProgramRunning || run_.phase() == RunPhase::Held || !planned) {
        return nothingSent();
    }
    const double target = *planned;
    double sendable = target;
    setPointValueText(target, &sendable);
    if (storedTenths(sendable) == storedTenths(controller_.SetPoint())) {
        return nothingSent();
    }
    // A ramp's set point goes out at most every kRampWriteEveryMs of real time, without a
    // read-back of its own (the poll reads the set point): a write on every pass would crowd out
    // the temperature readings and make the link look silent.
    const bool ramping =
        run_.progress() && run_.progress()->stage() == ProgrammeProgress::Stage::Ramping;
    const Tick now = lineClock_.now();
    if (ramping) {
        if (ticksSince(lastRampWriteTick_, now) < kRampWriteEveryMs) {
            return nothingSent();
        }
        lastRampWriteTick_ = now;
        controller_.cmdSetPoint(target);
        return pauseFor(kCommandPause);
    }
    controller_.cmdSetPoint(target);
    return pauseThen(kCommandPause, [this] {
        controller_.GetSetPoint();
        return pauseFor(kCommandPause);
    });
}

// Emergency cut-off, on a reading taken just now: the Stop goes out at once. The reading that
// fired it is reported first, so that the chart and the log hold it.
StepResult ChamberControl::cutOffWhenTooHot() {
    const SharedState& s = state_;
    if (!s.ControlActive || !health_.live() || s.LastTemperature <= s.EmergencyThreshold) {
        return nothingSent();
    }
    run_.reportCutOff(s.LastTemperature, s.EmergencyThreshold, currentDateTime());
    run_.askStop(RunEndReason::EmergencyCutOff);
    run_.takeStop();
    sendStop();
    return pauseFor(kCommandPause);
}

// A run nobody can watch is stopped: no valid temperature for the blind-run limit (real time),
// counted from the last reading, or from the run's start when it began without one.
StepResult ChamberControl::stopWhenBlind() {
    if (!run_.controlling() || blindStopLimit_.count() <= 0 || health_.live()) {
        return nothingSent();
    }
    const Tick now = lineClock_.now();
    const Tick sinceReading = ticksSince(health_.lastFreshReadingTick(), now);
    const Tick sinceStart = ticksSince(runStartLineTick_, now);
    const Tick blind = std::min(sinceReading, sinceStart);
    if (std::chrono::milliseconds(blind) < blindStopLimit_) {
        return nothingSent();
    }
    run_.reportBlindStop(blindStopLimit_);
    run_.askStop(RunEndReason::NoReadings);
    run_.takeStop();
    sendStop();
    return pauseFor(kCommandPause);
}

void ChamberControl::forgetStop() {
    stopCheck_.cancel();
}

void ChamberControl::sendStop() {
    controller_.cmdStop();
    stopCheck_.sent(lineClock_.now(), controller_.StatusReadings());
}

StepResult ChamberControl::serveStopConfirmation() {
    const StopConfirmation::Outcome outcome =
        stopCheck_.update(lineClock_.now(), controller_.StatusReadings(), controller_.Stopped());
    switch (outcome) {
        case StopConfirmation::Outcome::Waiting:
            return nothingSent();
        case StopConfirmation::Outcome::Confirmed:
            run_.reportStopConfirmed();
            run_.stopConfirmed(currentDateTime());
            return nothingSent();
        case StopConfirmation::Outcome::NotConfirmed:
            run_.reportStopNotConfirmed();
            [[fallthrough]];
        case StopConfirmation::Outcome::Resend:
            sendStop();
            return pauseFor(kCommandPause);
    }
    return nothingSent();
}

void ChamberControl::superviseLink() {
    if (health_.state() == LinkHealth::State::PortFailed &&
        ticksSince(lastReopenTick_, lineClock_.now()) >= kReopenEveryMs) {
        reopenPort();
    }
    const std::optional<LinkHealth::State> changed = health_.update(
        lineClock_.now(), controller_.Connected(), controller_.TemperatureReadings());
    if (!changed) {
        return;
    }
    switch (*changed) {
        case LinkHealth::State::Live:
            notifyLink([](LinkObserver& o) { o.linkUp(); });
            break;
        case LinkHealth::State::NoReply:
            notifyLink([](LinkObserver& o) { o.linkLost(LinkObserver::Loss::NoReply); });
            break;
        case LinkHealth::State::PortFailed:
            lastReopenTick_ = lineClock_.now();
            notifyLink([](LinkObserver& o) { o.linkLost(LinkObserver::Loss::PortFailed); });
            break;
        case LinkHealth::State::Waiting:
        case LinkHealth::State::Offline:
            break;
    }
}

void ChamberControl::reopenPort() {
    lastReopenTick_ = lineClock_.now();
    // Let go of the device that went away, then look for it again: a device with a stable name
    // (a USB adapter under /dev/serial/by-id/) by that name only, since its ttyUSBn may now be
    // another device; a path alone only for a device that has no stable name.
    controller_.ClosePort();
    const std::string path = linkAlias_ ? *linkAlias_ : linkDevicePath_;
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        return;
    }
    port_.SetDeviceName(path);
    if (controller_.OpenPort() == 0 && controller_.Connected()) {
        // The controller may have lost power with the adapter: writing is switched on again, as
        // after connecting. Its reply follows the connect check's.
        controller_.WriteEnable();
        const QString opened = QString::fromStdString(path);
        notifyLink([&opened](LinkObserver& o) { o.portReopened(opened); });
    }
}

}  // namespace lumas
