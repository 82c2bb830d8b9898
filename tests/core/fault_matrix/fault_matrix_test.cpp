// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The core with its monitoring worker against a simulated controller that misbehaves: each fault
// of the line and of the controller, while idle, during a single set-point run and during a
// programme. Each row says what the operator sees, what goes to the controller, what the chart
// and the CSV log hold, and how soon readings are back. Time is the fake clock's, running ten
// times faster than real time, so the figures are exact to one worker pass.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/main_form_logic.h"
#include "fake_window.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "support/fake_clock.h"
#include "support/simulator_link.h"

namespace lumas {
namespace {

using test::FakeClock;
using test::FakeWindow;

constexpr int kSpeed = 10;  // fake milliseconds per real millisecond
constexpr double kChamber = 31.5;
const QDateTime kStart(QDate(2026, 12, 10), QTime(8, 0, 0));

enum class Mode { Idle, Single, Programme };
enum class Fault {
    LateBcc,          // every reply's BCC 5 ms after the rest
    OneErrorReply,    // one reply with end code 13 (BCC error at the controller)
    OneRefusedWrite,  // the controller lost power for a moment: writing is off, writes get 2203
    Silence,          // no reply at all while the fault lasts
    RefusedStop,      // Stop answered with 2203 and not carried out while the fault lasts
    Unplugged,        // the adapter pulled out, then back under another device name
};

const char* modeName(Mode mode) {
    return mode == Mode::Idle ? "idle" : mode == Mode::Single ? "single" : "programme";
}

// What one row of the matrix expects.
struct Row {
    Fault fault;
    Mode mode;
    const char* faultName;
    Tick faultMs;              // how long the fault lasts
    QString shownDuringFault;  // connection panel text while the fault lasts ("" : unchanged)
    bool stopNotConfirmed;     // the operator is told the Stop was not confirmed
    Tick maxRecoveryMs;        // from the end of the fault to a fresh reading on the screen
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.faultName << " / " << modeName(row.mode);
}

// Records the core's events with the fake time they came at.
class EventLog final : public LinkObserver, public RunObserver {
  public:
    explicit EventLog(const FakeClock& clock) : clock_(clock) {}
    void linkUp() override { ups.push_back(clock_.now()); }
    void linkLost(Loss why) override { losses.emplace_back(clock_.now(), why); }
    void portReopened(const QString&) override { ++reopened; }
    void stopConfirmed() override { ++confirmed; }
    void stopNotConfirmed() override { ++notConfirmed; }

    std::vector<Tick> ups;
    std::vector<std::pair<Tick, Loss>> losses;
    int reopened = 0;
    int confirmed = 0;
    int notConfirmed = 0;

  private:
    const FakeClock& clock_;
};

// The link to a simulated controller behind a stable device name, the core with its worker on
// the fake clock, and the faults switched on and off.
class LinkUnderFault : public ::testing::Test {
  protected:
    LinkUnderFault()
        : linkPath(linkDir.filePath("usb-serial-adapter")),
          sim(options(linkPath)),
          clock(0, kSpeed),
          logic(controller, port, window.ports, clock, settingsDir.filePath("Settings.ini"),
                QLocale(QLocale::English, QLocale::UnitedStates)),
          events(clock) {
        window.targetCurve.onChange = [this] { logic.chkTargetTempClick(); };
        logic.currentDateTime = [this] { return kStart.addMSecs(clock.now()); };
        logic.addObserver(&events);
        logic.addRunObserver(&events);
        test::attachToSimulator(sim, port, controller);
    }

    ~LinkUnderFault() override {
        logic.removeRunObserver(&events);
        logic.removeObserver(&events);
    }

    static sim::SimulatedControllerOptions options(const QString& link) {
        sim::SimulatedControllerOptions chamber = test::frozenChamber();
        chamber.stableLinkPath = link.toStdString();
        return chamber;
    }

