// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chamber's control on its own, as a front end drives it (plain calls, events, no window),
// against the simulated controller over a pseudo-terminal: a run nobody can watch is stopped, a
// controller found stopped mid-run holds the run, and the programme's clock runs apart from the
// line's. The updates are run by the test on fake clocks, so minutes pass in milliseconds.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/chamber_control.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "support/fake_clock.h"
#include "support/simulator_link.h"
#include "support/stable_link_folder.h"

namespace lumas {
namespace {

using namespace std::chrono_literals;
using test::FakeClock;
using test::waitUntil;

// The run's events as words, with what they carry that the tests look at.
struct RunRecord final : RunObserver {
    void stopAsked(RunEndReason why) override { asked.push_back(why); }
    void blindStop(std::chrono::seconds after) override { blindAfter.push_back(after); }
    void controllerFoundStopped() override { ++held; }
    void runEnded(const RunEnd& end) override { ended.push_back(end); }
    void reading(const RunReading& reading) override { readings.push_back(reading); }
    std::vector<RunEndReason> asked;
    std::vector<std::chrono::seconds> blindAfter;
    int held = 0;
    std::vector<RunEnd> ended;
    std::vector<RunReading> readings;
};

class ChamberOnSimulator : public ::testing::Test {
  protected:
    ChamberOnSimulator()
        : sim(test::frozenChamber(links.linkPath())),
          chamber(controller, port, lineClock, runClock, QLocale::c()) {
        chamber.run().addObserver(&record);
        test::attachToSimulator(sim, port, controller);
    }
    ~ChamberOnSimulator() override { chamber.run().removeObserver(&record); }

    // The link as connecting makes it, without a worker: the test runs the updates.
    void openLink() {
        ASSERT_EQ(controller.OpenPort(), 0);
        ASSERT_TRUE(waitUntil([&] { return controller.StatusOk() && !controller.Busy(); }, 2000));
        controller.WriteEnable();
        ASSERT_TRUE(
            waitUntil([&] { return sim.communicationsWriting() && !controller.Busy(); }, 2000));
        chamber.watchLink();
    }

    // One poll cycle as the worker reads it: temperature, set point, run state (each may fail).
    void pollCycle() {
        for (void (TOmronCom::*read)() :
             {&TOmronCom::GetTemperature, &TOmronCom::GetSetPoint, &TOmronCom::ReadStatusLeft}) {
            (controller.*read)();
            waitUntil([&] { return !controller.Busy(); }, 2000);
        }
    }

    // `minutes` of line time (and as much run time), a poll cycle and an update every 1.5 s.
    void runFor(double minutes) {
        const auto passes = static_cast<int>(minutes * 40);
        for (int pass = 0; pass < passes; ++pass) {
            lineClock.advance(1500);
            runClock.advance(1500);
            pollCycle();
            chamber.UpdateMainForm();
        }
    }

    std::size_t count(const std::string& command) const {
        const auto all = sim.receivedCommands();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), command));
    }

    test::StableLinkFolder links;
    sim::SimulatedController sim;
    TComPort port;
    TOmronCom controller;
    FakeClock lineClock;
    FakeClock runClock;
    ChamberControl chamber;  // declared after the link: it stops its worker before the link goes
    RunRecord record;
};

// No valid temperature for the blind-run limit while everything else answers: the run is stopped
// as the cut-off stops it, and ends as "no readings" once the controller confirms the Stop. A
// limit of 0 leaves such a run alone.
TEST_F(ChamberOnSimulator, ARunWithoutReadingsIsStoppedAfterTheBlindRunLimit) {
    struct Case {
        std::chrono::seconds limit;
        bool stopped;
    };
    for (const Case c : {Case{120s, true}, Case{0s, false}}) {
        SCOPED_TRACE(c.limit.count());
        record = RunRecord();
        sim.setTemperature(50.0);
        openLink();
        chamber.setBlindStopLimit(c.limit);
        runFor(0.1);
        ASSERT_TRUE(chamber.linkHealth().live());
        ASSERT_EQ(chamber.startSingle(45.0), std::nullopt);
        runFor(0.1);
        ASSERT_TRUE(sim.running());

        sim.setFailTemperatureReads(true);
        const Tick lostAt = lineClock.now();
        runFor(1.9);  // past the link-health limit, short of the blind-run limit
        EXPECT_FALSE(chamber.linkHealth().live());
        EXPECT_TRUE(sim.running()) << "a lost reading alone stops nothing";
        EXPECT_TRUE(std::any_of(record.readings.begin(), record.readings.end(),
                                [](const RunReading& r) { return !r.temperature; }))
            << "the loss is reported as a reading without a temperature";
        runFor(0.2);
        if (!c.stopped) {
            EXPECT_TRUE(chamber.run().controlling());
            EXPECT_TRUE(sim.running());
            EXPECT_TRUE(record.asked.empty());
            chamber.stop();
            runFor(0.1);
            sim.setFailTemperatureReads(false);
            continue;
        }
        ASSERT_EQ(record.blindAfter, std::vector<std::chrono::seconds>{120s});
        EXPECT_FALSE(sim.running()) << "the Stop went out";
        ASSERT_EQ(record.ended.size(), 1u);
        EXPECT_EQ(record.ended[0].reason, RunEndReason::NoReadings);
        const Tick stoppedAt = ticksSince(lostAt, lineClock.now());
        EXPECT_GE(stoppedAt, 120000u);
        EXPECT_EQ(runEndReasonText(RunEndReason::NoReadings, c.limit), "no readings for 120 s");
        sim.setFailTemperatureReads(false);
        controller.ClosePort();
    }
}

