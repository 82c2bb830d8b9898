// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The run model on its own: its phases, the flags it keeps, the programme's clock and its events.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "core/run_model.h"

namespace lumas {
namespace {

// Records the events in the order they come, as short words.
struct EventRecord final : RunObserver {
    void runStarted(const RunStart&) override { events.push_back("started"); }
    void stepStarted(int step, const ProgrammeStep&) override {
        events.push_back("step " + std::to_string(step));
    }
    void runConfirmed() override { events.push_back("running"); }
    void stopAsked(RunEndReason) override { events.push_back("stop asked"); }
    void controllerFoundStopped() override { events.push_back("held"); }
    void runEnded(const RunEnd& end) override {
        events.push_back("ended");
        ended = end;
    }
    std::vector<std::string> events;
    RunEnd ended;
};

Programme twoSteps() {
    return std::get<Programme>(Programme::make({{40.0, 10}, {50.0, 5}}, {}));
}

RunStart programmeStart() {
    RunStart start;
    start.kind = RunKind::Programme;
    start.programme = twoSteps();
    return start;
}

class RunModelTest : public ::testing::Test {
  protected:
    RunModelTest() { model.addObserver(&record); }
    ~RunModelTest() override { model.removeObserver(&record); }

    // The flags as the update and the window read them.
    std::string flags() const {
        return std::string(state.ControlActive ? "C" : "-") + (state.ProgramRunning ? "P" : "-") +
               (state.SingleRunning ? "S" : "-");
    }

    SharedState state;
    RunModel model{state};
    EventRecord record;
};

TEST_F(RunModelTest, EachPhaseSetsTheFlagsItMeans) {
    EXPECT_EQ(flags(), "---");
    model.begin(programmeStart(), 1000);
    EXPECT_EQ(model.phase(), RunPhase::Starting);
    EXPECT_EQ(flags(), "CP-");
    EXPECT_TRUE(state.PendingProgramStart);
    model.confirmRunning(2000);
    EXPECT_EQ(flags(), "CP-");
    model.hold(3000);
    EXPECT_EQ(model.phase(), RunPhase::Held);
    EXPECT_EQ(flags(), "CP-") << "a held run is guarded by the cut-off";
    model.askStop(RunEndReason::StoppedByOperator);
    EXPECT_EQ(model.phase(), RunPhase::Stopping);
    EXPECT_EQ(flags(), "---") << "no step switch, no correction while stopping";
    EXPECT_TRUE(model.active()) << "but the run is not over";
    EXPECT_TRUE(state.PendingStop);
    model.stopConfirmed(QDateTime());
    EXPECT_EQ(model.phase(), RunPhase::Ended);
    EXPECT_FALSE(model.active());
    EXPECT_EQ(model.end()->reason, RunEndReason::StoppedByOperator);
    EXPECT_EQ(record.events, (std::vector<std::string>{"started", "step 1", "running", "held",
                                                       "stop asked", "ended"}));

    RunStart single;
    single.kind = RunKind::Single;
    model.begin(single, 5000);
    EXPECT_EQ(flags(), "C-S");
    EXPECT_TRUE(state.PendingRun);
    EXPECT_FALSE(state.PendingStop) << "a new run starts from a clean mailbox";
}

TEST_F(RunModelTest, TheProgrammeClockStandsStillWhileTheRunIsHeld) {
    model.begin(programmeStart(), 0);
    model.confirmRunning(1000);
    model.hold(60000);  // found stopped one minute in
    model.advanceProgramme(10 * 60000, 40.0, true);
    EXPECT_EQ(model.elapsedMinutes(), 1.0);
    model.resume();
    EXPECT_TRUE(state.PendingRun) << "Run goes out again";
    model.advanceProgramme(11 * 60000, 40.0, true);
    EXPECT_EQ(model.elapsedMinutes(), 1.0) << "still standing until it runs";
    model.confirmRunning(11 * 60000);
    model.advanceProgramme(12 * 60000, 40.0, true);
    EXPECT_EQ(model.elapsedMinutes(), 2.0);
    EXPECT_EQ(model.runMinutes(12 * 60000), 12.0) << "the chart's time goes on regardless";
    EXPECT_EQ(model.minutesLeftInStep(), 8.0);
    EXPECT_EQ(model.minutesLeft(), 13.0);
}

TEST_F(RunModelTest, HowARunEndsWithoutAStop) {
    struct Case {
        const char* name;
        bool stopping;
        RunEndReason reason;
        RunEndReason ends;
        std::optional<RunEndReason> stopAskedFor;
    };
    const Case cases[] = {
        {"let go while running", false, RunEndReason::Disconnected, RunEndReason::Disconnected,
         std::nullopt},
        {"let go while stopping", true, RunEndReason::Disconnected, RunEndReason::StopNotConfirmed,
         RunEndReason::EmergencyCutOff},
        {"given up while stopping", true, RunEndReason::StopNotConfirmed,
         RunEndReason::StopNotConfirmed, RunEndReason::EmergencyCutOff},
        {"closed while running", false, RunEndReason::Closed, RunEndReason::Closed, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.begin(programmeStart(), 0);
        if (c.stopping) {
            model.askStop(RunEndReason::EmergencyCutOff);
        }
        model.endWithoutStop(c.reason, QDateTime());
        EXPECT_FALSE(model.active());
        EXPECT_EQ(model.end()->reason, c.ends);
        EXPECT_EQ(model.end()->stopAskedFor, c.stopAskedFor);
        EXPECT_FALSE(state.PendingRun || state.PendingProgramStart);
    }
    // Nothing to end: no event.
    const std::size_t before = record.events.size();
    model.endWithoutStop(RunEndReason::Disconnected, QDateTime());
    EXPECT_EQ(record.events.size(), before);
}

TEST_F(RunModelTest, StepsAdvanceToTheLastAndTheEndIsToldOnce) {
    model.begin(programmeStart(), 0);
    EXPECT_FALSE(model.advanceProgramme(10 * 60000 - 1, 40.0, true));
    EXPECT_EQ(model.currentStep(), 1);
    EXPECT_FALSE(model.advanceProgramme(10 * 60000, 40.0, true));
    EXPECT_EQ(model.currentStep(), 2);
    EXPECT_TRUE(model.advanceProgramme(15 * 60000, 50.0, true)) << "the end";
    EXPECT_FALSE(model.advanceProgramme(16 * 60000, 50.0, true)) << "told once";
    EXPECT_EQ(model.currentStep(), 2);
    EXPECT_EQ(record.events, (std::vector<std::string>{"started", "step 1", "step 2"}));
}

}  // namespace
}  // namespace lumas
