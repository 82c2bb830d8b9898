// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The main window's logic against the simulated controller over a pseudo-terminal, with a clock
// that moves only when the logic waits (or the test moves it).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "core/main_form_logic.h"
#include "core/run_texts.h"
#include "core/settings_store.h"
#include "core/sqlite_run_archive.h"
#include "fake_window.h"
#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "support/fake_clock.h"
#include "support/simulator_link.h"

namespace lumas {
namespace {

using test::FakeClock;
using test::FakeWindow;
using test::waitUntil;

std::string setPointWrite(double celsius) {
    return std::string(commands::kWriteSetPoint) + setPointValueText(celsius);
}

const QString kEmergencyPrefix = QStringLiteral(
    "Warning: The emergency temperature  was reached and the controller has been stopped!  [");

class CoreOnSimulator : public ::testing::Test {
  protected:
    CoreOnSimulator()
        : sim(test::frozenChamber()),
          logic(controller, port, window.ports, clock, settingsDir.filePath("Settings.ini"),
                QLocale(QLocale::English, QLocale::UnitedStates)) {
        window.targetCurve.onChange = [this] { logic.chkTargetTempClick(); };
        logic.currentDateTime = [] { return QDateTime(QDate(2026, 12, 10), QTime(14, 5, 9)); };
        // Most of these tests run the updates without a poll cycle, so no reading comes in: the
        // stop of a run without readings would end their runs. Its own tests switch it on.
        logic.chamber().setBlindStopLimit(std::chrono::seconds(0));
    }

    void SetUp() override { test::attachToSimulator(sim, port, controller); }

    // Opens the link and switches communications writing on, as connecting does, but without a
    // worker: the test runs the updates itself.
    void openLink() {
        ASSERT_EQ(controller.OpenPort(), 0);
        ASSERT_TRUE(waitUntil(
            [&] { return controller.StatusOk() && controller.CommandType() == 0; }, 2000));
        controller.WriteEnable();
        ASSERT_TRUE(waitUntil([&] { return sim.communicationsWriting(); }, 2000));
        ASSERT_TRUE(waitUntil([&] { return controller.CommandType() == 0; }, 2000));
        commandsSeen = sim.receivedCommands().size();
        logic.watchLink();
    }

    // Waits for the controller to have received `count` frames in all, serving the worker's
    // updates meanwhile.
    bool waitForRequests(std::size_t count, int timeoutMs) {
        return waitUntil([&] { return sim.requestCount() >= count; }, timeoutMs);
    }

    // Lets the controller's chamber read `celsius` and the driver take it in.
    void readTemperature(double celsius) {
        sim.setTemperature(celsius);
        controller.GetTemperature();
        ASSERT_TRUE(waitUntil([&] { return controller.Temperature() == celsius; }, 2000));
        commandsSeen = sim.receivedCommands().size();
    }

    // The commands the controller has received since the last call, once `count` have come in.
    std::vector<std::string> newCommands(std::size_t count) {
        EXPECT_TRUE(waitForRequests(commandsSeen + count, 2000));
        waitUntil([] { return false; }, 30);  // let any extra command arrive too
        const auto all = sim.receivedCommands();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(commandsSeen), all.end());
        commandsSeen = all.size();
        return fresh;
    }

    // Lets the driver read the controller's run state, as the poll cycle does.
    void readRunState() {
        const unsigned long before = controller.StatusReadings();
        controller.ReadStatusLeft();
        ASSERT_TRUE(waitUntil([&] { return controller.StatusReadings() > before; }, 2000));
        commandsSeen = sim.receivedCommands().size();
    }

    // Sends the Stop asked for and lets the controller's run state confirm it: the run ends.
    void stopAndConfirm() {
        logic.UpdateMainForm();  // sends the Stop
        readRunState();
        logic.UpdateMainForm();  // takes the confirmation
        ASSERT_FALSE(logic.run().active());
    }

    // The stamp of every notice and status-bar line, from the fixture's date and time.
    static QString stamp(const QString& text) { return text + "  [12/10/2026 2:05:09 PM]"; }

    // Runs one update and returns how much time its waits took.
    Tick timedUpdate() {
        const Tick before = clock.now();
        logic.UpdateMainForm();
        return ticksSince(before, clock.now());
    }

    // Runs a pass every 250 ms of programme time until the programme ends; returns the elapsed
    // minutes at each step switch, indexed by the step switched to.
    std::vector<double> runProgrammeToTheEnd() {
        std::vector<double> switchedAt(14, -1.0);
        for (int pass = 0; pass < 200000 && logic.state().ProgramRunning; ++pass) {
            clock.advance(250);
            const int before = logic.state().CurrentStep;
            logic.UpdateMainForm();
            if (logic.state().CurrentStep != before) {
                switchedAt[logic.state().CurrentStep] = logic.state().ElapsedMinutes;
            }
            if (pass % 64 == 0) {
                test::serveEventsFor(0);  // replies to the step's commands
            }
        }
        return switchedAt;
    }

    enum class Run { None, Single, Programme };

    // Starts a run of `kind` on the Basic or the Advanced control tab (the programme: 40 °C for
    // 10 minutes).
    void startRun(Run kind) {
        if (kind == Run::Single) {
            logic.bStartSingleClick();
        } else if (kind == Run::Programme) {
            window.setProgramme({{40.0, 10}});
            logic.bStartMultiClick();
        }
    }

