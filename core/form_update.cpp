// The worker's per-pass update of the main window, run on the UI thread while the worker waits,
// and the watch over the link that each update keeps: link health, reopening a device that went
// away, and the confirmation of every Stop.

#include <QFileInfo>

#include <cmath>

#include "core/csv_log.h"
#include "core/main_form_logic.h"
#include "core/number_text.h"
#include "serial/port_discovery.h"

namespace lumas {

namespace {

constexpr double kReplyWatchdogSeconds = 8.0;
// How often a device that went away is looked for again.
constexpr Tick kReopenEveryMs = 2000;

}  // namespace

double MainFormLogic::storedTenths(double celsius) {
    return std::nearbyint(celsius * 10.0);
}

QString MainFormLogic::readoutText(double celsius) const {
    return oneDecimalText(celsius, locale_) + QStringLiteral("°C");
}

QString MainFormLogic::stampText(const QDateTime& at) const {
    return locale_.toString(at.date(), csvLogDateFormat(locale_)) + u' ' +
           locale_.toString(at.time(), csvLogTimeFormat(locale_));
}

QString MainFormLogic::emergencyWarningText(const QDateTime& at) const {
    return QStringLiteral(
               "Warning: The emergency temperature  was reached and the controller has been "
               "stopped!  [") +
           stampText(at) + u']';
}

std::vector<SequenceStep> MainFormLogic::buildUpdateSequence(MainFormLogic& logic) {
    using Step = StepResult (MainFormLogic::*)();
    static constexpr Step kSteps[] = {
        &MainFormLogic::showLinkAndReadings,
        &MainFormLogic::sendPendingSingleSetPoint,
        &MainFormLogic::sendPendingRun,
        &MainFormLogic::sendPendingStop,
        &MainFormLogic::sendPendingProgrammeStart,
        &MainFormLogic::sendPendingProgrammeStop,
        &MainFormLogic::switchStepWhenDue,
        &MainFormLogic::holdStepSetPoint,
        &MainFormLogic::cutOffWhenTooHot,
        &MainFormLogic::serveStopConfirmation,
    };
    std::vector<SequenceStep> sequence;
    for (const Step step : kSteps) {
        sequence.emplace_back([&logic, step] { return (logic.*step)(); });
    }
    return sequence;
}

void MainFormLogic::UpdateMainForm() {
    playOnUiThread(updateSequence_, clock_);
}

StepResult MainFormLogic::showLinkAndReadings() {
    SharedState& s = state_;
    superviseLink();
    if (health_.live()) {
        s.LastTemperature = controller_.Temperature();
        s.LastSetPoint = controller_.SetPoint();
        ui_.lSetPoint.setText(readoutText(s.LastSetPoint));
        ui_.lTemp.setText(readoutText(s.LastTemperature));
        const QString runState = controller_.Stopped() ? texts::kStopped : texts::kRunning;
        ui_.lCS.setText(runState);
        ui_.lCS2.setText(runState);
    } else {
        // A value that was not measured just now is not shown as if it were.
        ui_.lSetPoint.setText(texts::kNoValue);
        ui_.lTemp.setText(texts::kNoValue);
        ui_.lCS.setText(texts::kNoValue);
        ui_.lCS2.setText(texts::kNoValue);
    }

    if (s.ProgramRunning) {
        s.ElapsedMinutes = ticksSince(s.ProgramStartTick, clock_.now()) / 60000.0;
        ui_.lFinish.setText(QString::number(TotalTimeLeft()) + QStringLiteral(" minutes"));
    }

    // Reply watchdog: a request unanswered for more than 8 s is given up.
    if (!controller_.AllowToSend() &&
        ticksSince(s.LastSendTick.load(), clock_.now()) / 1000.0 > kReplyWatchdogSeconds) {
        controller_.AbandonRequest();
        controller_.SetAllowToSend(true);
    }
    return nothingSent();
}

// The operator's pending commands, in this fixed order.

StepResult MainFormLogic::sendPendingSingleSetPoint() {
    if (!state_.PendingSingleSetPoint) {
        return nothingSent();
    }
    controller_.cmdSetPoint(ui_.fiSingleSP.value());
    state_.PendingSingleSetPoint = false;
    return pauseFor(kCommandPause);
}

StepResult MainFormLogic::sendPendingRun() {
    if (!state_.PendingRun) {
        return nothingSent();
    }
    forgetStop();
    controller_.cmdRun();
    state_.PendingRun = false;
    return pauseFor(kCommandPause);
}

StepResult MainFormLogic::sendPendingStop() {
    if (!state_.PendingStop) {
        return nothingSent();
    }
    sendStop();
    state_.PendingStop = false;
    return pauseFor(kCommandPause);
}

StepResult MainFormLogic::sendPendingProgrammeStart() {
    if (!state_.PendingProgramStart) {
        return nothingSent();
    }
    forgetStop();
    controller_.cmdSetPoint(ui_.fiSP[0]->value());
    return pauseThen(kCommandPause, [this] {
        controller_.cmdRun();
        return pauseThen(kCommandPause, [this] {
            state_.PendingProgramStart = false;
            return nothingSent();
        });
    });
}

StepResult MainFormLogic::sendPendingProgrammeStop() {
    if (!state_.PendingProgramStop) {
        return nothingSent();
    }
    sendStop();
    state_.PendingProgramStop = false;
    return pauseFor(kCommandPause);
}

StepResult MainFormLogic::switchStepWhenDue() {
    if (state_.ProgramRunning && state_.ElapsedMinutes >= state_.NextSwitchMinutes) {
        return SwitchSetPoints();
    }
    return nothingSent();
}

// Keeps the controller on the current step's temperature. The comparison is with what the
// controller can hold of the value the driver sends: a step above the driver's set-point limit is
// held at that limit, and a step with more than one decimal at its tenth, instead of being written
// again on every pass. While the controller does not answer, the driver keeps one such write
// waiting and sends it once the link is back.
StepResult MainFormLogic::holdStepSetPoint() {
    const SharedState& s = state_;
    if (!s.ProgramRunning || s.CurrentStep < 1 || s.CurrentStep > kProgrammeSteps) {
        return nothingSent();
    }
    const double target = s.StepTemperatures[s.CurrentStep];
    double sendable = target;
    setPointValueText(target, &sendable);
    if (storedTenths(sendable) == storedTenths(controller_.SetPoint())) {
        return nothingSent();
    }
    controller_.cmdSetPoint(target);
    return pauseThen(kCommandPause, [this] {
        controller_.GetSetPoint();
        return pauseFor(kCommandPause);
    });
}

// Emergency cut-off, on a reading taken just now. The Stops only set the pending flags; the stop
// commands go out in the next update. The reading that fired it goes into the log before the log
// is closed.
StepResult MainFormLogic::cutOffWhenTooHot() {
    const SharedState& s = state_;
    if (!s.ControlActive || !health_.live() || s.LastTemperature <= s.EmergencyThreshold) {
        return nothingSent();
    }
    const QDateTime firedAt = currentDateTime();
    // As the log's timer writes it, but a failure is told without holding up the update.
    if (const auto failure = logCurrentReading()) {
        ui_.messages.notice(*failure);
    }
    emergencyAt_ = firedAt;
    stopProgramme();
    return pauseThen(kCommandPause, [this, firedAt] {
        stopSingle();
        return pauseThen(kCommandPause, [this, firedAt] {
            ui_.statusWarning.setText(
                QStringLiteral("Warning: The emergency temperature  was reached; waiting for the "
                               "controller to confirm the Stop.  [") +
                stampText(firedAt) + u']');
            const double reading = state_.LastTemperature;
            notify([reading](LinkObserver& o) { o.emergencyCutOff(reading); });
            return nothingSent();
        });
    });
}

void MainFormLogic::forgetStop() {
    stopCheck_.cancel();
    emergencyAt_.reset();
}

void MainFormLogic::sendStop() {
    controller_.cmdStop();
    stopCheck_.sent(clock_.now(), controller_.StatusReadings());
}

StepResult MainFormLogic::serveStopConfirmation() {
    const StopConfirmation::Outcome outcome =
        stopCheck_.update(clock_.now(), controller_.StatusReadings(), controller_.Stopped());
    switch (outcome) {
        case StopConfirmation::Outcome::Waiting:
            return nothingSent();
        case StopConfirmation::Outcome::Confirmed:
            if (emergencyAt_) {
                ui_.statusWarning.setText(emergencyWarningText(*emergencyAt_));
                emergencyAt_.reset();
            }
            notify([](LinkObserver& o) { o.stopConfirmed(); });
            return nothingSent();
        case StopConfirmation::Outcome::NotConfirmed:
            if (emergencyAt_) {
                ui_.statusWarning.setText(
                    QStringLiteral("Warning: The emergency temperature  was reached and the "
                                   "controller did not confirm the Stop!  [") +
                    stampText(*emergencyAt_) + u']');
            }
            ui_.messages.notice(texts::kStopNotConfirmed);
            notify([](LinkObserver& o) { o.stopNotConfirmed(); });
            [[fallthrough]];
        case StopConfirmation::Outcome::Resend:
            sendStop();
            return pauseFor(kCommandPause);
    }
    return nothingSent();
}

void MainFormLogic::superviseLink() {
    SharedState& s = state_;
    if (health_.state() == LinkHealth::State::PortFailed &&
        ticksSince(lastReopenTick_, clock_.now()) >= kReopenEveryMs) {
        reopenPort();
    }
    const bool wasLive = health_.live();
    const std::optional<LinkHealth::State> changed =
        health_.update(clock_.now(), controller_.Connected(), controller_.TemperatureReadings());
    if (wasLive && !health_.live() && (s.ProgramRunning || s.SingleRunning)) {
        ui_.Series1.appendGap();  // the chart does not draw across the time without readings
    }
    if (!changed) {
        return;
    }
    switch (*changed) {
        case LinkHealth::State::Live:
            ui_.statusConnection.setText(texts::kConnected);
            ui_.statusConnection.setAlert(false);
            lossNoticeShown_ = false;
            notify([](LinkObserver& o) { o.linkUp(); });
            break;
        case LinkHealth::State::NoReply:
            ui_.statusConnection.setText(texts::kNoReply);
            ui_.statusConnection.setAlert(true);
            if (s.ControlActive) {
                showLossNotice(texts::kCutOffBlind);
            }
            notify([](LinkObserver& o) { o.linkLost(LinkObserver::Loss::NoReply); });
            break;
        case LinkHealth::State::PortFailed:
            ui_.statusConnection.setText(texts::kPortLost);
            ui_.statusConnection.setAlert(true);
            lastReopenTick_ = clock_.now();
            showLossNotice(texts::portLost(QString::fromStdString(linkDevicePath_)) +
                           (s.ControlActive ? u' ' + texts::kCutOffBlind : QString()));
            notify([](LinkObserver& o) { o.linkLost(LinkObserver::Loss::PortFailed); });
            break;
        case LinkHealth::State::Waiting:
        case LinkHealth::State::Offline:
            break;
    }
}

void MainFormLogic::showLossNotice(const QString& text) {
    if (!lossNoticeShown_) {
        lossNoticeShown_ = true;
        ui_.messages.notice(text);
    }
}

void MainFormLogic::reopenPort() {
    lastReopenTick_ = clock_.now();
    // Let go of the device that went away, then look for it under its stable name first: a USB
    // adapter may come back as another ttyUSBn.
    controller_.ClosePort();
    std::vector<std::string> candidates;
    if (linkAlias_) {
        candidates.push_back(*linkAlias_);
    }
    candidates.push_back(linkDevicePath_);
    for (const std::string& path : candidates) {
        if (!QFileInfo::exists(QString::fromStdString(path))) {
            continue;
        }
        port_.SetDeviceName(path);
        if (controller_.OpenPort() == 0 && controller_.Connected()) {
            // The controller may have lost power with the adapter: writing is switched on again,
            // as after connecting. Its reply follows the connect check's.
            controller_.WriteEnable();
            const QString opened = QString::fromStdString(path);
            notify([&opened](LinkObserver& o) { o.portReopened(opened); });
            return;
        }
    }
}

}  // namespace lumas
