// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/run_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumas {

QString runEndReasonText(RunEndReason reason, std::chrono::seconds blindLimit) {
    switch (reason) {
        case RunEndReason::Finished:
            return QStringLiteral("finished");
        case RunEndReason::StoppedByOperator:
            return QStringLiteral("stopped by the operator");
        case RunEndReason::EmergencyCutOff:
            return QStringLiteral("emergency cut-off");
        case RunEndReason::NoReadings:
            return QStringLiteral("no readings for %1 s").arg(blindLimit.count());
        case RunEndReason::Disconnected:
            return QStringLiteral("disconnected");
        case RunEndReason::EndedBySignal:
            return QStringLiteral("ended by a signal");
        case RunEndReason::StopNotConfirmed:
            return QStringLiteral("Stop not confirmed");
        case RunEndReason::ControllerStopped:
            return QStringLiteral("the controller stopped by itself");
        case RunEndReason::Closed:
            return QStringLiteral("the program was closed");
        case RunEndReason::FinishedHolding:
            return QStringLiteral("finished, the controller left running at the last set point");
    }
    return {};
}

void RunModel::addObserver(RunObserver* observer) {
    observers_.push_back(observer);
}

void RunModel::removeObserver(RunObserver* observer) {
    std::erase(observers_, observer);
}

bool RunModel::active() const {
    return controlling() || phase_ == RunPhase::Stopping;
}

bool RunModel::controlling() const {
    return phase_ == RunPhase::Starting || phase_ == RunPhase::Running || phase_ == RunPhase::Held;
}

void RunModel::setPhase(RunPhase phase) {
    phase_ = phase;
    const bool controlling = this->controlling();
    state_.ControlActive = controlling;
    state_.ProgramRunning = controlling && start_.kind == RunKind::Programme;
    state_.SingleRunning = controlling && start_.kind == RunKind::Single;
}

void RunModel::begin(RunStart start, Tick runNow) {
    start_ = std::move(start);
    end_.reset();
    stopCause_.reset();
    held_ = false;
    progress_.reset();
    finishReported_ = false;
    singleSetPoints_.clear();
    if (start_.kind == RunKind::Single && start_.singleSetPoint) {
        singleSetPoints_.push_back({0.0, *start_.singleSetPoint});
    }
    SharedState& s = state_;
    // A new run starts from a clean mailbox: what an earlier run left unsent is not its business.
    s.PendingStop = false;
    s.PendingRun = false;
    s.PendingProgramStart = false;
    if (start_.kind == RunKind::Programme) {
        const Programme& programme = *start_.programme;
        s.StepCount = programme.stepCount();
        s.CurrentStep = 1;
        s.ProgramStartTick = runNow;
        s.ElapsedMinutes = 0.0;
        s.TotalMinutes = static_cast<std::int32_t>(std::ceil(programme.totalMinutes()));
        progress_.emplace(programme, 0.0);
        s.PendingProgramStart = true;
    } else {
        s.StepCount = 0;
        s.CurrentStep = 0;
        s.SingleStartTick = runNow;
        s.PendingRun = true;
    }
    setPhase(RunPhase::Starting);
    const RunStart& started = start_;
    notify([&started](RunObserver& o) { o.runStarted(started); });
    if (start_.kind == RunKind::Programme) {
        stepBegins();
    }
}

void RunModel::stepBegins() {
    const int step = state_.CurrentStep;
    const ProgrammeStep& programmeStep = start_.programme->step(step);
    notify([step, &programmeStep](RunObserver& o) { o.stepStarted(step, programmeStep); });
}

void RunModel::confirmRunning(Tick runNow) {
    if (phase_ != RunPhase::Starting) {
        return;
    }
    if (held_) {
        // Resumed: the programme's clock goes on from where it stood.
        advanceProgramme(runNow, std::nullopt, false);
        held_ = false;
    }
    setPhase(RunPhase::Running);
    notify([](RunObserver& o) { o.runConfirmed(); });
}

void RunModel::hold(Tick runNow) {
    if (phase_ != RunPhase::Running && phase_ != RunPhase::Starting) {
        return;
    }
    if (!held_) {
        advanceProgramme(runNow, std::nullopt, false);
        held_ = true;
    }
    setPhase(RunPhase::Held);
    notify([](RunObserver& o) { o.controllerFoundStopped(); });
}

void RunModel::resume() {
    if (phase_ != RunPhase::Held) {
        return;
    }
    state_.PendingRun = true;
    setPhase(RunPhase::Starting);
}

void RunModel::askStop(RunEndReason why) {
    if (!controlling()) {
        return;
    }
    stopCause_ = why;
    // A Run not yet sent still goes out, before the Stop (the update's order): the controller ends
    // stopped either way.
    state_.PendingStop = true;
    setPhase(RunPhase::Stopping);
    notify([why](RunObserver& o) { o.stopAsked(why); });
}