    sim::SimulatedController sim;
    TComPort port;
    TOmronCom controller;
    FakeClock clock;
    FakeWindow window;
    QTemporaryDir settingsDir;
    // The run archive, for the tests that record runs: it outlives the logic that records in it.
    std::unique_ptr<ArchiveWriter> archive;
    MainFormLogic logic;  // declared last: it stops its worker before the link goes away
    std::size_t commandsSeen = 0;
};

TEST_F(CoreOnSimulator, ConnectingStartsThePollCycleAndDisconnectingResetsTheWindow) {
    clock.setSpeed(10);
    sim.setTemperature(23.4);
    sim.setSetPoint(25.0);

    EXPECT_EQ(logic.ConnectToPort(sim.portPath()), std::nullopt);
    EXPECT_EQ(window.statusConnection.text, "Connected");
    EXPECT_TRUE(logic.workerRunning());
    ASSERT_TRUE(waitUntil(
        [&] {
            return window.lTemp.text == "23.4°C" && window.lSetPoint.text == "25.0°C" &&
                   window.lCS.text == "Stopped" && window.lCS2.text == "Stopped";
        },
        5000));

    // Three reads in a fixed cycle, one at a time, after the connect phase.
    ASSERT_TRUE(waitForRequests(9, 5000));
    const auto received = sim.receivedCommands();
    const std::vector<std::string> expected{
        commands::kEchoTest,       commands::kReadSetPoint, commands::kReadSetPoint,
        commands::kWriteEnable,    commands::kTemperature,  commands::kReadSetPoint,
        commands::kReadStatusLeft, commands::kTemperature,  commands::kReadSetPoint};
    EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + 9), expected)
        << "the echo reply's set-point read, then the connect sequence's own";

    sim.setRunning(true);
    EXPECT_TRUE(waitUntil([&] { return window.lCS2.text == "Running"; }, 5000));

    logic.Disconnect1Click();
    EXPECT_FALSE(logic.workerRunning());
    EXPECT_FALSE(controller.Connected());
    EXPECT_FALSE(controller.AllowToSend());
    EXPECT_EQ(window.statusConnection.text, "OFFLINE");
    EXPECT_EQ(window.lTemp.text, "--");
    EXPECT_EQ(window.lSetPoint.text, "--");
    EXPECT_EQ(window.clearCalls, 1);
    const std::size_t afterDisconnect = sim.requestCount();
    test::serveEventsFor(100);
    EXPECT_EQ(sim.requestCount(), afterDisconnect) << "no worker polls after Disconnect";
    EXPECT_TRUE(sim.running()) << "Disconnect sends no stop";
}

TEST_F(CoreOnSimulator, ConnectingToANameThatIsNoPortLeavesTheWindowOffline) {
    window.statusConnection.setText("OFFLINE");
    EXPECT_EQ(logic.ConnectToPort("/dev/lumas-no-such-port"), std::nullopt)
        << "a port that cannot be opened is the driver's failure, not the dialog's";
    EXPECT_FALSE(logic.workerRunning());
    EXPECT_EQ(window.statusConnection.text, "OFFLINE");
    EXPECT_EQ(logic.ConnectToPort(""), "Error occured: No port is selected.");
}

// The watchdog gives up a request after strictly more than 8 s, across the tick wrap too.
TEST_F(CoreOnSimulator, ReplyWatchdogFiresOnlyAfterMoreThanEightSeconds) {
    struct Case {
        Tick sentAt;
        Tick elapsed;
        bool released;
    };
    const Case cases[] = {
        {1000, 8000, false},
        {1000, 8001, true},
        {0xFFFFF000u, 8000, false},  // the tick wraps past 2^32 while the request is out
        {0xFFFFF000u, 8001, true},
    };
    for (const Case& c : cases) {
        controller.SetAllowToSend(false);
        logic.state().LastSendTick = c.sentAt;
        clock.set(c.sentAt + c.elapsed);
        logic.UpdateMainForm();
        EXPECT_EQ(controller.AllowToSend(), c.released)
            << "sent at " << c.sentAt << ", " << c.elapsed << " ms later";
    }
}

TEST_F(CoreOnSimulator, SilentControllerStallsThePollCycleUntilTheWatchdog) {
    openLink();
    sim.setNoReply(true);
    const Tick start = clock.now();
    logic.StartThread();
    ASSERT_TRUE(waitForRequests(commandsSeen + 2, 5000));
    EXPECT_GE(ticksSince(start, clock.now()), 8000u);
    const auto fresh = newCommands(2);
    ASSERT_GE(fresh.size(), 2u);
    EXPECT_EQ(fresh[0], commands::kTemperature);
    EXPECT_EQ(fresh[1].rfind(commands::kEchoTest, 0), 0u)
        << "the unanswered read is given up, not resent, and the link is checked before the "
           "next read";
}

TEST_F(CoreOnSimulator, SetTwiceThenStartInOnePassSendsTheSetPointOnceThenRun) {
    openLink();
    window.singleSetPoint.setValue(42.5);
    logic.bSetSingleSPClick();
    logic.bSetSingleSPClick();
    logic.bStartSingleClick();
    EXPECT_EQ(timedUpdate(), 640u) << "320 ms after each command";
    EXPECT_EQ(newCommands(2), (std::vector<std::string>{setPointWrite(42.5), commands::kRun}));
    EXPECT_EQ(sim.setPoint(), 42.5);
    EXPECT_TRUE(sim.running());
    EXPECT_TRUE(window.timerSingle.on);
    EXPECT_TRUE(window.target.points.empty()) << "no target line while the box is unticked";

    EXPECT_EQ(timedUpdate(), 0u) << "nothing left to send";
}

// Start sends the set point on the screen before Run (the controller's is not known yet); a Stop
// pressed in the same pass goes out after them, and the run ends only once the controller confirms
// it, and a Run still waiting behind the set point when the Stop is asked is dropped rather than
// let it start the chamber after.
TEST_F(CoreOnSimulator, StartThenStopInOnePassEndsTheRunOnlyOnceTheStopIsConfirmed) {
    openLink();
    window.singleSetPoint.setValue(30.0);
    logic.bStartSingleClick();
    logic.bStopSingleClick();
    EXPECT_FALSE(logic.state().ControlActive);
    EXPECT_TRUE(logic.run().stopping());
    EXPECT_TRUE(window.timerSingle.on) << "a run that is stopping is still recorded";
    EXPECT_EQ(window.enableCalls, 0) << "Start stays disabled while the run is stopping";
    EXPECT_EQ(window.statusRun.text, texts::kWaitingForStop);
    EXPECT_EQ(timedUpdate(), 960u);
    // The Run goes out between them if the set point's reply came in during its pause; if it still
    // waited when the Stop was asked, the Stop dropped it. Either way the Stop is last.
    const std::vector<std::string> sent = newCommands(2);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_LE(sent.size(), 3u);
    EXPECT_EQ(sent.front(), setPointWrite(30.0));
    EXPECT_EQ(sent.back(), commands::kStop);
    if (sent.size() == 3) {
        EXPECT_EQ(sent[1], commands::kRun);
    }
    EXPECT_FALSE(sim.running());
    EXPECT_TRUE(logic.run().stopping()) << "no run state read since the Stop";

    readRunState();
    logic.UpdateMainForm();
    ASSERT_TRUE(logic.run().end().has_value());
    EXPECT_EQ(logic.run().end()->reason, RunEndReason::StoppedByOperator);
    EXPECT_FALSE(window.timerSingle.on);
    EXPECT_EQ(window.enableCalls, 1);
    EXPECT_TRUE(window.statusRun.text.startsWith("Run ended: stopped by the operator"))
        << window.statusRun.text.toStdString();
}

