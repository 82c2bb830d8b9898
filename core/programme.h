#pragma once

#include <QLocale>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

#include "core/target_curve.h"

namespace lumas {

// One step of a programme: hold `temperature` (°C) for `holdMinutes`.
struct ProgrammeStep {
    double temperature = 0.0;
    double holdMinutes = 0.0;

    friend bool operator==(const ProgrammeStep&, const ProgrammeStep&) = default;
};

// The range a programme temperature must lie in, and how numbers are written in the texts.
struct ProgrammeLimits {
    double minTemperature = -70.0;
    double maxTemperature = 500.0;
    QLocale locale = QLocale();
};

// Why a programme could not be made: the step (1-based, as written; 0 for the programme as a
// whole) and the sentence for the operator.
struct ProgrammeFault {
    int step = 0;
    QString text;

    friend bool operator==(const ProgrammeFault&, const ProgrammeFault&) = default;
};

// A programme as it runs: its steps, checked once when it is made and never read back from where
// it was typed. Step n holds its temperature for its hold time, then step n + 1 follows; the
// programme ends when the last step's hold time is over. Its total, its target curve and its end
// are all taken from the same steps, so they cannot disagree.
class Programme {
  public:
    // The most steps a programme of the Advanced control tab has.
    static constexpr int kFieldSteps = kProgrammeSteps;

    // A programme of `steps`, each holding for at least one minute and at most kMaxHoldMinutes
    // whole minutes, each temperature within the limits. Nothing is dropped: a step that breaks a
    // rule is refused, with its number.
    static std::variant<Programme, ProgrammeFault> make(std::vector<ProgrammeStep> steps,
                                                        const ProgrammeLimits& limits);

    // The programme of the Advanced control tab's twelve T/t fields. It runs the leading steps
    // whose hold time is at least one minute: the first step without a hold time ends it, and
    // later steps that have a hold time are named by stepsNotRun() (the operator must be told
    // before it starts). t1 below one minute is refused with the tab's own text.
    static std::variant<Programme, ProgrammeFault> fromFields(const StepTemperatures& temperatures,
                                                              const StepHoldMinutes& holdMinutes,
                                                              const ProgrammeLimits& limits);

    const std::vector<ProgrammeStep>& steps() const { return steps_; }
    int stepCount() const { return static_cast<int>(steps_.size()); }
    // Step `step` (1-based), which must exist.
    const ProgrammeStep& step(int step) const {
        return steps_.at(static_cast<std::size_t>(step - 1));
    }
    // The steps as written that come after the programme's end but carry a hold time (1-based).
    const std::vector<int>& stepsNotRun() const { return stepsNotRun_; }

    // The sum of the hold times of the steps that run, in minutes.
    double totalMinutes() const { return stepEnds_.empty() ? 0.0 : stepEnds_.back(); }
    // Programme minutes at which step `step` (1-based) begins and ends.
    double stepStartMinutes(int step) const;
    double stepEndMinutes(int step) const;
    // The step that runs at programme minute `minutes` (1-based): the step whose hold contains it,
    // the last step at or after the end.
    int stepAt(double minutes) const;

    // The target curve: (0, 0), then for each step a rise or fall to its temperature at its start
    // and a hold to its end. N steps give 2N + 1 points.
    std::vector<TargetCurvePoint> targetCurve() const;

    friend bool operator==(const Programme&, const Programme&) = default;

  private:
    Programme() = default;

    std::vector<ProgrammeStep> steps_;
    std::vector<double> stepEnds_;  // running sums of the hold times
    std::vector<int> stepsNotRun_;
};

namespace texts {
// "Step 5 will not run: t4 is 0, which ends the programme after step 4." and its plural.
QString stepsNotRun(const std::vector<int>& steps, int lastStep);
}  // namespace texts

}  // namespace lumas
