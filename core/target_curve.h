// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace lumas {

// A programme has twelve steps: step n holds temperature Tn (°C) for tn whole minutes.
inline constexpr int kProgrammeSteps = 12;
// A hold time is a whole number of minutes from 0 to this.
inline constexpr int kMaxHoldMinutes = 9999;

using StepTemperatures = std::array<double, kProgrammeSteps>;
using StepHoldMinutes = std::array<int, kProgrammeSteps>;

// One corner of the target-temperature staircase on the chart.
struct TargetCurvePoint {
    double minutes = 0.0;      // elapsed programme time, the running sum of the hold times
    double temperature = 0.0;  // °C

    friend bool operator==(const TargetCurvePoint&, const TargetCurvePoint&) = default;
};

// The programme drawn as a staircase: (0, 0), then for each step a rise or fall to its temperature
// at the step's start and a hold to its end. The first step is always drawn, even with t1 = 0; the
// curve ends before the first later step whose hold time is below one minute, which is where the
// programme itself ends. N steps give 2N + 1 points.
std::vector<TargetCurvePoint> targetCurvePoints(const StepTemperatures& temperatures,
                                                const StepHoldMinutes& holdMinutes);

// The single set point drawn as the target line: flat from the first set point to `nowMinutes`,
// stepping (a vertical at one time) where another was set. `setPoints` are the set points in the
// order they were set, each at the minutes it was set at. A set point set again at the same time
// replaces the one before; nothing without set points.
std::vector<TargetCurvePoint> setPointLine(const std::vector<TargetCurvePoint>& setPoints,
                                           double nowMinutes);

// Ticking "Show Target Temperature Curve" with t1 below one minute is refused with this warning;
// with t1 of one minute or more there is none and the curve is drawn.
std::optional<QString> targetCurveRefusal(int firstHoldMinutes);

// The result of checking a programme temperature when its field is left.
struct SetPointCheck {
    double value = 0.0;             // the field's value after the check: 0 after a range error
    std::vector<QString> warnings;  // the warnings to show, in this order, each with an OK button
};

// Outside setPointMin..setPointMax (the bounds themselves are accepted) the value becomes 0 and
// the range warning is given. Then a value above the emergency threshold keeps its value and
// gets the threshold warning. Numbers in the texts follow the locale's decimal separator; "\r"
// in a text is a line break.
SetPointCheck validateSetPoint(double value, double setPointMin, double setPointMax,
                               double emergencyThreshold, const QLocale& locale = QLocale());

}  // namespace lumas