// A controller found stopped mid-run: the window says so at once and asks whether to run on; the
// answer decides (No ends the run and leaves the controller stopped; Yes sends Run again).
TEST_F(CoreOnSimulator, AControllerFoundStoppedIsAskedAboutAndTheAnswerDecides) {
    for (const bool runOn : {false, true}) {
        SCOPED_TRACE(runOn ? "Yes" : "No");
        openLink();
        window.setProgramme({{40.0, 10}});
        logic.bStartMultiClick();
        logic.UpdateMainForm();
        newCommands(2);
        readRunState();
        readRunState();
        logic.UpdateMainForm();
        ASSERT_EQ(logic.run().phase(), RunPhase::Running);

        sim.restart();
        readRunState();
        readRunState();
        window.messages.shown.clear();
        window.messages.confirmAnswer = runOn;
        logic.UpdateMainForm();
        ASSERT_EQ(logic.run().phase(), RunPhase::Held);
        EXPECT_EQ(window.statusRun.text, stamp(texts::kControllerFoundStopped));
        EXPECT_TRUE(window.messages.shown.empty()) << "asked once the update's step is over";
        test::serveEventsFor(10);
        ASSERT_EQ(window.messages.shown.size(), 1u);
        EXPECT_EQ(window.messages.shown[0].kind, "confirm");
        EXPECT_EQ(window.messages.shown[0].text, stamp(texts::kRunOnQuestion));
        if (runOn) {
            EXPECT_EQ(logic.run().phase(), RunPhase::Starting);
            logic.UpdateMainForm();
            EXPECT_EQ(newCommands(1).front(), commands::kRun);
            logic.bStopMultiClick();
            stopAndConfirm();
        } else {
            EXPECT_EQ(logic.run().end()->reason, RunEndReason::ControllerStopped);
            EXPECT_TRUE(
                window.statusRun.text.startsWith("Run ended: the controller stopped by itself"));
            EXPECT_FALSE(sim.running());
        }
        controller.ClosePort();
    }
}

TEST_F(CoreOnSimulator, HandlersWithoutConnectionWarnAndChangeNothing) {
    window.holdTimes[0].setValue(10);
    logic.bSetSingleSPClick();
    logic.bStartSingleClick();
    logic.bStopSingleClick();
    logic.bStartMultiClick();
    logic.bStopMultiClick();
    ASSERT_EQ(window.messages.shown.size(), 5u);
    for (const auto& shown : window.messages.shown) {
        EXPECT_EQ(shown.kind, "warning");
        EXPECT_EQ(shown.text, "No Connection!");
    }
    const SharedState& s = logic.state();
    EXPECT_FALSE(s.ControlActive || s.SingleRunning || s.ProgramRunning || s.PendingRun ||
                 s.PendingStop || s.PendingSingleSetPoint || s.PendingProgramStart);
}

TEST_F(CoreOnSimulator, ProgrammeStartNeedsAFirstHoldTimeOfOneTo9999Minutes) {
    openLink();
    window.temperatures[0].setValue(450.0);  // a refused start says nothing of its steps either
    for (const double t1 : {0.0, 10000.0}) {
        window.messages.shown.clear();
        window.holdTimes[0].setValue(t1);
        logic.bStartMultiClick();
        ASSERT_EQ(window.messages.shown.size(), 1u) << "t1 = " << t1;
        EXPECT_EQ(window.messages.shown[0].kind, "information");
        EXPECT_EQ(window.messages.shown[0].text,
                  "Input the hold time for the first set point  ( t1 ) ");
        EXPECT_FALSE(logic.state().ProgramRunning);
        EXPECT_FALSE(logic.state().PendingProgramStart);
    }
}

// The programme ends at the first step without a hold time. The operator is told which steps will
// not run before it starts, and the total, "Finish in", the curve and the end all agree.
TEST_F(CoreOnSimulator, ProgrammeEndsAtTheFirstZeroHoldTimeAndSaysSoBeforeItStarts) {
    openLink();
    window.setProgramme({{40.0, 10}, {50.0, 0}, {60.0, 5}});
    EXPECT_EQ(logic.TotalTime(), 10);
    EXPECT_EQ(logic.totalTimeText(), "10 Minutes (step 3 will not run)");
    const QString question =
        "Step 3 will not run: t2 is 0, which ends the programme after step 1.\rStart the "
        "programme of 1 step(s) anyway?";
    window.messages.confirmAnswer = false;
    logic.bStartMultiClick();
    EXPECT_EQ(window.messages.shown,
              (std::vector<test::RecordedMessages::Shown>{{"confirm", question}}));
    EXPECT_FALSE(logic.run().active()) << "No: not started";

    window.messages.confirmAnswer = true;
    logic.bStartMultiClick();
    const SharedState& s = logic.state();
    EXPECT_EQ(s.StepCount, 1);
    EXPECT_EQ(window.lTotal.text, "1");
    EXPECT_EQ(s.TotalMinutes, 10);
    EXPECT_TRUE(window.targetCurve.state);
    EXPECT_EQ(window.target.points, (std::vector<QPointF>{{0, 0}, {0, 40}, {10, 40}}));
    EXPECT_EQ(window.disableCalls, 1);
    logic.UpdateMainForm();
    EXPECT_EQ(newCommands(2), (std::vector<std::string>{setPointWrite(40.0), commands::kRun}));

    runProgrammeToTheEnd();
    EXPECT_FALSE(s.ProgramRunning);
    EXPECT_GE(ticksSince(s.ProgramStartTick, clock.now()), 10u * 60000u);
    EXPECT_LT(ticksSince(s.ProgramStartTick, clock.now()), 10u * 60000u + 1000u);

    QStringList finishIn = window.lFinish.history;
    EXPECT_EQ(finishIn.takeLast(), "--");
    EXPECT_EQ(finishIn.first(), "10 minutes");
    EXPECT_EQ(finishIn.last(), "0 minutes");
    finishIn.removeDuplicates();
    EXPECT_EQ(finishIn.size(), 11) << finishIn.join(", ").toStdString();

    logic.UpdateMainForm();  // sends the stop of the programme's end
    EXPECT_EQ(newCommands(1), (std::vector<std::string>{commands::kStop}));
    EXPECT_EQ(window.enableCalls, 0) << "not before the controller confirms the Stop";
    readRunState();
    logic.UpdateMainForm();
    EXPECT_EQ(logic.run().end()->reason, RunEndReason::Finished);
    EXPECT_EQ(window.enableCalls, 1);
}