// After a power cut or a restart the controller reports Stopped while the run expects it Running:
// the run is held, its programme time stands still, and the operator's choice decides: Run again
// (the programme goes on from where it stood) or end the run, leaving the controller stopped.
TEST_F(ChamberOnSimulator, AControllerFoundStoppedHoldsTheRunUntilTheOperatorChooses) {
    for (const bool runOn : {true, false}) {
        SCOPED_TRACE(runOn ? "run on" : "end");
        record = RunRecord();
        sim.setTemperature(40.0);
        openLink();
        chamber.setBlindStopLimit(0s);
        const auto programme = Programme::make({{40.0, 10}, {45.0, 10}}, {});
        ASSERT_EQ(chamber.startProgramme(std::get<Programme>(programme)), std::nullopt);
        runFor(0.5);
        ASSERT_EQ(chamber.run().phase(), RunPhase::Running);
        const std::size_t runs = count(commands::kRun);
        const std::size_t stops = count(commands::kStop);

        sim.restart();
        runFor(0.5);
        ASSERT_EQ(chamber.run().phase(), RunPhase::Held);
        EXPECT_EQ(record.held, 1);
        const double heldAt = chamber.run().elapsedMinutes();
        runFor(15);  // past the first step's end on the run clock
        EXPECT_EQ(chamber.run().elapsedMinutes(), heldAt) << "the time stands";
        EXPECT_EQ(chamber.run().currentStep(), 1) << "no step switched while held";
        EXPECT_EQ(count(commands::kRun), runs) << "nothing is run without the operator";
        EXPECT_FALSE(sim.running());

        if (runOn) {
            ASSERT_EQ(chamber.resumeHeldRun(), std::nullopt);
            runFor(0.5);
            EXPECT_EQ(chamber.run().phase(), RunPhase::Running);
            EXPECT_TRUE(sim.running());
            // Refused once (writing is off after the restart), then sent again with writing on.
            EXPECT_EQ(count(commands::kRun), runs + 2);
            EXPECT_NEAR(chamber.run().elapsedMinutes(), heldAt + 0.5, 0.1);
            chamber.stop();
            runFor(0.2);
            ASSERT_EQ(record.ended.size(), 1u);
            EXPECT_EQ(record.ended[0].reason, RunEndReason::StoppedByOperator);
        } else {
            ASSERT_EQ(chamber.endHeldRun(), std::nullopt);
            ASSERT_EQ(record.ended.size(), 1u);
            EXPECT_EQ(record.ended[0].reason, RunEndReason::ControllerStopped);
            EXPECT_EQ(count(commands::kStop), stops) << "the controller was left as it was";
        }
        EXPECT_EQ(chamber.resumeHeldRun()->why, Refusal::Why::NotHeld);
        controller.ClosePort();
    }
}

