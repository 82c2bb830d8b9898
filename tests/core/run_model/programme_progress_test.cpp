// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/programme_progress.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace lumas {
namespace {

using Kind = ProgrammeProgress::Event::Kind;
using Stage = ProgrammeProgress::Stage;

ProgrammeStep rampStep(double celsius, double hold, double rate) {
    ProgrammeStep step(celsius, hold);
    step.rate = rate;
    return step;
}

ProgrammeStep bandStep(double celsius, double hold, double band) {
    ProgrammeStep step(celsius, hold);
    step.band = band;
    return step;
}

Programme programmeOf(std::vector<ProgrammeStep> steps, double from = 25.0) {
    ProgrammeLimits limits;
    return std::get<Programme>(Programme::make(std::move(steps), limits)).startingFrom(from);
}

std::vector<Kind> kinds(const std::vector<ProgrammeProgress::Event>& events) {
    std::vector<Kind> out;
    for (const auto& event : events) {
        out.push_back(event.kind);
    }
    return out;
}

// A ramp moves the set point at its rate from where the chamber was, stands still while the link
// is down (no jump when it comes back), and its hold begins on arrival.
TEST(ProgrammeProgressTest, ARampStandsStillWhileTheLinkIsDownAndGoesOnFromThere) {
    const Programme programme = programmeOf({rampStep(85.0, 10, 5.0), ProgrammeStep(40.0, 5)});
    EXPECT_EQ(programme.rampMinutesOf(1), 12.0);
    EXPECT_EQ(programme.totalMinutes(), 12.0 + 10.0 + 5.0);
    ProgrammeProgress progress(programme, 0.0);
    EXPECT_EQ(progress.setPoint(), 25.0);

    progress.advance(6.0, true, 40.0, true);
    EXPECT_DOUBLE_EQ(progress.setPoint(), 55.0);
    progress.advance(9.0, true, std::nullopt, false);  // three minutes without a link
    EXPECT_DOUBLE_EQ(progress.setPoint(), 55.0) << "the ramp stands";
    EXPECT_DOUBLE_EQ(progress.minutesBehindPlan(), 3.0);
    progress.advance(9.5, true, 57.0, true);
    EXPECT_DOUBLE_EQ(progress.setPoint(), 57.5) << "on from where it stood, not from the plan";
    progress.advance(15.0, true, 80.0, true);
    EXPECT_EQ(progress.stage(), Stage::Soaking);
    EXPECT_EQ(progress.setPoint(), 85.0);
    EXPECT_DOUBLE_EQ(progress.minutesLeftInStep(), 10.0);
    EXPECT_DOUBLE_EQ(progress.minutesLeft(), 15.0);

    // The curve: the course so far (a flat while the link was down), then the plan moved on by
    // the three minutes it stood.
    const std::vector<TargetCurvePoint> curve = progress.targetCurve();
    const std::vector<TargetCurvePoint> expected{{0, 25},  {6, 55},  {9, 55}, {15, 85},
                                                 {25, 85}, {25, 40}, {30, 40}};
    EXPECT_EQ(curve, expected);
}

// A guaranteed soak counts only while a reading is within the band: the wait and each return to
// counting are told once, and the time outside the band is added to the plan.
TEST(ProgrammeProgressTest, AGuaranteedSoakCountsOnlyWithinItsBand) {
    const Programme programme = programmeOf({bandStep(85.0, 10, 2.0), ProgrammeStep(25.0, 1)});
    ProgrammeProgress progress(programme, 0.0);
    EXPECT_EQ(progress.stage(), Stage::Waiting);

    EXPECT_EQ(kinds(progress.advance(1.0, true, 70.0, true)), std::vector<Kind>{Kind::SoakWaiting});
    EXPECT_TRUE(progress.advance(4.0, true, 79.3, true).empty()) << "the wait is told once";
    EXPECT_EQ(progress.minutesDone(), 0.0);
    EXPECT_EQ(kinds(progress.advance(5.0, true, 83.5, true)),
              std::vector<Kind>{Kind::SoakCounting});
    // Each pass's reading stands for the time since the pass before (passes come every second).
    progress.advance(8.0, true, 84.0, true);
    EXPECT_DOUBLE_EQ(progress.minutesLeftInStep(), 6.0);
    // Out of the band, and a reading lost: both stop the hold.
    EXPECT_EQ(kinds(progress.advance(9.0, true, 88.0, true)), std::vector<Kind>{Kind::SoakWaiting});
    progress.advance(10.0, true, std::nullopt, false);
    EXPECT_DOUBLE_EQ(progress.minutesLeftInStep(), 6.0);
    EXPECT_EQ(kinds(progress.advance(11.0, true, 86.9, true)),
              std::vector<Kind>{Kind::SoakCounting});
    EXPECT_EQ(kinds(progress.advance(19.0, true, 85.0, true)),
              (std::vector<Kind>{Kind::StepStarted, Kind::Finished}))
        << "5 min of hold from minute 11, then the 1-min step";
    EXPECT_TRUE(progress.finished());
    EXPECT_DOUBLE_EQ(progress.minutesBehindPlan(), 17.0 - 11.0);
}

// The programme's time does not run while the run is held; a long pause of the updates (a fast
// run clock) crosses several steps at once and tells each.
TEST(ProgrammeProgressTest, HeldTimeIsNotCountedAndALongPassCrossesSteps) {
    const Programme programme =
        programmeOf({ProgrammeStep(30.0, 1), ProgrammeStep(35.0, 1), ProgrammeStep(40.0, 1)});
    ProgrammeProgress progress(programme, 0.0);
    progress.advance(0.5, true, 30.0, true);
    EXPECT_TRUE(progress.advance(20.0, false, 30.0, true).empty());
    EXPECT_EQ(progress.minutesDone(), 0.5);
    EXPECT_EQ(kinds(progress.advance(23.0, true, 30.0, true)),
              (std::vector<Kind>{Kind::StepStarted, Kind::StepStarted, Kind::Finished}));
    EXPECT_EQ(progress.minutesDone(), 3.0);
    EXPECT_TRUE(progress.advance(30.0, true, 30.0, true).empty()) << "finished once";
}

// A link found lost some time after its last reading: the set points sent meanwhile may never have
// arrived, so the ramp goes on from where it stood at that reading, never from further on.
TEST(ProgrammeProgressTest, ARampGoesOnFromItsLastReadingWhenTheLinkIsFoundLost) {
    const Programme programme = programmeOf({rampStep(85.0, 10, 5.0)});
    ProgrammeProgress progress(programme, 0.0);
    progress.advance(4.0, true, 40.0, true);
    EXPECT_DOUBLE_EQ(progress.setPoint(), 45.0);
    progress.rampLostSince(0.5);  // the last reading half a minute ago
    EXPECT_DOUBLE_EQ(progress.setPoint(), 42.5);
    progress.advance(6.0, true, std::nullopt, false);
    progress.advance(7.0, true, 42.0, true);
    EXPECT_DOUBLE_EQ(progress.setPoint(), 47.5);
    const std::vector<TargetCurvePoint> course = progress.targetCurve();
    const std::vector<TargetCurvePoint> expected{{0, 25},   {3.5, 42.5}, {4, 42.5}, {6, 42.5},
                                                 {7, 47.5}, {14.5, 85},  {24.5, 85}};
    EXPECT_EQ(course, expected);
}

}  // namespace
}  // namespace lumas