TEST_F(CoreOnSimulator, TwelveStepsSwitchAtTheirBoundariesAcrossTheTickWrap) {
    openLink();
    std::vector<std::pair<double, int>> steps;
    for (int n = 1; n <= 12; ++n) {
        steps.emplace_back(20.0 + 5.0 * n, n);  // Tn = 20 + 5n °C held n minutes
    }
    window.setProgramme(steps);
    clock.set(0xFFFFFFFFu - 30u * 60000u);  // the tick wraps 30 minutes into the programme
    logic.bStartMultiClick();
    EXPECT_EQ(window.lTotal.text, "12");
    EXPECT_EQ(window.target.points.size(), 25u);

    const std::vector<double> switchedAt = runProgrammeToTheEnd();
    EXPECT_FALSE(logic.state().ProgramRunning);
    double boundary = 0.0;
    for (int n = 2; n <= 12; ++n) {
        boundary += n - 1;
        EXPECT_GE(switchedAt[n], boundary) << "step " << n;
        EXPECT_LT(switchedAt[n], boundary + 1.0 / 60.0) << "step " << n;
    }
    const double total = 78.0;  // 1 + 2 + ... + 12
    EXPECT_GE(logic.state().ElapsedMinutes, total);
    EXPECT_LT(logic.state().ElapsedMinutes, total + 1.0 / 60.0);

    logic.UpdateMainForm();
    std::vector<std::string> expected{setPointWrite(25.0), commands::kRun};
    for (int n = 2; n <= 12; ++n) {
        expected.push_back(setPointWrite(20.0 + 5.0 * n));
    }
    expected.push_back(commands::kStop);
    // Each step's set point is read back after it is written; the writes are what counts here.
    std::vector<std::string> sent = newCommands(expected.size());
    // On a loaded machine a read-back may answer with the value before the write, and the same
    // value is written once more: harmless, and not what this test is about.
    std::erase(sent, std::string(commands::kReadSetPoint));
    sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
    EXPECT_EQ(sent, expected);
}

TEST_F(CoreOnSimulator, SetPointCorrectionRepeatsWhileTheControllerKeepsAnotherValue) {
    clock.setSpeed(4);  // the write's reply comes in during the pause before the read
    openLink();
    window.setProgramme({{40.0, 10}});
    logic.bStartMultiClick();
    logic.UpdateMainForm();
    EXPECT_EQ(newCommands(2), (std::vector<std::string>{setPointWrite(40.0), commands::kRun}));

    sim.setSetPointLock(20.0);
    for (int pass = 0; pass < 2; ++pass) {
        controller.GetSetPoint();
        ASSERT_TRUE(waitUntil([&] { return controller.SetPoint() == 20.0; }, 2000));
        newCommands(1);
        logic.UpdateMainForm();
        EXPECT_EQ(newCommands(2),
                  (std::vector<std::string>{setPointWrite(40.0), commands::kReadSetPoint}))
            << "pass " << pass;
    }

    sim.setSetPointLock(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return controller.SetPoint() == 20.0; }, 2000));
    logic.UpdateMainForm();  // corrected, and this time the controller keeps it
    newCommands(2);
    ASSERT_TRUE(waitUntil([&] { return controller.SetPoint() == 40.0; }, 2000));
    EXPECT_EQ(timedUpdate(), 0u) << "no correction once the controller holds the step's value";
    EXPECT_EQ(sim.setPoint(), 40.0);
}

TEST_F(CoreOnSimulator, StepAboveTheDriversLimitIsHeldAtTheLimitWithoutEndlessCorrection) {
    clock.setSpeed(4);
    openLink();
    logic.state().EmergencyThreshold = 500.0;
    window.setProgramme({{450.0, 10}});  // accepted by the field check, above the driver's 400
    logic.bStartMultiClick();
    logic.UpdateMainForm();
    EXPECT_EQ(newCommands(2), (std::vector<std::string>{setPointWrite(400.0), commands::kRun}));
    controller.GetSetPoint();
    ASSERT_TRUE(waitUntil([&] { return controller.CommandType() == 0; }, 2000));
    EXPECT_EQ(controller.SetPoint(), 400.0);
    EXPECT_EQ(timedUpdate(), 0u) << "the controller holds all that can be sent";
}

// The controller stores tenths: a step with more decimals is held at its tenth, not rewritten on
// every pass, while a controller a tenth away is still corrected.
TEST_F(CoreOnSimulator, SetPointCorrectionComparesInTheTenthsTheControllerStores) {
    struct Case {
        double step;
        double stored;   // the tenth the controller keeps of the step's value
        double another;  // a tenth away from it
    };
    const Case cases[] = {{25.55, 25.6, 25.5}, {-10.04, -10.0, -10.1}};
    clock.setSpeed(4);
    openLink();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        window.setProgramme({{c.step, 10}});
        logic.bStartMultiClick();
        logic.UpdateMainForm();
        EXPECT_EQ(newCommands(2),
                  (std::vector<std::string>{setPointWrite(c.step), commands::kRun}));
        controller.GetSetPoint();
        ASSERT_TRUE(waitUntil([&] { return controller.SetPoint() == c.stored; }, 2000));
        newCommands(1);
        EXPECT_EQ(timedUpdate(), 0u) << "the controller holds the step's tenth";

        sim.setSetPoint(c.another);
        controller.GetSetPoint();
        ASSERT_TRUE(waitUntil([&] { return controller.SetPoint() == c.another; }, 2000));
        newCommands(1);
        logic.UpdateMainForm();
        EXPECT_EQ(newCommands(2),
                  (std::vector<std::string>{setPointWrite(c.step), commands::kReadSetPoint}));

        logic.bStopMultiClick();
        stopAndConfirm();
    }
}

// Steps above the highest set point the driver sends are named once when the programme starts;
// only the steps the programme runs count.
TEST_F(CoreOnSimulator, ProgrammeStartNamesTheStepsHeldAtTheDriversLimit) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, int>> steps;
        QStringList shown;
    };
    const Case cases[] = {
        {"none above", {{400.0, 10}, {-70.0, 5}}, {}},
        {"one above",
         {{40.0, 10}, {450.0, 5}},
         {"T2 (450.0 °C) is above 400.0 °C, the highest set point sent to the controller: this "
          "step runs at 400.0 °C."}},
        {"two above",
         {{40.0, 5}, {50.0, 5}, {450.0, 5}, {40.0, 5}, {500.0, 5}},
         {"T3 (450.0 °C), T5 (500.0 °C) are above 400.0 °C, the highest set point sent to the "
          "controller: these steps run at 400.0 °C."}},
        {"above after the last step run", {{40.0, 10}, {50.0, 0}, {450.0, 5}}, {}},
    };
    openLink();
    logic.state().EmergencyThreshold = 500.0;  // the steps above 280 °C are meant
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.setProgramme(std::vector<std::pair<double, int>>(12, {0.0, 0}));
        window.setProgramme(c.steps);
        window.messages.shown.clear();
        logic.bStartMultiClick();
        ASSERT_TRUE(logic.state().ProgramRunning);
        QStringList shown;
        for (const auto& message : window.messages.shown) {
            if (message.kind != "confirm") {  // the steps that will not run are asked about
                shown << message.text;
            }
        }
        QStringList expected;
        for (const QString& text : c.shown) {
            expected << stamp(text);
        }
        EXPECT_EQ(shown, expected);
        logic.bStopMultiClick();
        stopAndConfirm();
    }
}

