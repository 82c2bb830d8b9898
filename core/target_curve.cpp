// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/target_curve.h"

#include "core/operator_texts.h"

#include <algorithm>

namespace lumas {

std::vector<TargetCurvePoint> targetCurvePoints(const StepTemperatures& temperatures,
                                                const StepHoldMinutes& holdMinutes) {
    std::vector<TargetCurvePoint> points;
    points.reserve(2 * kProgrammeSteps + 1);
    points.push_back({0.0, 0.0});
    points.push_back({0.0, temperatures[0]});
    double stepEnd = holdMinutes[0];
    points.push_back({stepEnd, temperatures[0]});
    for (int step = 1; step < kProgrammeSteps; ++step) {
        if (holdMinutes[step] < 1) {
            break;
        }
        points.push_back({stepEnd, temperatures[step]});
        stepEnd += holdMinutes[step];
        points.push_back({stepEnd, temperatures[step]});
    }
    return points;
}

std::vector<TargetCurvePoint> setPointLine(const std::vector<TargetCurvePoint>& setPoints,
                                           double nowMinutes) {
    std::vector<TargetCurvePoint> points;
    points.reserve(2 * setPoints.size() + 1);
    for (const TargetCurvePoint& set : setPoints) {
        if (points.empty()) {
            points.push_back(set);
            continue;
        }
        // Never back in time: a set point is held at least from where the line stands.
        const double at = std::max(set.minutes, points.back().minutes);
        if (at == points.back().minutes) {
            points.back().temperature = set.temperature;  // set again at once: it replaces it
        } else {
            points.push_back({at, points.back().temperature});
            points.push_back({at, set.temperature});
        }
    }
    if (!points.empty()) {
        points.push_back({std::max(nowMinutes, points.back().minutes), points.back().temperature});
    }
    return points;
}

std::optional<QString> targetCurveRefusal(int firstHoldMinutes) {
    if (firstHoldMinutes >= 1) {
        return std::nullopt;
    }
    return QStringLiteral(
        "Could not create the temperature curve.\rHold time is required for at least one set "
        "point");
}

SetPointCheck validateSetPoint(double value, double setPointMin, double setPointMax,
                               double emergencyThreshold, const QLocale& locale) {
    SetPointCheck check{value, {}};
    // Written so that a value that is not a number counts as out of range as well.
    if (!(value >= setPointMin && value <= setPointMax)) {
        check.value = 0.0;
        check.warnings.push_back(texts::temperatureRange(setPointMin, setPointMax, locale));
    }
    if (check.value > emergencyThreshold) {
        check.warnings.push_back(texts::aboveThreshold(emergencyThreshold, locale));
    }
    return check;
}

}  // namespace lumas
