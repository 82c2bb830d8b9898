// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// A programme as it is made from the fields or the command line: what runs, its total, its curve.

#include <gtest/gtest.h>

#include <cmath>
#include <variant>

#include "core/operator_texts.h"
#include "core/programme.h"

namespace lumas {
namespace {

const ProgrammeLimits kLimits{-70.0, 500.0, QLocale::c()};

TEST(Programme, FromTheFieldsRunsTheLeadingStepsAndNamesTheOnesThatWillNotRun) {
    struct Case {
        const char* name;
        StepHoldMinutes holds;
        int steps;
        double total;
        std::vector<int> notRun;
    };
    const Case cases[] = {
        {"t4 = 0 ends it before T5", {1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}, 3, 3.0, {5}},
        {"all twelve", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 9999}, 12, 10065.0, {}},
        {"one step", {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 10.0, {}},
        {"several after the end", {5, 0, 5, 0, 5, 0, 0, 0, 0, 0, 0, 7}, 1, 5.0, {3, 5, 12}},
    };
    StepTemperatures temperatures{};
    for (int k = 0; k < 12; ++k) {
        temperatures[k] = 20.0 + k;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto made = Programme::fromFields(temperatures, c.holds, kLimits);
        ASSERT_TRUE(std::holds_alternative<Programme>(made));
        const Programme& programme = std::get<Programme>(made);
        EXPECT_EQ(programme.stepCount(), c.steps);
        EXPECT_EQ(programme.totalMinutes(), c.total);
        EXPECT_EQ(programme.stepsNotRun(), c.notRun);
        const std::vector<TargetCurvePoint> curve = programme.targetCurve();
        ASSERT_EQ(curve.size(), static_cast<std::size_t>(2 * c.steps + 1));
        EXPECT_EQ(curve.back().minutes, c.total) << "the curve ends where the programme ends";
        EXPECT_EQ(programme.stepEndMinutes(c.steps), c.total);
    }
}

TEST(Programme, IsRefusedWithTheStepThatBreaksARule) {
    struct Case {
        const char* name;
        std::vector<ProgrammeStep> steps;
        ProgrammeFault fault;
    };
    const QString range = texts::temperatureRange(-70.0, 500.0, QLocale::c());
    const QString hold =
        QStringLiteral("The hold time of step 2 must be a whole number of minutes from 1 to 9999.");
    const Case cases[] = {
        {"no step", {}, {0, QStringLiteral("A programme needs at least one step.")}},
        {"too hot", {{40.0, 1}, {500.1, 1}}, {2, range}},
        {"too cold", {{-70.1, 1}}, {1, range}},
        {"not a number", {{40.0, 1}, {std::nan(""), 1}}, {2, range}},
        {"a hold of 0", {{40.0, 1}, {50.0, 0}}, {2, hold}},
        {"part of a minute", {{40.0, 1}, {50.0, 1.5}}, {2, hold}},
        {"too long", {{40.0, 1}, {50.0, 10000}}, {2, hold}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto made = Programme::make(c.steps, kLimits);
        ASSERT_TRUE(std::holds_alternative<ProgrammeFault>(made));
        EXPECT_EQ(std::get<ProgrammeFault>(made), c.fault);
    }
    // The range counts only for the steps that run; t1 below a minute is the tab's own text.
    StepTemperatures temperatures{40.0, 600.0};
    EXPECT_TRUE(std::holds_alternative<Programme>(
        Programme::fromFields(temperatures, {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kLimits)));
    EXPECT_EQ(std::get<ProgrammeFault>(Programme::fromFields(
                  temperatures, {0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kLimits)),
              (ProgrammeFault{1, texts::kFirstHoldTime}));
}

TEST(Programme, StepAtAMinuteIsTheStepWhoseHoldContainsIt) {
    const auto made = Programme::make({{30.0, 2}, {40.0, 3}, {50.0, 1}}, kLimits);
    const Programme& programme = std::get<Programme>(made);
    const std::pair<double, int> cases[] = {{0.0, 1}, {1.99, 1}, {2.0, 2}, {4.99, 2},
                                            {5.0, 3}, {6.0, 3},  {99.0, 3}};
    for (const auto& [minutes, step] : cases) {
        EXPECT_EQ(programme.stepAt(minutes), step) << minutes;
    }
    EXPECT_EQ(programme.stepStartMinutes(2), 2.0);
    EXPECT_EQ(programme.stepStartMinutes(3), 5.0);
}

}  // namespace
}  // namespace lumas
