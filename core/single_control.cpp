// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Single set-point control of the Basic control tab.

#include "core/main_form_logic.h"
#include "core/target_curve.h"

namespace lumas {

void MainFormLogic::bSetSingleSPClick() {
    if (!ui_.fiSingleSP.commit()) {
        return;
    }
    const double celsius = ui_.fiSingleSP.value();
    if (!accepted(chamber_.setSetPoint(celsius))) {
        return;
    }
    // During the run the target line steps to it from now on.
    chamber_.run().singleSetPointSet(celsius, chamber_.runClock().now());
    if (run().kind() == RunKind::Single && run().controlling()) {
        showRunProgress();  // the status line names the set point now in force
        if (ui_.chkTargetTemp.checked()) {
            drawSetPointLine();
        }
    }
}

void MainFormLogic::bStartSingleClick() {
    // Start runs at the set point on the screen: the field's value goes out first when the
    // controller holds another.
    if (!ui_.fiSingleSP.commit()) {
        return;
    }
    if (!accepted(chamber_.startSingle(ui_.fiSingleSP.value()))) {
        return;
    }
    showRunStarted(false);
}

void MainFormLogic::bStopSingleClick() {
    accepted(chamber_.stop(RunEndReason::StoppedByOperator));
}

void MainFormLogic::timerSingleTimer() {
    if (ui_.chkTargetTemp.checked()) {
        drawSetPointLine();  // the set point holds on whether readings come in or not
    }
    if (!linkHealth().live()) {
        return;  // no reading: a gap in the curve, not a repeated value
    }
    ui_.Series1.append(run().runMinutes(chamber_.runClock().now()), state().LastTemperature);
}

void MainFormLogic::drawSetPointLine() {
    // A handful of corners, one pair for each Set: drawn afresh up to now on every tick.
    ui_.Series2.clear();
    const double now = run().runMinutes(chamber_.runClock().now());
    for (const TargetCurvePoint& point : setPointLine(run().singleSetPoints(), now)) {
        ui_.Series2.append(point.minutes, point.temperature);
    }
}

}  // namespace lumas