// The cut-off fires when the temperature is above the threshold during a run, and only once. Its
// Stop goes out at once; the reading that fired it is drawn; once the controller confirms the
// Stop, the alarm names the threshold, the reading and the time, and must be acknowledged.
TEST_F(CoreOnSimulator, EmergencyCutOffStopsARunAboveTheThresholdOnce) {
    struct Case {
        bool runActive;
        double temperature;
        bool cutOff;
    };
    const Case cases[] = {{true, 280.0, false}, {true, 280.1, true}, {false, 300.0, false}};
    openLink();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.temperature);
        window.statusWarning.setText(QString());
        window.messages.shown.clear();
        if (c.runActive) {
            logic.bStartSingleClick();
            logic.UpdateMainForm();
            EXPECT_EQ(newCommands(1).back(), commands::kRun);
        }
        readTemperature(c.temperature);
        logic.UpdateMainForm();
        EXPECT_EQ(logic.state().ControlActive, c.runActive && !c.cutOff);
        if (!c.cutOff) {
            EXPECT_EQ(window.statusWarning.text, "");
            EXPECT_EQ(timedUpdate(), 0u);
            if (c.runActive) {
                logic.bStopSingleClick();
                stopAndConfirm();
            }
            EXPECT_TRUE(window.messages.shown.empty());
            continue;
        }
        EXPECT_EQ(window.statusWarning.text,
                  "Warning: The emergency temperature  was reached; waiting for the controller "
                  "to confirm the Stop.  [12/10/2026 2:05:09 PM]")
            << "stopped is said only once the controller confirms it";
        EXPECT_EQ(newCommands(1), (std::vector<std::string>{commands::kStop}))
            << "sent by the cut-off itself, once";
        EXPECT_FALSE(sim.running());
        EXPECT_TRUE(window.timerSingle.on) << "still recorded until the Stop is confirmed";
        ASSERT_FALSE(window.measured.points.empty());
        EXPECT_EQ(window.measured.points.back().y(), c.temperature)
            << "the reading that fired the cut-off is on the chart";
        readRunState();
        EXPECT_EQ(timedUpdate(), 0u) << "nothing more once stopped";
        EXPECT_EQ(logic.run().end()->reason, RunEndReason::EmergencyCutOff);
        EXPECT_EQ(window.statusWarning.text, kEmergencyPrefix + "12/10/2026 2:05:09 PM]");
        EXPECT_FALSE(logic.stopConfirmation().pending());
        EXPECT_EQ(window.messages.shown,
                  (std::vector<test::RecordedMessages::Shown>{
                      {"warning", kEmergencyPrefix +
                                      "12/10/2026 2:05:09 PM]\rThreshold: 280 °C. The reading "
                                      "that fired the cut-off: 280.1 °C at 12/10/2026 2:05:09 "
                                      "PM."}}))
            << "one alarm, acknowledged by the recording boxes at once";
        EXPECT_EQ(window.enableCalls, 2) << "after the alarm was acknowledged";
    }
}

// A run is recorded as it goes: the reading that fired the cut-off, the alarm the operator was
// shown and its acknowledgement are in its record, which ends with the confirmed Stop.
TEST_F(CoreOnSimulator, ARunsCutOffItsAlarmAndItsAcknowledgementAreRecorded) {
    archive = std::make_unique<ArchiveWriter>(settingsDir.filePath("runs.sqlite"));
    logic.recordRunsIn(*archive, archive->recovered(std::chrono::seconds(10)));
    openLink();
    logic.bStartSingleClick();
    logic.UpdateMainForm();
    newCommands(1);
    readTemperature(280.1);
    logic.UpdateMainForm();
    newCommands(1);
    readRunState();
    logic.UpdateMainForm();
    ASSERT_EQ(logic.run().end()->reason, RunEndReason::EmergencyCutOff);

    const std::optional<RunRecord> record = logic.reportRecord();
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->run.endReason, "emergency cut-off");
    EXPECT_EQ(record->run.maximum, 280.1);
    EXPECT_EQ(record->run.alarms, 1);
    EXPECT_FALSE(record->run.seal.isEmpty());
    std::vector<QString> kinds;
    for (const ArchivedEvent& event : record->events) {
        kinds.push_back(event.kind);
    }
    for (const char* kind : {"run started", "cut-off", "stop asked", "stop confirmed", "run ended",
                             "alarm", "acknowledged"}) {
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), QString::fromLatin1(kind)), kinds.end())
            << kind;
    }
}

// A run the program did not end (a crash, a power cut) whose controller is found running when the
// program connects again: the operator is told, and chooses to stop the chamber or to watch it as
// a new run linked to the old one.
TEST_F(CoreOnSimulator, AChamberStillRunningFromAnInterruptedRunIsOfferedToBeStoppedOrWatched) {
    for (const bool stopIt : {true, false}) {
        SCOPED_TRACE(stopIt ? "stop it" : "watch it");
        const QString path = settingsDir.filePath(stopIt ? "stop.sqlite" : "watch.sqlite");
        {
            SqliteRunArchive::Opened opened =
                SqliteRunArchive::open(path, SqliteRunArchive::Access::ReadWrite);
            ASSERT_TRUE(opened.archive);
            RunStart start;
            start.singleSetPoint = 60.0;
            start.emergencyThreshold = 280.0;
            start.devicePath = QStringLiteral("/dev/ttyUSB0");
            start.startedAt = QDateTime(QDate(2026, 12, 10), QTime(9, 0, 0));
            ArchiveBatch batch;
            batch.operations.emplace_back(ArchiveBatch::Begin{1, {start, "tech", "lab", "1", {}}});
            batch.operations.emplace_back(
                ArchiveBatch::Readings{1, {{60000, 59.5, 60.0, 0, LinkHealth::State::Live}}});
            ASSERT_FALSE(opened.archive->write(batch).has_value());
        }
        logic.chamber().stopWorker();
        archive = std::make_unique<ArchiveWriter>(path);
        const std::vector<ArchivedRun> recovered = archive->recovered(std::chrono::seconds(10));
        ASSERT_EQ(recovered.size(), 1u);
        EXPECT_EQ(recovered[0].endReason, kEndedUnexpectedly);
        logic.recordRunsIn(*archive, recovered);

        sim.setSetPoint(60.0);
        sim.setRunning(true);
        openLink();
        readTemperature(59.8);
        readRunState();
        window.messages.shown.clear();
        window.messages.confirmAnswer = stopIt;
        logic.UpdateMainForm();
        test::serveEventsFor(10);
        ASSERT_EQ(window.messages.shown.size(), 1u);
        EXPECT_TRUE(window.messages.shown[0].text.startsWith(
            "The chamber is still running from run 1, started 12/10/2026 9:00:00 AM, which ended "
            "unexpectedly (its last reading was at 12/10/2026 9:01:00 AM): the controller runs at "
            "its set point of 60.0 °C."));
        if (stopIt) {
            EXPECT_FALSE(logic.run().active());
            logic.UpdateMainForm();
            EXPECT_EQ(newCommands(1), (std::vector<std::string>{commands::kStop}));
        } else {
            ASSERT_TRUE(logic.run().active());
            logic.UpdateMainForm();
            EXPECT_EQ(newCommands(1), (std::vector<std::string>{commands::kRun}))
                << "the set point the controller holds is not sent again";
            logic.bStopSingleClick();
            stopAndConfirm();
            const std::optional<RunRecord> record = logic.reportRecord();
            ASSERT_TRUE(record.has_value());
            EXPECT_EQ(record->run.continues, 1);
            EXPECT_EQ(record->run.singleSetPoint, 60.0);
        }
        controller.ClosePort();
    }
}

