#include "core/programme.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/number_text.h"
#include "core/operator_texts.h"

namespace lumas {

namespace {

bool wholeMinutesInRange(double minutes) {
    return minutes >= 1.0 && minutes <= kMaxHoldMinutes && std::trunc(minutes) == minutes;
}

}  // namespace

std::variant<Programme, ProgrammeFault> Programme::make(std::vector<ProgrammeStep> steps,
                                                        const ProgrammeLimits& limits) {
    if (steps.empty()) {
        return ProgrammeFault{0, QStringLiteral("A programme needs at least one step.")};
    }
    Programme programme;
    double end = 0.0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const int number = static_cast<int>(k) + 1;
        const ProgrammeStep& step = steps[k];
        // Written so that a temperature that is not a number is out of range as well.
        if (!(step.temperature >= limits.minTemperature &&
              step.temperature <= limits.maxTemperature)) {
            return ProgrammeFault{
                number, texts::temperatureRange(limits.minTemperature, limits.maxTemperature,
                                                limits.locale)};
        }
        if (!wholeMinutesInRange(step.holdMinutes)) {
            return ProgrammeFault{
                number, QStringLiteral("The hold time of step %1 must be a whole number of "
                                       "minutes from 1 to %2.")
                            .arg(number)
                            .arg(kMaxHoldMinutes)};
        }
        end += step.holdMinutes;
        programme.stepEnds_.push_back(end);
    }
    programme.steps_ = std::move(steps);
    return programme;
}

std::variant<Programme, ProgrammeFault> Programme::fromFields(const StepTemperatures& temperatures,
                                                              const StepHoldMinutes& holdMinutes,
                                                              const ProgrammeLimits& limits) {
    if (holdMinutes[0] < 1 || holdMinutes[0] > kMaxHoldMinutes) {
        return ProgrammeFault{1, texts::kFirstHoldTime};
    }
    std::vector<ProgrammeStep> steps;
    int k = 0;
    for (; k < kFieldSteps && holdMinutes[k] >= 1; ++k) {
        steps.push_back({temperatures[k], static_cast<double>(holdMinutes[k])});
    }
    std::vector<int> notRun;
    for (int later = k; later < kFieldSteps; ++later) {
        if (holdMinutes[later] >= 1) {
            notRun.push_back(later + 1);
        }
    }
    auto made = make(std::move(steps), limits);
    if (auto* programme = std::get_if<Programme>(&made)) {
        programme->stepsNotRun_ = std::move(notRun);
    }
    return made;
}

double Programme::stepStartMinutes(int step) const {
    return step <= 1 ? 0.0 : stepEnds_.at(static_cast<std::size_t>(step - 2));
}

double Programme::stepEndMinutes(int step) const {
    return stepEnds_.at(static_cast<std::size_t>(step - 1));
}

int Programme::stepAt(double minutes) const {
    const auto after = std::upper_bound(stepEnds_.begin(), stepEnds_.end(), minutes);
    const auto index = std::min<std::ptrdiff_t>(after - stepEnds_.begin(), stepCount() - 1);
    return static_cast<int>(index) + 1;
}

std::vector<TargetCurvePoint> Programme::targetCurve() const {
    std::vector<TargetCurvePoint> points;
    points.reserve(2 * steps_.size() + 1);
    points.push_back({0.0, 0.0});
    double start = 0.0;
    for (std::size_t k = 0; k < steps_.size(); ++k) {
        points.push_back({start, steps_[k].temperature});
        start = stepEnds_[k];
        points.push_back({start, steps_[k].temperature});
    }
    return points;
}

namespace texts {

QString stepsNotRun(const std::vector<int>& steps, int lastStep) {
    QStringList numbers;
    for (const int step : steps) {
        numbers << QString::number(step);
    }
    const bool one = steps.size() == 1;
    return QStringLiteral("%1 %2 will not run: t%3 is 0, which ends the programme after step %4.")
        .arg(one ? QStringLiteral("Step") : QStringLiteral("Steps"),
             numbers.join(QStringLiteral(", ")))
        .arg(lastStep + 1)
        .arg(lastStep);
}

}  // namespace texts

}  // namespace lumas