    // Serves the worker for `ms` of fake time, firing the chart and log timers once a second.
    // The worker's waits move the clock.
    void runFor(Tick ms) {
        const Tick until = clock.now() + ms;
        while (static_cast<std::int32_t>(until - clock.now()) > 0) {
            test::serveEventsFor(2);
            if (ticksSince(lastTimerTick, clock.now()) >= 1000) {
                lastTimerTick = clock.now();
                if (window.timerMulti.on) {
                    logic.timerMultiTimer();
                }
                if (window.timerSingle.on) {
                    logic.timerSingleTimer();
                }
                if (window.timerCsv.on) {
                    logic.TimerCSVTimer();
                }
            }
        }
    }

    // Serves until `done` holds or `limitMs` of fake time passed; returns the fake time taken.
    std::optional<Tick> runUntil(const std::function<bool()>& done, Tick limitMs) {
        const Tick start = clock.now();
        while (ticksSince(start, clock.now()) < limitMs) {
            if (done()) {
                return ticksSince(start, clock.now());
            }
            runFor(50);
        }
        return std::nullopt;
    }

    void startRun(Mode mode) {
        logic.csvExportSettings() = {true, 1, logDir.path()};
        window.timerCsv.interval = std::chrono::milliseconds(1000);
        if (mode == Mode::Single) {
            window.singleSetPoint.setValue(40.0);
            logic.bSetSingleSPClick();
            logic.bStartSingleClick();
        } else if (mode == Mode::Programme) {
            window.setProgramme({{40.0, 60}, {45.0, 60}});
            logic.bStartMultiClick();
        }
    }

    void stopRun(Mode mode) {
        if (mode == Mode::Single) {
            logic.bStopSingleClick();
        } else if (mode == Mode::Programme) {
            logic.bStopMultiClick();
        }
    }

    void startFault(Fault fault) {
        switch (fault) {
            case Fault::LateBcc:
                sim.setLateBcc(std::chrono::milliseconds(5));
                break;
            case Fault::OneErrorReply:
                sim.failRequest(1, "13");
                break;
            case Fault::OneRefusedWrite:
                sim.setCommunicationsWriting(false);
                break;
            case Fault::Silence:
                sim.setNoReply(true);
                break;
            case Fault::RefusedStop:
                sim.setRefuseStop(true);
                break;
            case Fault::Unplugged:
                sim.vanish();
                break;
        }
    }

    void endFault(Fault fault) {
        if (fault == Fault::Unplugged) {
            sim.reappear();
        }
        sim.clearFaults();
    }

    // The minutes of the chart's measured points and the times of the log's rows, as fake ticks.
    std::vector<Tick> chartTicks() const {
        std::vector<Tick> ticks;
        for (const QPointF& point : window.measured.points) {
            ticks.push_back(runStartTick + static_cast<Tick>(point.x() * 60000.0 + 0.5));
        }
        return ticks;
    }

    std::vector<Tick> logTicks() const {
        std::vector<Tick> ticks;
        for (const QString& name : QDir(logDir.path()).entryList({"*.csv"}, QDir::Files)) {
            QFile file(QDir(logDir.path()).filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                continue;
            }
            const QStringList lines =
                QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
            for (const QString& line : lines.mid(1)) {
                if (line.isEmpty()) {
                    continue;
                }
                const QString stamp = line.section(u'"', 1, 1);
                const QDateTime at = QLocale(QLocale::English, QLocale::UnitedStates)
                                         .toDateTime(stamp, QStringLiteral("M/d/yyyy h:mm:ss AP"));
                ticks.push_back(static_cast<Tick>(kStart.msecsTo(at)));
            }
        }
        return ticks;
    }