TEST_F(CoreOnSimulator, ProgrammeStartedAboveTheThresholdStartsThenStops) {
    clock.setSpeed(4);  // each command's reply comes in during the pause after it
    openLink();
    readTemperature(300.0);
    window.setProgramme({{40.0, 10}});
    logic.bStartMultiClick();
    logic.UpdateMainForm();
    EXPECT_FALSE(logic.state().ProgramRunning);
    EXPECT_TRUE(window.statusWarning.text.startsWith(
        "Warning: The emergency temperature  was reached; waiting"));
    EXPECT_EQ(newCommands(3),
              (std::vector<std::string>{setPointWrite(40.0), commands::kRun, commands::kStop}));
}

// Disconnect sends no Stop, so during a run it asks first; on Yes the run ends in the program,
// with its log, and the status bar says that the controller goes on.
TEST_F(CoreOnSimulator, DisconnectDuringARunAsksAndOnYesEndsTheRunWithoutAStop) {
    struct Case {
        const char* name;
        Run run;
        bool answer;
    };
    const Case cases[] = {
        {"no run", Run::None, true},
        {"single control, No", Run::Single, false},
        {"single control, Yes", Run::Single, true},
        {"programme, No", Run::Programme, false},
        {"programme, Yes", Run::Programme, true},
    };
    clock.setSpeed(4);
    QTemporaryDir logs;
    logic.csvExportSettings() = {true, 5, logs.path()};
    const SharedState& s = logic.state();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!controller.Connected()) {
            openLink();
        }
        startRun(c.run);
        logic.UpdateMainForm();
        ASSERT_TRUE(waitUntil([&] { return sim.running() == (c.run != Run::None); }, 2000));
        window.messages.shown.clear();
        window.statusWarning.setText(QString());
        window.messages.confirmAnswer = c.answer;

        logic.Disconnect1Click();
        if (c.run == Run::None) {
            EXPECT_TRUE(window.messages.shown.empty()) << "no question without a run";
        } else {
            EXPECT_EQ(window.messages.shown,
                      (std::vector<test::RecordedMessages::Shown>{
                          {"confirm",
                           "A run is active. The controller keeps running at its last "
                           "set point. Disconnect anyway?"}}));
        }
        EXPECT_TRUE(sim.running() == (c.run != Run::None)) << "no Stop is sent";

        if (!c.answer) {
            EXPECT_TRUE(controller.Connected()) << "No leaves the link and the run alone";
            EXPECT_TRUE(s.ControlActive);
            EXPECT_TRUE(s.ProgramRunning || s.SingleRunning);
            EXPECT_NE(logic.writer(), nullptr);
            c.run == Run::Single ? logic.bStopSingleClick() : logic.bStopMultiClick();
            stopAndConfirm();
            continue;
        }
        EXPECT_FALSE(controller.Connected());
        EXPECT_FALSE(s.ControlActive || s.ProgramRunning || s.SingleRunning || s.PendingRun ||
                     s.PendingProgramStart);
        EXPECT_FALSE(window.timerMulti.on || window.timerSingle.on || window.timerCsv.on);
        EXPECT_EQ(logic.writer(), nullptr) << "the run's log is closed";
        EXPECT_EQ(window.statusWarning.text,
                  c.run == Run::None
                      ? QString()
                      : stamp("The run was ended by Disconnect; the controller was not "
                              "stopped and keeps running at its last set point."));
        if (c.run != Run::None) {
            EXPECT_EQ(logic.run().end()->reason, RunEndReason::Disconnected);
        }
        if (c.run == Run::Programme) {
            EXPECT_EQ(window.lTotal.text, "--");
            EXPECT_EQ(window.lFinish.text, "--");
        }
    }
}

TEST_F(CoreOnSimulator, ReconnectingAfterDisconnectingARunningProgrammeDoesNotResumeIt) {
    clock.setSpeed(100);
    window.setProgramme({{40.0, 1}, {50.0, 1}});
    ASSERT_EQ(logic.ConnectToPort(sim.portPath()), std::nullopt);
    logic.bStartMultiClick();
    ASSERT_TRUE(waitUntil([&] { return sim.setPoint() == 40.0 && sim.running(); }, 5000));

    logic.Disconnect1Click();  // confirmed
    EXPECT_TRUE(window.measured.points.empty());
    EXPECT_TRUE(window.target.points.empty());
    EXPECT_EQ(window.lTemp.text, "--");
    sim.setSetPoint(20.0);  // the set point changed at the controller meanwhile

    const std::size_t before = sim.receivedCommands().size();
    ASSERT_EQ(logic.ConnectToPort(sim.portPath()), std::nullopt);
    const Tick reconnected = clock.now();
    ASSERT_TRUE(waitUntil([&] { return ticksSince(reconnected, clock.now()) > 3 * 60000; }, 10000))
        << "past the programme's end";

    const SharedState& s = logic.state();
    EXPECT_FALSE(s.ProgramRunning || s.ControlActive || s.PendingProgramStart);
    EXPECT_EQ(s.CurrentStep, 1) << "no step switched";
    EXPECT_FALSE(window.timerMulti.on);
    const auto received = sim.receivedCommands();
    for (auto command = received.begin() + static_cast<long>(before); command != received.end();
         ++command) {
        EXPECT_NE(command->rfind(commands::kWriteSetPoint, 0), 0u) << "set point written";
        EXPECT_NE(*command, commands::kStop);
    }
    EXPECT_EQ(sim.setPoint(), 20.0);
    EXPECT_TRUE(sim.running());
}

