// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The set-point programme of the Advanced control tab, its target curve and the check of its
// temperature fields.

#include <algorithm>
#include <cmath>

#include "core/main_form_logic.h"
#include "core/programme_file.h"
#include "core/run_texts.h"
#include "core/target_curve.h"

namespace lumas {

std::variant<Programme, ProgrammeFault> MainFormLogic::fieldProgramme() const {
    StepTemperatures temperatures{};
    StepHoldMinutes holds{};
    for (int k = 0; k < kProgrammeSteps; ++k) {
        temperatures[k] = ui_.fiSP[k]->value();
        holds[k] = holdMinutes(k);
    }
    return Programme::fromFields(temperatures, holds,
                                 {state().SetPointMin, state().SetPointMax, locale_});
}

std::int32_t MainFormLogic::TotalTime() const {
    // The steps that run, and only they: the total, the curve and the programme's end agree.
    std::int32_t total = 0;
    for (int k = 0; k < kProgrammeSteps && holdMinutes(k) >= 1; ++k) {
        total += holdMinutes(k);
    }
    return total;
}

QString MainFormLogic::totalTimeText() const {
    QString text = QString::number(TotalTime()) + QStringLiteral(" Minutes");
    const std::uint8_t count = CalculateTotalSetPoints();
    std::vector<int> notRun;
    for (int k = count; k < kProgrammeSteps; ++k) {
        if (holdMinutes(k) >= 1) {
            notRun.push_back(k + 1);
        }
    }
    if (count >= 1 && !notRun.empty()) {
        QStringList numbers;
        for (const int step : notRun) {
            numbers << QString::number(step);
        }
        text += (notRun.size() == 1 ? QStringLiteral(" (step %1 will not run)")
                                    : QStringLiteral(" (steps %1 will not run)"))
                    .arg(numbers.join(QStringLiteral(", ")));
    }
    return text;
}

std::int32_t MainFormLogic::TotalTimeLeft() const {
    // As planned from where the programme stands: a soak that waits for its band adds to it.
    return static_cast<std::int32_t>(std::ceil(run().minutesLeft()));
}

std::uint8_t MainFormLogic::CalculateTotalSetPoints() const {
    std::uint8_t count = 0;
    while (count < kProgrammeSteps && holdMinutes(count) >= 1) {
        ++count;
    }
    return count;
}

bool MainFormLogic::commitProgrammeFields() {
    bool all = true;
    for (int k = 0; k < kProgrammeSteps; ++k) {
        all = ui_.fiSP[k]->commit() && all;
        all = ui_.fiSPt[k]->commit() && all;
    }
    return all;
}

void MainFormLogic::bStartMultiClick() {
    if (loadedProgramme_) {
        startLoadedProgramme();
        return;
    }
    // What is typed is what runs: every field is taken first; a field refused stops the start.
    if (!commitProgrammeFields()) {
        return;
    }
    if (!controller_.Connected()) {
        messages_.warning(texts::kNoConnection);
        return;
    }
    const std::variant<Programme, ProgrammeFault> made = fieldProgramme();
    if (const auto* fault = std::get_if<ProgrammeFault>(&made)) {
        if (fault->text == texts::kFirstHoldTime) {
            messages_.information(fault->text);
        } else {
            messages_.warning(QStringLiteral("T%1: ").arg(fault->step) + fault->text);
        }
        return;
    }
    const Programme& programme = std::get<Programme>(made);
    if (!programme.stepsNotRun().empty() &&
        !messages_.confirm(texts::stepsNotRun(programme.stepsNotRun(), programme.stepCount()) +
                           QStringLiteral("\rStart the programme of %1 step(s) anyway?")
                               .arg(programme.stepCount()))) {
        return;
    }
    startProgramme(programme);
}

void MainFormLogic::startLoadedProgramme() {
    if (!controller_.Connected()) {
        messages_.warning(texts::kNoConnection);
        return;
    }
    // Checked again with the limits in force now: they may have changed since it was loaded.
    const std::variant<Programme, ProgrammeFault> made = Programme::fromDocument(
        loadedProgramme_->document(), {state().SetPointMin, state().SetPointMax, locale_});
    if (const auto* fault = std::get_if<ProgrammeFault>(&made)) {
        messages_.warning(programmeFaultText(*fault));
        return;
    }
    startProgramme(std::get<Programme>(made));
}

void MainFormLogic::startProgramme(const Programme& programme) {
    if (!accepted(chamber_.startProgramme(programme))) {
        return;
    }
    drawnBehindPlan_ = 0.0;
    ui_.lTotal.setText(QString::number(state().StepCount));
    // Off and on again: every start redraws the target curve and leaves the box ticked.
    ui_.chkTargetTemp.setChecked(false);
    ui_.chkTargetTemp.setChecked(true);
    showRunStarted(true);
    noticeStepsAboveSetPointLimit(programme);
}

void MainFormLogic::showRunStarted(bool programme) {
    ui_.Series1.clear();
    if (!programme) {
        ui_.Series2.clear();
        if (ui_.chkTargetTemp.checked()) {
            drawSetPointLine();
        }
    }
    if (programme && chamber_.linkHealth().live()) {
        ui_.Series1.append(0.0, state().LastTemperature);
    }
    (programme ? ui_.timerMulti : ui_.timerSingle).setEnabled(true);
    if (csvExport_.Enabled) {
        ui_.TimerCSV.setEnabled(true);
    }
    ui_.statusWarning.setText(QString());
    ui_.DisableItems();
    showRunProgress();
}

void MainFormLogic::noticeStepsAboveSetPointLimit(const Programme& programme) {
    QStringList above;
    double limit = 0.0;
    for (int n = 1; n <= programme.stepCount(); ++n) {
        const double wanted = programme.step(n).temperature;
        double sent = wanted;
        setPointValueText(wanted, &sent);
        if (std::nearbyint(wanted * 10.0) > std::nearbyint(sent * 10.0)) {
            above << QStringLiteral("T%1 (%2 °C)").arg(n).arg(oneDecimalText(wanted, locale_));
            limit = sent;
        }
    }
    if (!above.isEmpty()) {
        messages_.notice(
            stamped(texts::stepsAboveSetPointLimit(above, oneDecimalText(limit, locale_))));
    }
}

void MainFormLogic::bStopMultiClick() {
    accepted(chamber_.stop(RunEndReason::StoppedByOperator));
}

void MainFormLogic::timerMultiTimer() {
    redrawStretchedTargetCurve();
    if (!linkHealth().live()) {
        return;  // no reading: a gap in the curve, not a repeated value
    }
    ui_.Series1.append(run().runMinutes(chamber_.runClock().now()), state().LastTemperature);
}

void MainFormLogic::redrawStretchedTargetCurve() {
    const std::optional<ProgrammeProgress>& progress = run().progress();
    if (!progress || !run().controlling() || !ui_.chkTargetTemp.checked()) {
        return;
    }
    // Redrawn once the plan has moved by a visible amount: a tenth of a minute, or a thousandth
    // of the programme for long ones (each redraw walks the rest of the plan).
    const double behind = progress->minutesBehindPlan();
    const double visible = std::max(0.1, run().programme()->totalMinutes() / 1000.0);
    if (std::abs(behind - drawnBehindPlan_) < visible) {
        return;
    }
    DrawTargetTempCurve();
}

void MainFormLogic::chkTargetTempClick() {
    if (!ui_.chkTargetTemp.checked()) {
        ui_.Series2.clear();
        return;
    }
    const bool singleRun = run().active() && run().kind() == RunKind::Single;
    const bool fieldsDrawn =
        !singleRun && !loadedProgramme_ && !(run().controlling() && run().progress());
    if (const auto refusal = fieldsDrawn ? targetCurveRefusal(holdMinutes(0)) : std::nullopt) {
        messages_.warning(*refusal);
        ui_.chkTargetTemp.setChecked(false);
        return;
    }
    DrawTargetTempCurve();
}

void MainFormLogic::DrawTargetTempCurve() {
    ui_.Series2.clear();
    ui_.repaint();
    if (run().active() && run().kind() == RunKind::Single) {
        drawSetPointLine();
        return;
    }
    // A running programme is drawn as it runs; otherwise the fields as they stand.
    std::vector<TargetCurvePoint> points;
    if (run().controlling() && run().progress()) {
        // The course so far and the rest of the plan from now.
        points = run().progress()->targetCurve();
        drawnBehindPlan_ = run().progress()->minutesBehindPlan();
    } else if (loadedProgramme_) {
        points = loadedProgramme_->targetCurve();
    } else {
        StepTemperatures temperatures{};
        StepHoldMinutes holds{};
        for (int k = 0; k < kProgrammeSteps; ++k) {
            temperatures[k] = ui_.fiSP[k]->value();
            holds[k] = holdMinutes(k);
        }
        points = targetCurvePoints(temperatures, holds);
    }
    for (const TargetCurvePoint& point : points) {
        ui_.Series2.append(point.minutes, point.temperature);
    }
}

void MainFormLogic::ValidateTemperature(int index) {
    if (index < 0 || index >= kProgrammeSteps) {
        return;
    }
    NumericField& field = *ui_.fiSP[index];
    const double value = field.value();
    const SetPointCheck check = validateSetPoint(value, state().SetPointMin, state().SetPointMax,
                                                 state().EmergencyThreshold, locale_);
    if (check.value != value) {
        field.setValue(check.value);
    }
    for (const QString& warning : check.warnings) {
        messages_.warning(warning);
    }
}

}  // namespace lumas