    QTemporaryDir linkDir;
    QString linkPath;
    QTemporaryDir settingsDir;
    QTemporaryDir logDir;
    sim::SimulatedController sim;
    TComPort port;
    TOmronCom controller;
    FakeClock clock;
    FakeWindow window;
    MainFormLogic logic;  // declared after the link: it stops its worker before the link goes
    EventLog events;
    Tick lastTimerTick = 0;
    Tick runStartTick = 0;
};

class FaultMatrix : public LinkUnderFault, public ::testing::WithParamInterface<Row> {};

TEST_P(FaultMatrix, OperatorSeesItControllerGetsItAndReadingsComeBack) {
    const Row& row = GetParam();
    sim.setTemperature(kChamber);
    ASSERT_EQ(logic.ConnectToPort(linkPath.toStdString()), std::nullopt);
    ASSERT_TRUE(runUntil([&] { return !events.ups.empty(); }, 5000)) << "first reading";
    EXPECT_EQ(window.statusConnection.text, "Connected");
    EXPECT_EQ(window.lTemp.text, "31.5°C");

    runStartTick = clock.now();
    startRun(row.mode);
    runFor(3000);
    const std::size_t messagesBefore = window.messages.shown.size();
    const std::size_t commandsBefore = sim.receivedCommands().size();

    // The fault, and what is on the screen while it lasts.
    const Tick faultStart = clock.now();
    startFault(row.fault);
    if (row.fault == Fault::RefusedStop) {
        stopRun(row.mode);
    }
    if (row.fault == Fault::OneRefusedWrite && row.mode != Mode::Idle) {
        window.singleSetPoint.setValue(41.0);  // a write the controller refuses
        logic.bSetSingleSPClick();
    }
    QStringList shownDuring;
    const qsizetype readoutsBefore = window.lTemp.history.size();
    while (ticksSince(faultStart, clock.now()) < row.faultMs) {
        runFor(250);
        shownDuring << window.statusConnection.text;
        if (window.statusConnection.text == row.shownDuringFault) {
            EXPECT_TRUE(window.statusConnection.alert) << "shown in the warning colour";
        }
    }
    if (!row.shownDuringFault.isEmpty()) {
        EXPECT_TRUE(shownDuring.contains(row.shownDuringFault))
            << shownDuring.join(", ").toStdString();
        EXPECT_EQ(window.lTemp.text, "--") << "no frozen reading shown as live";
        EXPECT_EQ(window.lSetPoint.text, "--");
        EXPECT_FALSE(window.lTemp.history.mid(readoutsBefore).isEmpty());
    } else {
        EXPECT_FALSE(shownDuring.contains("No reply") || shownDuring.contains("Port lost"))
            << shownDuring.join(", ").toStdString();
    }

    // The end of the fault, and how soon a fresh reading is on the screen.
    const std::size_t upsBefore = events.ups.size();
    endFault(row.fault);
    const bool lost = !events.losses.empty();
    const std::optional<Tick> recovery = runUntil(
        [&] {
            return (!lost || events.ups.size() > upsBefore) &&
                   window.statusConnection.text == "Connected" && window.lTemp.text == "31.5°C";
        },
        30000);
    ASSERT_TRUE(recovery.has_value()) << "readings never came back";
    EXPECT_LE(*recovery, row.maxRecoveryMs);
    RecordProperty("recovery_ms", static_cast<int>(*recovery));
    std::cout << "[figure] " << row.faultName << " / " << modeName(row.mode) << ": fresh reading "
              << *recovery << " ms after the fault ended";
    if (lost) {
        std::cout << ", loss shown " << ticksSince(faultStart, events.losses.front().first)
                  << " ms after it began";
    }
    std::cout << std::endl;

    // At most one message box per fault.
    std::vector<QString> texts;
    for (std::size_t i = messagesBefore; i < window.messages.shown.size(); ++i) {
        texts.push_back(window.messages.shown[i].text);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::adjacent_find(texts.begin(), texts.end()), texts.end()) << "the same box twice";

    // What went to the controller.
    const auto received = sim.receivedCommands();
    const std::vector<std::string> sent(received.begin() + static_cast<long>(commandsBefore),
                                        received.end());
    const auto stops = std::count(sent.begin(), sent.end(), commands::kStop);
    if (row.fault == Fault::RefusedStop) {
        EXPECT_GE(stops, 2) << "the refused Stop is sent again";
        EXPECT_EQ(events.notConfirmed, row.stopNotConfirmed ? 1 : 0);
        ASSERT_TRUE(runUntil([&] { return !logic.stopConfirmation().pending(); }, 20000))
            << "confirmed once the controller carries it out";
        EXPECT_FALSE(sim.running());
        EXPECT_GE(events.confirmed, 1);
    } else {
        EXPECT_EQ(stops, 0) << "no fault stops a run by itself";
        EXPECT_EQ(sim.running(), row.mode != Mode::Idle) << "the run goes on";
        EXPECT_EQ(logic.state().ControlActive, row.mode != Mode::Idle);
    }
    // The fault was there, and was seen for what it is.
    const TOmronCom::ReplyFailures failures = controller.Failures();
    switch (row.fault) {
        case Fault::LateBcc:
            EXPECT_EQ(failures.wrongBcc + failures.stale + failures.badData, 0U);
            break;
        case Fault::OneErrorReply:
            EXPECT_EQ(failures.endCode, 1U);
            break;
        case Fault::OneRefusedWrite:
        case Fault::RefusedStop:
            EXPECT_GE(failures.responseCode, row.mode == Mode::Idle ? 0U : 1U);
            break;
        case Fault::Silence:
            EXPECT_GE(failures.noReply, 1U);
            break;
        case Fault::Unplugged:
            EXPECT_GE(events.reopened, 1);
            break;
    }
    if (row.fault == Fault::OneRefusedWrite && row.mode == Mode::Single) {
        EXPECT_TRUE(runUntil([&] { return sim.setPoint() == 41.0; }, 10000))
            << "writing is switched on again and the refused write is made";
    }
    if (row.fault == Fault::OneRefusedWrite && row.mode == Mode::Programme) {
        // The write is made once writing is on again; the programme then takes its step's set
        // point back.
        const std::string write41 = std::string(commands::kWriteSetPoint) + setPointValueText(41.0);
        EXPECT_TRUE(runUntil(
            [&] {
                const auto all = sim.receivedCommands();
                return std::count(all.begin(), all.end(), write41) >= 2;
            },
            10000))
            << "writing is switched on again and the refused write is made";
        EXPECT_TRUE(runUntil([&] { return sim.setPoint() == 40.0; }, 10000));
    }

    // The chart and the log hold measured values only: nothing inside a loss of the readings.
    if (row.mode != Mode::Idle && row.fault != Fault::RefusedStop) {
        const std::vector<Tick> chart = chartTicks();
        const std::vector<Tick> log = logTicks();
        EXPECT_FALSE(chart.empty());
        EXPECT_FALSE(log.empty());
        for (const auto& [lostAt, why] : events.losses) {
            const auto back = std::find_if(events.ups.begin(), events.ups.end(),
                                           [&](Tick up) { return up > lostAt; });
            ASSERT_NE(back, events.ups.end());
            for (const Tick t : chart) {
                EXPECT_FALSE(t > lostAt + 1000 && t + 1000 < *back) << "chart point at " << t;
            }
            for (const Tick t : log) {
                EXPECT_FALSE(t > lostAt + 1000 && t + 1000 < *back) << "log row at " << t;
            }
        }
        EXPECT_EQ(window.measured.gapsAfter.empty(), events.losses.empty())
            << "a loss of the readings is a gap in the curve";
        for (const QPointF& point : window.measured.points) {
            EXPECT_EQ(point.y(), kChamber) << "no made-up value at " << point.x();
        }
    }
    stopRun(row.mode);
    runFor(1000);
}

// Recovery bounds: a fault that loses no reply costs nothing; a lost reply costs up to the 8 s
// reply watchdog plus one poll cycle; a reopened device one reopen period plus the connect check.
const Tick kNoLoss = 2000;
const Tick kAfterSilence = 8000 + 2500;
const Tick kAfterUnplug = 2000 + 3000;

std::vector<Row> rows() {
    std::vector<Row> all;
    for (const Mode mode : {Mode::Idle, Mode::Single, Mode::Programme}) {
        all.push_back({Fault::LateBcc, mode, "late BCC", 6000, "", false, kNoLoss});
        all.push_back({Fault::OneErrorReply, mode, "one error reply", 6000, "", false, kNoLoss});
        all.push_back({Fault::Silence, mode, "silence", 6000, "No reply", false, kAfterSilence});
        all.push_back(
            {Fault::Unplugged, mode, "unplugged", 6000, "Port lost", false, kAfterUnplug});
        if (mode != Mode::Idle) {
            all.push_back(
                {Fault::OneRefusedWrite, mode, "refused write", 6000, "", false, kNoLoss});
            // Three sends four seconds apart before the operator is told.
            all.push_back({Fault::RefusedStop, mode, "refused stop", 14000, "", true, kNoLoss});
        }
    }
    return all;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = std::string(info.param.faultName) + "_" + modeName(info.param.mode);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(rows()), rowName);

// The emergency cut-off under each fault: the chamber turns hot while a single set-point run is
// active, and the Stop must be confirmed by the controller in the end.
struct EmergencyRow {
    std::optional<Fault> fault;
    const char* name;
    Tick faultMs;
    Tick maxConfirmMs;  // from the hot reading on the controller to the confirmed Stop
};

void PrintTo(const EmergencyRow& row, std::ostream* out) {
    *out << row.name;
}

class EmergencyMatrix : public LinkUnderFault,
                        public ::testing::WithParamInterface<EmergencyRow> {};

// Without a fault: the next temperature read (a poll cycle, 1.5 s), the cut-off's update (its
// two pauses), the Stops in the next update and a run-state read after them: under 4.5 s.
std::vector<EmergencyRow> emergencyRows() {
    return {
        {std::nullopt, "no fault", 0, 4500},
        {Fault::LateBcc, "late BCC", 6000, 4500},
        // The failed read is checked by the echo test: one poll cycle more.
        {Fault::OneErrorReply, "one error reply", 6000, 6000},
        // The Stop is refused until the fault ends, then goes through with its next send (every
        // 4 s) and is confirmed by the next run-state read.
        {Fault::RefusedStop, "refused stop", 6000, 6000 + 4000 + 3000},
        // Hot while silent: the cut-off acts on the first reading after the silence, which the
        // 8 s reply watchdog and the link check bring back.
        {Fault::Silence, "silence", 6000, 6000 + 8000 + 4500},
        // Hot while unplugged: the device is looked for every 2 s, then as without a fault.
        {Fault::Unplugged, "unplugged", 6000, 6000 + 2000 + 4500},
    };
}

TEST_P(EmergencyMatrix, HotReadingEndsInAConfirmedStop) {
    const EmergencyRow& row = GetParam();
    sim.setTemperature(kChamber);
    ASSERT_EQ(logic.ConnectToPort(linkPath.toStdString()), std::nullopt);
    ASSERT_TRUE(runUntil([&] { return !events.ups.empty(); }, 5000));
    logic.state().EmergencyThreshold = 280.0;
    runStartTick = clock.now();
    startRun(Mode::Single);
    runFor(3000);
    ASSERT_TRUE(sim.running());

    const Tick hotAt = clock.now();
    if (row.fault) {
        startFault(*row.fault);
    }
    sim.setTemperature(300.0);
    bool faultOver = !row.fault;
    const std::optional<Tick> confirmed = runUntil(
        [&] {
            if (!faultOver && ticksSince(hotAt, clock.now()) >= row.faultMs) {
                endFault(*row.fault);
                faultOver = true;
            }
            return events.confirmed > 0;
        },
        40000);
    ASSERT_TRUE(confirmed.has_value()) << "the Stop was never confirmed";
    std::cout << "[figure] emergency, " << row.name << ": hot reading to confirmed Stop "
              << *confirmed << " ms" << std::endl;
    EXPECT_LE(*confirmed, row.maxConfirmMs);
    EXPECT_FALSE(sim.running());
    EXPECT_TRUE(window.statusWarning.text.startsWith(
        "Warning: The emergency temperature  was reached and the controller has been stopped!"))
        << window.statusWarning.text.toStdString();
    if (row.fault == Fault::Silence || row.fault == Fault::Unplugged) {
        const auto blind = std::count_if(
            window.messages.shown.begin(), window.messages.shown.end(),
            [](const auto& shown) { return shown.text.contains("cut-off cannot act"); });
        EXPECT_EQ(blind, 1) << "told once that the cut-off cannot act";
    }

    // The reading that fired the cut-off is the log's last row.
    QStringList rows;
    for (const QString& name : QDir(logDir.path()).entryList({"*.csv"}, QDir::Files)) {
        QFile file(QDir(logDir.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        rows = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_TRUE(rows.last().endsWith(QStringLiteral("\"300\""))) << rows.last().toStdString();
}

std::string emergencyRowName(const ::testing::TestParamInfo<EmergencyRow>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Faults, EmergencyMatrix, ::testing::ValuesIn(emergencyRows()),
                         emergencyRowName);

}  // namespace
}  // namespace lumas
