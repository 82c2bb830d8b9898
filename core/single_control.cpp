// Single set-point control of the Basic control tab.

#include "core/main_form_logic.h"

namespace lumas {

void MainFormLogic::bSetSingleSPClick() {
    if (!ui_.fiSingleSP.commit()) {
        return;
    }
    accepted(chamber_.setSetPoint(ui_.fiSingleSP.value()));
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
    if (!linkHealth().live()) {
        return;  // no reading: a gap in the curve, not a repeated value
    }
    ui_.Series1.append(run().runMinutes(chamber_.runClock().now()), state().LastTemperature);
}

}  // namespace lumas
