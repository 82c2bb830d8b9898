// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
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
    }
    for (std::size_t k = 0; k < steps.size(); ++k) {
        steps[k].row = static_cast<int>(k) + 1;
    }
    ProgrammeDocument document;
    document.rows.assign(steps.begin(), steps.end());
    return planned(std::move(steps), std::move(document));
}

Programme Programme::planned(std::vector<ProgrammeStep> steps, ProgrammeDocument document) {
    Programme programme;
    programme.steps_ = std::move(steps);
    programme.document_ = std::move(document);
    programme.plan();
    return programme;
}

void Programme::plan() {
    rampEnds_.clear();
    stepEnds_.clear();
    rampEnds_.reserve(steps_.size());
    stepEnds_.reserve(steps_.size());
    double end = 0.0;
    for (int n = 1; n <= stepCount(); ++n) {
        end += rampMinutesOf(n);
        rampEnds_.push_back(end);
        end += step(n).holdMinutes;
        stepEnds_.push_back(end);
    }
}

Programme Programme::startingFrom(double celsius) const {
    Programme from = *this;
    from.startSetPoint_ = celsius;
    if (!steps_.empty() && steps_.front().rate) {
        from.plan();
    }
    return from;
}

double Programme::rampStartOf(int step) const {
    return step <= 1 ? startSetPoint_ : this->step(step - 1).temperature;
}

double Programme::rampMinutesOf(int step) const {
    const ProgrammeStep& s = this->step(step);
    if (s.rampMinutes) {
        return *s.rampMinutes;
    }
    if (s.rate && *s.rate > 0.0) {
        return std::abs(s.temperature - rampStartOf(step)) / *s.rate;
    }
    return 0.0;
}

bool Programme::fitsFields() const {
    if (steps_.empty() || stepCount() > kFieldSteps || document_.end != ProgrammeEnd::Stop ||
        hasRamps() || hasBands() || hasRepeats()) {
        return false;
    }
    return std::all_of(steps_.begin(), steps_.end(),
                       [](const ProgrammeStep& s) { return wholeMinutesInRange(s.holdMinutes); });
}

bool Programme::hasRamps() const {
    return std::any_of(steps_.begin(), steps_.end(),
                       [](const ProgrammeStep& s) { return s.ramps(); });
}

bool Programme::hasBands() const {
    return std::any_of(steps_.begin(), steps_.end(),
                       [](const ProgrammeStep& s) { return s.band.has_value(); });
}

bool Programme::hasRepeats() const {
    return std::any_of(document_.rows.begin(), document_.rows.end(), [](const ProgrammeRow& row) {
        return std::holds_alternative<ProgrammeRepeat>(row);
    });
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

double Programme::stepArrivalMinutes(int step) const {
    return rampEnds_.at(static_cast<std::size_t>(step - 1));
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
    points.push_back({0.0, hasRamps() ? startSetPoint_ : 0.0});
    for (std::size_t k = 0; k < steps_.size(); ++k) {
        points.push_back({rampEnds_[k], steps_[k].temperature});
        points.push_back({stepEnds_[k], steps_[k].temperature});
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
