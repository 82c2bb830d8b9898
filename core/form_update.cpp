// The worker's per-pass update of the main window, run on the UI thread while the worker waits.

#include "core/csv_log.h"
#include "core/main_form_logic.h"
#include "core/number_text.h"

namespace lumas {

namespace {

constexpr double kReplyWatchdogSeconds = 8.0;
constexpr int kCommandPauseMs = 320;

// Counts the updates on the stack for as long as it lives.
class DepthGuard {
  public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

  private:
    int& depth_;
};

}  // namespace

QString MainFormLogic::readoutText(double celsius) const {
    return oneDecimalText(celsius, locale_) + QStringLiteral("°C");
}

QString MainFormLogic::emergencyWarningText(const QDateTime& at) const {
    return QStringLiteral(
               "Warning: The emergency temperature  was reached and the controller has been "
               "stopped!  [") +
           locale_.toString(at.date(), csvLogDateFormat(locale_)) + u' ' +
           locale_.toString(at.time(), csvLogTimeFormat(locale_)) + u']';
}

void MainFormLogic::UpdateMainForm() {
    const DepthGuard depth(updateDepth_);
    SharedState& s = state_;

    s.LastTemperature = Controller.Temperature();
    s.LastSetPoint = Controller.SetPoint();
    ui_.lSetPoint.setText(readoutText(s.LastSetPoint));
    ui_.lTemp.setText(readoutText(s.LastTemperature));

    const QString runState = Controller.RunStop() ? texts::kStopped : texts::kRunning;
    ui_.lCS.setText(runState);
    ui_.lCS2.setText(runState);

    if (s.ProgramRunning) {
        s.ElapsedMinutes = ticksSince(s.ProgramStartTick, clock_.now()) / 60000.0;
        ui_.lFinish.setText(QString::number(TotalTimeLeft()) + QStringLiteral(" minutes"));
    }

    // Reply watchdog: a request unanswered for more than 8 s is given up.
    if (!Controller.AllowToSend() &&
        ticksSince(s.LastSendTick.load(), clock_.now()) / 1000.0 > kReplyWatchdogSeconds) {
        Controller.SetAllowToSend(true);
    }

    // The operator's pending commands, in this fixed order. Each flag is read when it is tested:
    // a handler served during one of the pauses may have set it.
    if (s.PendingSingleSetPoint) {
        Controller.cmdSetPoint(ui_.fiSingleSP.value());
        s.PendingSingleSetPoint = false;
        DelayMs(kCommandPauseMs);
    }
    if (s.PendingRun) {
        Controller.cmdRun();
        s.PendingRun = false;
        DelayMs(kCommandPauseMs);
    }
    if (s.PendingStop) {
        Controller.cmdStop();
        s.PendingStop = false;
        DelayMs(kCommandPauseMs);
    }
    if (s.PendingProgramStart) {
        Controller.cmdSetPoint(ui_.fiSP[0]->value());
        DelayMs(kCommandPauseMs);
        Controller.cmdRun();
        DelayMs(kCommandPauseMs);
        s.PendingProgramStart = false;
    }
    if (s.PendingProgramStop) {
        Controller.cmdStop();
        s.PendingProgramStop = false;
        DelayMs(kCommandPauseMs);
    }

    if (s.ProgramRunning && s.ElapsedMinutes >= s.NextSwitchMinutes) {
        SwitchSetPoints();
    }

    // Keeps the controller on the current step's temperature. The comparison is with the value
    // the driver can send: a step above the driver's set-point limit is held at that limit
    // instead of being written again on every pass.
    if (s.ProgramRunning && s.CurrentStep >= 1 && s.CurrentStep <= kProgrammeSteps) {
        const double target = s.StepTemperatures[s.CurrentStep];
        double sendable = target;
        setPointValueText(target, &sendable);
        if (sendable != Controller.SetPoint()) {
            Controller.cmdSetPoint(target);
            DelayMs(kCommandPauseMs);
            Controller.GetSetPoint();
            DelayMs(kCommandPauseMs);
        }
    }

    // Emergency cut-off. The Stop handlers only set the pending flags; the stop commands go out in
    // the next update.
    if (s.ControlActive && s.LastTemperature > s.EmergencyThreshold) {
        bStopMultiClick();
        DelayMs(kCommandPauseMs);
        bStopSingleClick();
        DelayMs(kCommandPauseMs);
        ui_.statusWarning.setText(emergencyWarningText(currentDateTime()));
    }
}

}  // namespace lumas