// Port Configuration closes the port as Disconnect does: during a run it asks about the run
// first, and on Yes the run ends in the program without a Stop.
TEST_F(CoreOnSimulator, PortConfigurationDuringARunEndsItWithoutAStop) {
    openLink();
    startRun(Run::Programme);
    logic.UpdateMainForm();
    ASSERT_TRUE(waitUntil([&] { return sim.running(); }, 2000));
    window.messages.shown.clear();

    logic.maPortConfigurationClick();
    ASSERT_EQ(window.messages.shown.size(), 2u);
    EXPECT_EQ(window.messages.shown[0].text, texts::kRunActiveDisconnect);
    EXPECT_EQ(window.messages.shown[1].text, texts::kConfirmPortClose);
    const SharedState& s = logic.state();
    EXPECT_FALSE(controller.Connected());
    EXPECT_FALSE(s.ControlActive || s.ProgramRunning || s.PendingProgramStart);
    EXPECT_FALSE(window.timerMulti.on);
    EXPECT_EQ(window.statusWarning.text, stamp(texts::kRunEndedByPortConfiguration));
    EXPECT_TRUE(sim.running()) << "no Stop is sent";
}

// The window's close asks only during a run, and is held back on No.
TEST_F(CoreOnSimulator, ClosingDuringARunAsksFirst) {
    struct Case {
        const char* name;
        Run run;
        bool answer;
        bool closes;
    };
    const Case cases[] = {
        {"no run", Run::None, false, true},
        {"single control, No", Run::Single, false, false},
        {"programme, Yes", Run::Programme, true, true},
    };
    openLink();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startRun(c.run);
        window.messages.shown.clear();
        window.messages.confirmAnswer = c.answer;
        EXPECT_EQ(logic.confirmCloseDuringRun(), c.closes);
        if (c.run == Run::None) {
            EXPECT_TRUE(window.messages.shown.empty());
        } else {
            EXPECT_EQ(window.messages.shown,
                      (std::vector<test::RecordedMessages::Shown>{
                          {"confirm",
                           "A run is active. The controller keeps running at its last "
                           "set point. Exit anyway?"}}));
            c.run == Run::Single ? logic.bStopSingleClick() : logic.bStopMultiClick();
            stopAndConfirm();
        }
    }
}

TEST_F(CoreOnSimulator, PortConfigurationWhileConnectedClosesTheLinkThroughTheDriver) {
    clock.setSpeed(100);
    ASSERT_EQ(logic.ConnectToPort(sim.portPath()), std::nullopt);

    window.messages.confirmAnswer = false;
    logic.maPortConfigurationClick();
    EXPECT_TRUE(port.Active()) << "No leaves the connection alone";
    EXPECT_EQ(window.configFormRuns, 0);

    window.messages.confirmAnswer = true;
    logic.maPortConfigurationClick();
    ASSERT_EQ(window.messages.shown.size(), 2u);
    EXPECT_EQ(window.messages.shown[1].kind, "confirm");
    EXPECT_EQ(window.messages.shown[1].text,
              "COM Port is open!\rDo you want to disconnect active connection?");
    EXPECT_EQ(window.configFormRuns, 1);
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(controller.Connected()) << "the driver knows its port was closed";
    EXPECT_EQ(window.statusConnection.text, "OFFLINE");
    EXPECT_EQ(window.lTemp.text, "--");

    logic.maPortConfigurationClick();  // closed: the form at once, no question
    EXPECT_EQ(window.configFormRuns, 2);
    EXPECT_EQ(window.messages.shown.size(), 2u);
}

TEST_F(CoreOnSimulator, CloseSavesTheFieldsAndLeavesTheControllerRunning) {
    clock.setSpeed(100);
    ASSERT_EQ(logic.ConnectToPort(sim.portPath()), std::nullopt);
    logic.bStartSingleClick();
    ASSERT_TRUE(waitUntil([&] { return sim.running(); }, 5000));
    window.singleSetPoint.setValue(55.0);
    window.holdTimes[2].setValue(7);

    logic.ApplicationClose({12, 34});
    EXPECT_FALSE(logic.workerRunning());
    EXPECT_FALSE(port.Active());
    EXPECT_TRUE(sim.running());
    const StartupSettings stored =
        loadStartupSettings(settingsDir.filePath("Settings.ini"), {800, 600}, {100, 100});
    EXPECT_EQ(stored.values.singleSetPoint, 55.0);
    EXPECT_EQ(stored.values.holdTimes[2], 7);
    EXPECT_EQ(stored.values.posLeft, 12);
    EXPECT_EQ(stored.values.posTop, 34);
}

TEST_F(CoreOnSimulator, RunGoesOnWhenItsLogCannotBeCreated) {
    openLink();
    readTemperature(21.0);
    logic.UpdateMainForm();  // a live reading to log
    QTemporaryDir logs;
    QFile blocker(logs.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct Case {
        QString folder;
        bool logged;
    };
    const Case cases[] = {{logs.filePath("runs"), true},
                          {logs.filePath("file/runs"), false}};  // under a file: impossible
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        window.messages.shown.clear();
        logic.csvExportSettings() = {true, 5, c.folder};
        logic.bStartSingleClick();
        EXPECT_TRUE(logic.state().SingleRunning);
        EXPECT_TRUE(window.timerCsv.on);
        EXPECT_EQ(logic.writer() != nullptr, c.logged);
        EXPECT_EQ(window.messages.shown.size(), c.logged ? 0u : 1u);
        logic.TimerCSVTimer();
        const QString path = logic.writer() ? logic.writer()->filePath() : QString();
        logic.bStopSingleClick();
        EXPECT_EQ(logic.writer() != nullptr, c.logged) << "kept while the run is stopping";
        stopAndConfirm();
        EXPECT_EQ(logic.writer(), nullptr);
        if (c.logged) {
            QFile log(path);
            ASSERT_TRUE(log.open(QIODevice::ReadOnly));
            EXPECT_EQ(log.readAll().count("\r\n"), 3) << "header, first row, timer row";
        }
    }
}

