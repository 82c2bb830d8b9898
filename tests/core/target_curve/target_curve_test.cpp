// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/target_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

// Failure messages show texts as text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumas {

void PrintTo(const TargetCurvePoint& point, std::ostream* out) {
    *out << "(" << point.minutes << ", " << point.temperature << ")";
}

namespace {

struct CurveCase {
    const char* name;
    StepHoldMinutes holdMinutes;
    std::vector<TargetCurvePoint> expected;
};

// T1..T12 are 50, 80, 20, 30, ... so that every step's points show which temperature they carry.
constexpr StepTemperatures kTemperatures = {50.0, 80.0, 20.0,  30.0, 40.0,  60.0,
                                            70.0, 90.0, 100.0, -5.5, 110.5, 120.0};

TEST(TargetCurve, StaircaseEndsAtFirstZeroHoldTimeAfterStepOne) {
    const std::vector<CurveCase> cases = {
        {"two steps, t3 = 0",
         {30, 60, 0, 5, 5, 5, 5, 5, 5, 5, 5, 5},
         {{0, 0}, {0, 50}, {30, 50}, {30, 80}, {90, 80}}},
        {"t2 = 0 with t3 non-zero: one step",
         {10, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {{0, 0}, {0, 50}, {10, 50}}},
        {"t1 = 0 still draws the first step",
         {0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {{0, 0}, {0, 50}, {0, 50}, {0, 80}, {7, 80}}},
        {"all hold times zero", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {{0, 0}, {0, 50}, {0, 50}}},
        {"negative hold time ends the curve as the programme does",
         {10, -3, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {{0, 0}, {0, 50}, {10, 50}}},
    };
    for (const CurveCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(targetCurvePoints(kTemperatures, c.holdMinutes), c.expected);
    }
}

TEST(TargetCurve, AllTwelveStepsGiveTwentyFivePoints) {
    const StepHoldMinutes hold = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 9999};
    const std::vector<TargetCurvePoint> points = targetCurvePoints(kTemperatures, hold);

    ASSERT_EQ(points.size(), 25u);
    EXPECT_EQ(points.front(), (TargetCurvePoint{0, 0}));
    double stepStart = 0.0;
    for (int step = 0; step < kProgrammeSteps; ++step) {
        SCOPED_TRACE(step + 1);
        const auto rise = points[1 + 2 * step];
        const auto holdEnd = points[2 + 2 * step];
        EXPECT_EQ(rise, (TargetCurvePoint{stepStart, kTemperatures[step]}));
        stepStart += hold[step];
        EXPECT_EQ(holdEnd, (TargetCurvePoint{stepStart, kTemperatures[step]}));
    }
    EXPECT_EQ(points.back().minutes, 66 + 9999);
}

// The single set point's line: flat from the start to now, a vertical where a new one was set.
TEST(TargetCurve, SetPointLineHoldsEachSetPointUntilTheNext) {
    struct LineCase {
        const char* name;
        std::vector<TargetCurvePoint> setPoints;
        double now;
        std::vector<TargetCurvePoint> expected;
    };
    const std::vector<LineCase> cases = {
        {"no set point yet", {}, 12.0, {}},
        {"just after Start", {{0, 40}}, 0.0, {{0, 40}, {0, 40}}},
        {"one set point up to now", {{0, 40}}, 95.5, {{0, 40}, {95.5, 40}}},
        {"changed twice mid-run",
         {{0, 40}, {10, 60}, {25.5, 35}},
         30.0,
         {{0, 40}, {10, 40}, {10, 60}, {25.5, 60}, {25.5, 35}, {30, 35}}},
        {"set again at once replaces it", {{0, 40}, {0, 55}}, 3.0, {{0, 55}, {3, 55}}},
        {"a clock behind the last set point draws no line back in time",
         {{0, 40}, {10, 60}, {8, 70}},
         5.0,
         {{0, 40}, {10, 40}, {10, 70}, {10, 70}}},
        {"started without a set point: from the first Set", {{4, 30}}, 6.0, {{4, 30}, {6, 30}}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(setPointLine(c.setPoints, c.now), c.expected);
    }
}

TEST(TargetCurve, TickingTheBoxNeedsAFirstHoldTime) {
    EXPECT_EQ(targetCurveRefusal(0),
              QString("Could not create the temperature curve.\rHold time is required for at "
                      "least one set point"));
    EXPECT_TRUE(targetCurveRefusal(-1).has_value());
    EXPECT_FALSE(targetCurveRefusal(1).has_value());
    EXPECT_FALSE(targetCurveRefusal(9999).has_value());
}

const QString kRange = QStringLiteral("Temperature range:   -70 - 500°C");
const QString kThreshold = QStringLiteral(
    "Temperature set point exceeds the emergency temperature threshold value.\rPlease input the "
    "temperature lower than 280 °C");

struct ValidationCase {
    const char* name;
    double entered;
    double kept;
    std::vector<QString> warnings;
};

TEST(SetPointValidation, RangeIsCorrectedThresholdIsOnlyWarned) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<ValidationCase> cases = {
        {"above the range: reset to 0, no threshold warning for the 0", 600.0, 0.0, {kRange}},
        {"below the range", -70.1, 0.0, {kRange}},
        {"not a number counts as out of range", nan, 0.0, {kRange}},
        {"above the threshold, inside the range", 300.0, 300.0, {kThreshold}},
        {"lower bound accepted", -70.0, -70.0, {}},
        {"upper bound accepted, above the threshold", 500.0, 500.0, {kThreshold}},
        {"exactly the threshold", 280.0, 280.0, {}},
        {"just above the threshold", 280.1, 280.1, {kThreshold}},
        {"ordinary value", 23.5, 23.5, {}},
    };
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const ValidationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SetPointCheck check = validateSetPoint(c.entered, -70.0, 500.0, 280.0, english);
        EXPECT_EQ(check.value, c.kept);
        EXPECT_EQ(check.warnings, c.warnings);
    }
}

TEST(SetPointValidation, RangeErrorAboveALowThresholdGivesBothWarningsInOrder) {
    // With a threshold below 0 even the reset value lies above it.
    const SetPointCheck check =
        validateSetPoint(600.0, -70.0, 500.0, -10.0, QLocale(QLocale::English));
    EXPECT_EQ(check.value, 0.0);
    ASSERT_EQ(check.warnings.size(), 2u);
    EXPECT_EQ(check.warnings[0], kRange);
    EXPECT_TRUE(check.warnings[1].endsWith("lower than -10 °C"));
}

TEST(SetPointValidation, NumbersUseTheLocaleDecimalSeparatorAndNoGrouping) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const SetPointCheck check = validateSetPoint(2000.0, -70.5, 1500.25, 1234.5, german);
    ASSERT_EQ(check.warnings.size(), 1u);
    EXPECT_EQ(check.warnings[0], QStringLiteral("Temperature range:   -70,5 - 1500,25°C"));

    const SetPointCheck warned = validateSetPoint(1300.0, -70.0, 1500.0, 1234.5, german);
    ASSERT_EQ(warned.warnings.size(), 1u);
    EXPECT_TRUE(warned.warnings[0].endsWith(QStringLiteral("lower than 1234,5 °C")))
        << warned.warnings[0].toStdString();
}

}  // namespace
}  // namespace lumas