void RunModel::stopConfirmed(const QDateTime& at) {
    if (phase_ != RunPhase::Stopping) {
        return;
    }
    end_ = RunEnd{stopCause_.value_or(RunEndReason::StoppedByOperator), std::nullopt, at};
    setPhase(RunPhase::Ended);
    const RunEnd ended = *end_;
    notify([&ended](RunObserver& o) { o.runEnded(ended); });
}

void RunModel::endWithoutStop(RunEndReason reason, const QDateTime& at) {
    if (!active()) {
        return;
    }
    if (phase_ == RunPhase::Stopping && reason != RunEndReason::StopNotConfirmed) {
        end_ = RunEnd{RunEndReason::StopNotConfirmed, stopCause_, at};
    } else {
        end_ = RunEnd{reason, stopCause_, at};
    }
    state_.PendingRun = false;
    state_.PendingProgramStart = false;
    setPhase(RunPhase::Ended);
    const RunEnd ended = *end_;
    notify([&ended](RunObserver& o) { o.runEnded(ended); });
}

double RunModel::runMinutes(Tick runNow) const {
    const Tick since =
        start_.kind == RunKind::Programme ? state_.ProgramStartTick : state_.SingleStartTick;
    return ticksSince(since, runNow) / 60000.0;
}

bool RunModel::programmeTimeRuns() const {
    return phase_ == RunPhase::Running || (phase_ == RunPhase::Starting && !held_);
}

bool RunModel::advanceProgramme(Tick runNow, std::optional<double> measured, bool linkLive) {
    if (!progress_ || !active()) {
        return false;
    }
    const std::vector<ProgrammeProgress::Event> events =
        progress_->advance(runMinutes(runNow), programmeTimeRuns(), measured, linkLive);
    state_.ElapsedMinutes = progress_->minutesDone();
    bool finished = false;
    for (const ProgrammeProgress::Event& event : events) {
        const int step = event.step;
        const ProgrammeStep& programmeStep = start_.programme->step(step);
        switch (event.kind) {
            case ProgrammeProgress::Event::Kind::StepStarted:
                state_.CurrentStep = step;
                stepBegins();
                break;
            case ProgrammeProgress::Event::Kind::SoakWaiting:
                notify([&](RunObserver& o) {
                    o.soakWaiting(step, programmeStep.temperature, programmeStep.band.value_or(0.0),
                                  measured);
                });
                break;
            case ProgrammeProgress::Event::Kind::SoakCounting:
                notify([step](RunObserver& o) { o.soakCounting(step); });
                break;
            case ProgrammeProgress::Event::Kind::Finished:
                finished = !finishReported_;
                finishReported_ = true;
                break;
        }
    }
    return finished;
}

void RunModel::rampLostSince(Tick lastReadingRunTick, Tick runNow) {
    if (progress_ && active()) {
        progress_->rampLostSince(ticksSince(lastReadingRunTick, runNow) / 60000.0);
    }
}

std::optional<double> RunModel::plannedSetPoint() const {
    if (!progress_) {
        return std::nullopt;
    }
    return progress_->setPoint();
}

double RunModel::elapsedMinutes() const {
    return progress_ ? progress_->minutesDone() : 0.0;
}

double RunModel::minutesLeftInStep() const {
    return progress_ ? progress_->minutesLeftInStep() : 0.0;
}

double RunModel::minutesLeft() const {
    return progress_ ? progress_->minutesLeft() : 0.0;
}

void RunModel::singleSetPointSet(double celsius, Tick runNow) {
    if (start_.kind != RunKind::Single || !controlling()) {
        return;
    }
    if (!singleSetPoints_.empty() && singleSetPoints_.back().temperature == celsius) {
        return;
    }
    singleSetPoints_.push_back({runMinutes(runNow), celsius});
}

void RunModel::queueSetPoint(double celsius) {
    state_.PendingSingleSetPoint = true;
    state_.PendingSetPointValue = celsius;
}

void RunModel::queueStopWithoutRun() {
    state_.PendingStop = true;
}

std::optional<double> RunModel::takeSetPoint() {
    if (!state_.PendingSingleSetPoint) {
        return std::nullopt;
    }
    state_.PendingSingleSetPoint = false;
    return state_.PendingSetPointValue;
}

bool RunModel::takeRun() {
    return std::exchange(state_.PendingRun, false);
}

bool RunModel::takeStop() {
    return std::exchange(state_.PendingStop, false);
}

void RunModel::reportReading(const RunReading& reading) {
    notify([&reading](RunObserver& o) { o.reading(reading); });
}

void RunModel::reportCutOff(double celsius, double threshold, const QDateTime& at) {
    notify([&](RunObserver& o) { o.emergencyCutOff(celsius, threshold, at); });
}

void RunModel::reportBlindStop(std::chrono::seconds withoutReadings) {
    notify([withoutReadings](RunObserver& o) { o.blindStop(withoutReadings); });
}

void RunModel::reportStopConfirmed() {
    notify([](RunObserver& o) { o.stopConfirmed(); });
}

void RunModel::reportStopNotConfirmed() {
    notify([](RunObserver& o) { o.stopNotConfirmed(); });
}

}  // namespace lumas