// --time-scale speeds the programme's clock only: hours of programme time in seconds of line time
// neither make the link look silent nor give up a request, and the steps switch on the run clock.
TEST_F(ChamberOnSimulator, TheProgrammeClockRunsApartFromTheLine) {
    sim.setTemperature(30.0);
    openLink();
    const auto programme = Programme::make({{30.0, 60}, {35.0, 60}}, {});
    ASSERT_EQ(chamber.startProgramme(std::get<Programme>(programme)), std::nullopt);
    int losses = 0;
    struct LossCount final : LinkObserver {
        explicit LossCount(int& n) : n_(n) {}
        void linkLost(Loss) override { ++n_; }
        int& n_;
    } lossCount(losses);
    chamber.addLinkObserver(&lossCount);
    for (int pass = 0; pass < 200; ++pass) {  // 1000 times faster: 150 s of line time
        lineClock.advance(750);
        runClock.advance(750000);
        pollCycle();
        chamber.UpdateMainForm();
        if (!chamber.run().active()) {
            break;
        }
    }
    chamber.removeLinkObserver(&lossCount);
    EXPECT_EQ(losses, 0) << "a healthy link is never reported silent";
    EXPECT_EQ(controller.Failures().noReply, 0u) << "no request given up";
    EXPECT_EQ(count(std::string(commands::kWriteSetPoint) + setPointValueText(35.0)), 1u);
    EXPECT_FALSE(chamber.run().controlling()) << "two hours of programme have passed";
}

}  // namespace
}  // namespace lumas

namespace lumas {
namespace {

struct SoakRecord final : RunObserver {
    void soakWaiting(int step, double, double, std::optional<double>) override {
        waits.push_back(step);
    }
    void soakCounting(int step) override { counts.push_back(step); }
    std::vector<int> waits;
    std::vector<int> counts;
};

// A ramp sends the set point in small steps at its rate, stands still while the controller does
// not answer (no jump when it answers again); a guaranteed soak waits for its band; a programme
// that ends by holding leaves the controller running without a Stop.
TEST_F(ChamberOnSimulator, ARampAndAGuaranteedSoakRunOnTheController) {
    chamber.setBlindStopLimit(0s);
    sim.setTemperature(40.0);
    openLink();
    ProgrammeStep ramp(50.0, 1);
    ramp.rate = 10.0;  // 1 minute from 40 °C
    ProgrammeStep soak(60.0, 1);
    soak.band = 1.0;
    ProgrammeDocument document;
    document.rows = {ramp, soak};
    document.end = ProgrammeEnd::Hold;
    const auto made = Programme::fromDocument(document, {});
    ASSERT_TRUE(std::holds_alternative<Programme>(made));
    SoakRecord soaks;
    chamber.run().addObserver(&soaks);
    pollCycle();
    chamber.UpdateMainForm();
    ASSERT_EQ(chamber.startProgramme(std::get<Programme>(made)), std::nullopt);

    runFor(0.3);
    EXPECT_NEAR(sim.setPoint(), 43.0, 1.0) << "a third of the way";
    // Half a minute without a temperature: the link is lost for the run (the line itself goes on
    // answering, so nothing in the driver waits for a reply that never comes).
    sim.setFailTemperatureReads(true);
    runFor(0.5);
    EXPECT_FALSE(chamber.linkHealth().live());
    const double heldDuringLoss = sim.setPoint();
    EXPECT_NEAR(heldDuringLoss, 43.5, 1.5);
    sim.setFailTemperatureReads(false);
    std::vector<double> afterLoss;
    for (int pass = 0; pass < 8; ++pass) {
        runFor(0.025);
        afterLoss.push_back(sim.setPoint());
    }
    EXPECT_LE(afterLoss.front(), heldDuringLoss + 0.61) << "on from where it stood, no jump";
    for (std::size_t k = 1; k < afterLoss.size(); ++k) {
        // Sent every 2 s of real time at most: 0.5 °C at 10 °C/min over two passes of 1.5 s, give
        // or take the controller's tenth.
        EXPECT_LE(afterLoss[k] - afterLoss[k - 1], 0.61) << "at the ramp's rate";
    }

    runFor(1.6);  // the ramp arrives, its hold of a minute, then the soak's step: 60 °C, the
                  // chamber at 40
    EXPECT_EQ(chamber.run().currentStep(), 2);
    EXPECT_EQ(sim.setPoint(), 60.0);
    EXPECT_EQ(soaks.waits, std::vector<int>{2});
    runFor(3.0);
    EXPECT_TRUE(chamber.run().active()) << "the hold does not count outside the band";
    sim.setTemperature(59.5);
    runFor(0.5);
    EXPECT_EQ(soaks.counts, std::vector<int>{2});
    runFor(1.0);
    ASSERT_EQ(record.ended.size(), 1u);
    EXPECT_EQ(record.ended[0].reason, RunEndReason::FinishedHolding);
    EXPECT_EQ(count(commands::kStop), 0u) << "left running at its last set point";
    EXPECT_TRUE(sim.running());
    EXPECT_EQ(sim.setPoint(), 60.0);
    chamber.run().removeObserver(&soaks);
}

}  // namespace
}  // namespace lumas
