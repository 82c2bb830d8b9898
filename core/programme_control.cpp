// The set-point programme of the Advanced control tab, its target curve and the check of its
// temperature fields.

#include <cmath>

#include "core/main_form_logic.h"
#include "core/number_text.h"
#include "core/target_curve.h"

namespace lumas {

namespace {

constexpr std::chrono::milliseconds kAfterSwitch{20};

}  // namespace

std::int32_t MainFormLogic::TotalTime() const {
    std::int32_t total = 0;
    for (int k = 0; k < kProgrammeSteps; ++k) {
        total += holdMinutes(k);
    }
    return total;
}

std::int32_t MainFormLogic::TotalTimeLeft() const {
    return state_.TotalMinutes - static_cast<std::int32_t>(std::trunc(state_.ElapsedMinutes));
}

std::uint8_t MainFormLogic::CalculateTotalSetPoints() const {
    std::uint8_t count = 0;
    while (count < kProgrammeSteps && holdMinutes(count) >= 1) {
        ++count;
    }
    return count;
}

void MainFormLogic::bStartMultiClick() {
    if (!requireConnection()) {
        return;
    }
    const double firstHold = ui_.fiSPt[0]->value();
    if (firstHold < 1 || firstHold > kMaxHoldMinutes) {
        ui_.messages.information(texts::kFirstHoldTime);
        return;
    }
    SharedState& s = state_;
    s.StepCount = CalculateTotalSetPoints();
    ui_.lTotal.setText(QString::number(s.StepCount));

    // Off and on again: every start redraws the target curve and leaves the box ticked.
    ui_.chkTargetTemp.setChecked(false);
    ui_.chkTargetTemp.setChecked(true);
    ui_.Series1.clear();

    s.ControlActive = true;
    s.CurrentStep = 1;
    s.ProgramStartTick = clock_.now();
    s.TotalMinutes = TotalTime();
    s.NextSwitchMinutes = holdMinutes(0);
    s.ProgramRunning = true;

    if (health_.live()) {
        ui_.Series1.append(0.0, s.LastTemperature);
    }
    ui_.timerMulti.setEnabled(true);
    s.PendingProgramStart = true;
    for (int n = 1; n <= kProgrammeSteps; ++n) {
        s.StepTemperatures[n] = ui_.fiSP[n - 1]->value();
    }
    if (csvExport_.Enabled) {
        CreateCSVFile();
        ui_.TimerCSV.setEnabled(true);
    }
    ui_.statusWarning.setText(QString());
    ui_.DisableItems();
    noticeStepsAboveSetPointLimit();
}

void MainFormLogic::noticeStepsAboveSetPointLimit() {
    const SharedState& s = state_;
    QStringList above;
    double limit = 0.0;
    for (int n = 1; n <= s.StepCount; ++n) {
        const double wanted = s.StepTemperatures[n];
        double sent = wanted;
        setPointValueText(wanted, &sent);
        if (storedTenths(wanted) > storedTenths(sent)) {
            above << QStringLiteral("T%1 (%2 °C)").arg(n).arg(oneDecimalText(wanted, locale_));
            limit = sent;
        }
    }
    if (!above.isEmpty()) {
        ui_.messages.notice(texts::stepsAboveSetPointLimit(above, oneDecimalText(limit, locale_)));
    }
}

StepResult MainFormLogic::SwitchSetPoints() {
    SharedState& s = state_;
    if (s.CurrentStep == s.StepCount) {
        s.PendingProgramStop = true;
        stopProgramme();
        return nothingSent();
    }
    if (s.CurrentStep < 1 || s.CurrentStep >= kProgrammeSteps) {
        return nothingSent();
    }
    const int next = s.CurrentStep;  // field suffix of step CurrentStep + 1
    controller_.cmdSetPoint(ui_.fiSP[next]->value());
    return pauseThen(kCommandPause, [this, next] {
        state_.NextSwitchMinutes += holdMinutes(next);
        state_.CurrentStep = static_cast<std::uint8_t>(next + 1);
        return pauseFor(kAfterSwitch);
    });
}

void MainFormLogic::bStopMultiClick() {
    if (acceptStop()) {
        stopProgramme();
    }
}

void MainFormLogic::stopProgramme() {
    SharedState& s = state_;
    s.PendingProgramStop = true;
    s.ProgramRunning = false;
    s.ControlActive = false;
    ui_.timerMulti.setEnabled(false);
    ui_.lTotal.setText(texts::kNoValue);
    ui_.lFinish.setText(texts::kNoValue);
    ui_.TimerCSV.setEnabled(false);
    closeWriter();
    ui_.EnableItems();
}

void MainFormLogic::timerMultiTimer() {
    if (!health_.live()) {
        return;  // no reading: a gap in the curve, not a repeated value
    }
    const double minutes = ticksSince(state_.ProgramStartTick, clock_.now()) / 1000.0 / 60.0;
    ui_.Series1.append(minutes, state_.LastTemperature);
}

void MainFormLogic::chkTargetTempClick() {
    if (!ui_.chkTargetTemp.checked()) {
        ui_.Series2.clear();
        return;
    }
    if (const auto refusal = targetCurveRefusal(holdMinutes(0))) {
        ui_.messages.warning(*refusal);
        ui_.chkTargetTemp.setChecked(false);
        return;
    }
    DrawTargetTempCurve();
}

void MainFormLogic::DrawTargetTempCurve() {
    ui_.Series2.clear();
    ui_.repaint();
    StepTemperatures temperatures{};
    StepHoldMinutes holds{};
    for (int k = 0; k < kProgrammeSteps; ++k) {
        temperatures[k] = ui_.fiSP[k]->value();
        holds[k] = holdMinutes(k);
    }
    for (const TargetCurvePoint& point : targetCurvePoints(temperatures, holds)) {
        ui_.Series2.append(point.minutes, point.temperature);
    }
}

void MainFormLogic::ValidateTemperature(int index) {
    if (index < 0 || index >= kProgrammeSteps) {
        return;
    }
    NumericField& field = *ui_.fiSP[index];
    const double value = field.value();
    const SetPointCheck check = validateSetPoint(value, state_.SetPointMin, state_.SetPointMax,
                                                 state_.EmergencyThreshold, locale_);
    if (check.value != value) {
        field.setValue(check.value);
    }
    for (const QString& warning : check.warnings) {
        ui_.messages.warning(warning);
    }
}

}  // namespace lumas