TEST_F(CoreOnSimulator, AStopPressedJustBeforeDisconnectStillGoesOut) {
    clock.setSpeed(4);  // the pauses leave the line time to carry the Stop
    openLink();
    logic.bStartSingleClick();
    logic.UpdateMainForm();
    ASSERT_TRUE(waitUntil([&] { return sim.running(); }, 2000));
    logic.bStopSingleClick();  // no update has sent it yet ...
    logic.Disconnect1Click();  // ... when the link is let go
    EXPECT_FALSE(controller.Connected());
    EXPECT_FALSE(sim.running()) << "the Stop asked for went out before the port closed";
    EXPECT_FALSE(logic.state().PendingStop);
}

// The worker's update has sent Run and keeps its pause; the operator presses Stop and then
// Disconnect in that pause. Both handlers run at once from the event loop (not inside the update),
// the update's next step sends the Stop, and nothing goes out after the port has closed.
TEST_F(CoreOnSimulator, StopAndDisconnectDuringTheWorkersPauseSendTheStopOnce) {
    openLink();
    clock.setSpeed(1);  // the pause after Run lasts 320 ms of real time
    logic.StartThread();
    logic.bStartSingleClick();
    ASSERT_TRUE(waitUntil([&] { return sim.running(); }, 5000));
    const std::size_t runAt = sim.receivedCommands().size();
    logic.bStopSingleClick();
    logic.Disconnect1Click();
    EXPECT_FALSE(logic.workerRunning());
    EXPECT_FALSE(controller.Connected());
    EXPECT_FALSE(sim.running());
    const auto all = sim.receivedCommands();
    const std::vector<std::string> afterRun(all.begin() + static_cast<long>(runAt), all.end());
    EXPECT_EQ(std::count(afterRun.begin(), afterRun.end(), std::string(commands::kStop)), 1)
        << "sent by the update's step, not again when the link is let go";
    EXPECT_FALSE(logic.state().PendingStop);
    const std::size_t afterDisconnect = sim.requestCount();
    test::serveEventsFor(400);
    EXPECT_EQ(sim.requestCount(), afterDisconnect);
}

TEST_F(CoreOnSimulator, AStoredThresholdThatWouldDisarmTheCutOffIsReplacedAndReported) {
    QFile settings(settingsDir.filePath("Settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Temperatures]\r\nEmergencyTemp=1e300\r\n");
    settings.close();
    logic.FormShow({1920, 1080}, {1158, 652});
    EXPECT_EQ(logic.state().EmergencyThreshold, 280.0);
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].kind, "warning");
    EXPECT_TRUE(window.messages.shown[0].text.contains("1e300"))
        << window.messages.shown[0].text.toStdString();
    EXPECT_TRUE(window.messages.shown[0].text.contains("280"));
}

// With the box ticked, the single run's set point is the target line: flat from the start to
// now, a step where the operator sets another; a refused or repeated Set leaves it as it is, and
// the line ends where the run ended.
TEST_F(CoreOnSimulator, SingleSetPointIsTheTargetLineAndStepsWhenSetMidRun) {
    openLink();
    window.setProgramme({{80.0, 10}});
    window.targetCurve.setChecked(true);
    ASSERT_EQ(window.target.points, (std::vector<QPointF>{{0, 0}, {0, 80}, {10, 80}}));

    window.singleSetPoint.setValue(40.0);
    logic.bStartSingleClick();
    EXPECT_EQ(window.target.points, (std::vector<QPointF>{{0, 40}, {0, 40}}))
        << "the programme's curve gives way to the set point at Start";

    clock.advance(5 * 60'000);
    logic.timerSingleTimer();
    EXPECT_EQ(window.target.points, (std::vector<QPointF>{{0, 40}, {5, 40}}));

    window.singleSetPoint.setValue(55.0);
    logic.bSetSingleSPClick();
    const std::vector<QPointF> stepped{{0, 40}, {5, 40}, {5, 55}, {5, 55}};
    EXPECT_EQ(window.target.points, stepped);
    EXPECT_EQ(window.statusRun.text, "Single set point: running at 55.0 °C")
        << "the status line names the set point in force, not Start's";
    logic.bSetSingleSPClick();
    window.singleSetPoint.setValue(300.0);  // above the emergency threshold: refused
    logic.bSetSingleSPClick();
    EXPECT_EQ(window.target.points, stepped);

    ASSERT_FALSE(logic.linkHealth().live()) << "no reading has come in";
    clock.advance(60'000);
    logic.timerSingleTimer();
    EXPECT_EQ(window.target.points, (std::vector<QPointF>{{0, 40}, {5, 40}, {5, 55}, {6, 55}}))
        << "the line goes on without readings";
    EXPECT_TRUE(window.measured.points.empty());

    logic.bStopSingleClick();
    stopAndConfirm();
    const std::vector<QPointF> ended = window.target.points;
    ASSERT_EQ(ended.size(), 4u);
    EXPECT_EQ(ended.back().y(), 55.0);
    EXPECT_GT(ended.back().x(), 6.0) << "drawn up to the end of the run";
    EXPECT_EQ(logic.run().singleSetPoints(), (std::vector<TargetCurvePoint>{{0, 40}, {5, 55}}));
}

// The box may be ticked during a single run whatever the programme's fields hold (their first hold
// time is not needed), and unticking it takes the line away.
TEST_F(CoreOnSimulator, TickingTheBoxDuringASingleRunDrawsItsSetPointLine) {
    openLink();
    window.singleSetPoint.setValue(30.0);
    logic.bStartSingleClick();
    clock.advance(90'000);
    window.targetCurve.setChecked(true);
    EXPECT_TRUE(window.targetCurve.state);
    EXPECT_TRUE(window.messages.shown.empty());
    EXPECT_EQ(window.target.points, (std::vector<QPointF>{{0, 30}, {1.5, 30}}));
    window.targetCurve.setChecked(false);
    EXPECT_TRUE(window.target.points.empty());
    clock.advance(60'000);
    logic.timerSingleTimer();
    EXPECT_TRUE(window.target.points.empty()) << "the timer draws it only while the box is ticked";
}

TEST_F(CoreOnSimulator, ProgrammeFieldChecksAndTheTargetCurveBox) {
    window.temperatures[3].setValue(600.0);
    logic.ValidateTemperature(3);
    EXPECT_EQ(window.temperatures[3].value(), 0.0);
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, "Temperature range:   -70 - 500°C");

    window.target.append(1, 1);
    window.targetCurve.setChecked(true);  // t1 = 0: refused
    EXPECT_FALSE(window.targetCurve.state);
    EXPECT_TRUE(window.target.points.empty());
    ASSERT_EQ(window.messages.shown.size(), 2u);
    EXPECT_EQ(window.messages.shown[1].text,
              "Could not create the temperature curve.\rHold time is required for at least one "
              "set point");
}

}  // namespace
}  // namespace lumas
