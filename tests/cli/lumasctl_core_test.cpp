// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl watch and program: the application core run from the command line, against the
// simulated controller.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/sqlite_run_archive.h"
#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "tests/cli/lumasctl_process.h"

namespace {

using lumas::test::CommandRun;
using lumas::test::lumasctl;
using lumas::test::LumasctlProcess;
namespace commands = lumas::commands;

lumas::sim::SimulatedControllerOptions steadyChamber(double celsius) {
    lumas::sim::SimulatedControllerOptions options;
    options.ambient = celsius;
    options.timeScale = 0.0;
    return options;
}

std::string setPointWrite(double celsius) {
    return std::string(commands::kWriteSetPoint) + lumas::setPointValueText(celsius);
}

// Where `command` was first received, or -1.
long firstIndexOf(const std::vector<std::string>& received, const std::string& command) {
    const auto found = std::find(received.begin(), received.end(), command);
    return found == received.end() ? -1 : static_cast<long>(found - received.begin());
}

// A settings folder for XDG_CONFIG_HOME, with an emergency threshold when one is given.
class ConfigHome {
  public:
    explicit ConfigHome(std::optional<double> emergencyTemp = std::nullopt) {
        if (emergencyTemp) {
            QDir(dir_.path()).mkpath(QStringLiteral("Lumas"));
            QFile settings(dir_.filePath(QStringLiteral("Lumas/Settings.ini")));
            EXPECT_TRUE(settings.open(QIODevice::WriteOnly));
            settings.write("[Temperatures]\r\nEmergencyTemp=" + QByteArray::number(*emergencyTemp) +
                           "\r\n");
        }
    }
    QString path() const { return dir_.path(); }
    QString folder(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
};

TEST(LumasctlProgram, RunsEachStepSendsItsSetPointAndLogsTheRun) {
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    const ConfigHome config;
    const QString logs = config.folder(QStringLiteral("logs"));
    const QString archive = config.folder(QStringLiteral("runs.sqlite"));

    // Two one-minute steps at 30 times real time: four seconds. The line keeps real time, so a
    // step switch comes with the first update after its time: within about a second of real time,
    // half a programme minute here.
    const CommandRun run = lumasctl(
        {"program", QString::fromStdString(sim.portPath()), "--step", "30,1", "--step=40.5,1",
         "--csv", logs, "--csv-interval", "2", "--time-scale", "30", "--archive", archive},
        config.path());

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    const QStringList stepLines = lines.filter(QRegularExpression(QStringLiteral("^Step ")));
    ASSERT_EQ(stepLines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(stepLines[0].startsWith(
        QString::fromUtf8("Step 1 of 2: 30.0°C for 1 min; 0 min elapsed, 2 min left")))
        << stepLines[0].toStdString();
    const QRegularExpressionMatch second =
        QRegularExpression(
            QString::fromUtf8("^Step 2 of 2: 40\\.5°C for 1 min; ([0-9.]+) min elapsed, "
                              "([0-9.]+) min left$"))
            .match(stepLines[1]);
    ASSERT_TRUE(second.hasMatch()) << stepLines[1].toStdString();
    EXPECT_GE(second.captured(1).toDouble(), 1.0);
    EXPECT_LE(second.captured(1).toDouble(), 1.5);
    EXPECT_NEAR(second.captured(1).toDouble() + second.captured(2).toDouble(), 2.0, 0.11);
    EXPECT_TRUE(lines.last().startsWith("Programme finished after 2 min")) << run.out.toStdString();
    EXPECT_TRUE(lines.contains("Recorded as run 1 in " + archive + ".")) << run.out.toStdString();
    EXPECT_LT(run.seconds, 12.0);

    // The run's record: ended as finished, with its readings, sealed.
    {
        lumas::SqliteRunArchive::Opened opened =
            lumas::SqliteRunArchive::open(archive, lumas::SqliteRunArchive::Access::ReadOnly);
        ASSERT_TRUE(opened.archive);
        const std::optional<lumas::ArchivedRun> recorded = opened.archive->run(1);
        ASSERT_TRUE(recorded.has_value());
        EXPECT_EQ(recorded->endReason, "finished");
        ASSERT_TRUE(recorded->programme.has_value());
        EXPECT_EQ(recorded->programme->stepCount(), 2);
        EXPECT_GE(recorded->readings, 2);
        EXPECT_EQ(recorded->minimum, 23.4);
        EXPECT_EQ(opened.archive->verify(1), true);
    }

    // T1 and Run at the start, T2 at the step switch, Stop at the end, in this order.
    const std::vector<std::string> received = sim.receivedCommands();
    const long firstSetPoint = firstIndexOf(received, setPointWrite(30.0));
    const long run1 = firstIndexOf(received, commands::kRun);
    const long secondSetPoint = firstIndexOf(received, setPointWrite(40.5));
    const long stop = firstIndexOf(received, commands::kStop);
    EXPECT_GE(firstSetPoint, 0);
    EXPECT_GT(run1, firstSetPoint);
    EXPECT_GT(secondSetPoint, run1);
    EXPECT_GT(stop, secondSetPoint);
    EXPECT_FALSE(sim.running());
    EXPECT_EQ(sim.setPoint(), 40.5);

    // The CSV log: byte order mark, header, then a row every two seconds of programme time.
    const QStringList files = QDir(logs).entryList({QStringLiteral("Test_*.csv")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile log(QDir(logs).filePath(files[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    EXPECT_TRUE(content.startsWith("\xEF\xBB\xBF[Date Time], [Temperature]\r\n"));
    const QStringList rows =
        QString::fromUtf8(content).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(1);
    EXPECT_GE(rows.size(), 30) << content.toStdString();
    for (const QString& row : rows) {
        EXPECT_TRUE(row.startsWith('"') && row.endsWith(QStringLiteral("\", \"23.4\"")))
            << row.toStdString();
    }
}

// A programme that runs to its end while its log or its record cannot be kept (here: their folder
// would have to be made inside a file) ends with a status of its own, having said why.
TEST(LumasctlProgram, ARunWhoseLogOrRecordCannotBeKeptEndsWithStatusSeven) {
    const ConfigHome config;
    QFile notAFolder(config.folder(QStringLiteral("file")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QString inside = config.folder(QStringLiteral("file/inside"));
    struct Case {
        const char* name;
        QStringList options;
        const char* told;
    };
    const Case cases[] = {
        {"log", {"--csv", inside, "--no-archive"}, "The temperature log could not be created"},
        {"record", {"--archive", inside + "/runs.sqlite"}, "The folder of the run archive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lumas::sim::SimulatedController sim(steadyChamber(23.4));
        const CommandRun run =
            lumasctl(QStringList{"program", QString::fromStdString(sim.portPath()), "--step",
                                 "30,1", "--time-scale", "60"} +
                         c.options,
                     config.path());
        EXPECT_EQ(run.exitCode, 7) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.told))) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("Programme finished after 1 min")) << run.out.toStdString();
        EXPECT_FALSE(sim.running());
    }
}

TEST(LumasctlProgram, EmergencyCutOffStopsTheRunAndTheController) {
    lumas::sim::SimulatedController sim(steadyChamber(60.0));
    const ConfigHome config(50.0);

    const CommandRun run = lumasctl({"program", QString::fromStdString(sim.portPath()), "--step",
                                     "45,10", "--time-scale", "60"},
                                    config.path());

    EXPECT_EQ(run.exitCode, 4) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QString::fromUtf8(
        "Emergency cut-off: 60.0°C is above the threshold of 50 °C; the controller is being "
        "stopped.")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Programme stopped by the emergency cut-off at step 1 of 1"))
        << run.out.toStdString();
    EXPECT_TRUE(
        run.out.contains("Warning: The emergency temperature  was reached and the "
                         "controller has been stopped!  ["))
        << run.out.toStdString();
    EXPECT_FALSE(sim.running());
    const std::vector<std::string> received = sim.receivedCommands();
    EXPECT_GT(firstIndexOf(received, commands::kStop), firstIndexOf(received, commands::kRun));
    EXPECT_LT(run.seconds, 8.0);
}

// Every signal that would end the command stops the controller first, and the exit status names
// it. One programme per signal, all at once.
TEST(LumasctlProgram, EveryEndingSignalStopsTheProgrammeAndTheController) {
    const std::vector<int> endingSignals = {SIGHUP,  SIGQUIT, SIGINT, SIGTERM,
                                            SIGPIPE, SIGUSR1, SIGUSR2};
    const ConfigHome config;
    std::vector<std::unique_ptr<lumas::sim::SimulatedController>> sims;
    std::vector<std::unique_ptr<LumasctlProcess>> processes;
    for (std::size_t k = 0; k < endingSignals.size(); ++k) {
        sims.push_back(std::make_unique<lumas::sim::SimulatedController>(steadyChamber(23.4)));
        processes.push_back(std::make_unique<LumasctlProcess>(
            QStringList{"program", QString::fromStdString(sims[k]->portPath()), "--step", "30,60",
                        "--time-scale", "10"},
            config.path()));
    }
    for (std::size_t k = 0; k < endingSignals.size(); ++k) {
        ASSERT_TRUE(processes[k]->waitForOutput(QStringLiteral("Step 1 of 1"), 15000));
        ASSERT_TRUE(lumas::test::waitUntil([&] { return sims[k]->running(); }, 5000));
        processes[k]->signal(endingSignals[k]);
    }
    for (std::size_t k = 0; k < endingSignals.size(); ++k) {
        SCOPED_TRACE(endingSignals[k]);
        const CommandRun run = processes[k]->finish(20000);
        EXPECT_EQ(run.exitCode, 128 + endingSignals[k]) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("Programme stopped by")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("the controller confirmed the Stop")) << run.out.toStdString();
        EXPECT_FALSE(sims[k]->running());
        const std::vector<std::string> received = sims[k]->receivedCommands();
        EXPECT_GT(firstIndexOf(received, commands::kStop), firstIndexOf(received, commands::kRun));
    }
}

// A programme that waits for its time sleeps between the passes: a timer of no interval (a CSV
// timer started without a log) once made it spin a whole core.
TEST(LumasctlProgram, WaitingForTheProgrammesTimeLeavesTheProcessorAlone) {
    const ConfigHome config;
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    LumasctlProcess process(
        {"program", QString::fromStdString(sim.portPath()), "--step", "30,60", "--no-archive"},
        config.path());
    ASSERT_TRUE(process.waitForOutput(QStringLiteral("Step 1 of 1"), 15000));
    const double before = process.processorSeconds();
    lumas::test::waitUntil([] { return false; }, 3000);
    const double used = process.processorSeconds() - before;
    EXPECT_GE(before, 0.0);
    EXPECT_LT(used, 0.75) << "seconds of processor time in 3 s of waiting";
    process.signal(SIGTERM);
    process.finish(20000);
}

TEST(LumasctlWatch, PrintsEachChangeOfTheReadoutsAndLeavesTheControllerAlone) {
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        lumas::sim::SimulatedController sim(steadyChamber(23.4));
        sim.setSetPoint(25.0);
        sim.setRunning(true);
        LumasctlProcess process(
            {"watch", QString::fromStdString(sim.portPath()), "--time-scale", "10"});
        ASSERT_TRUE(
            process.waitForOutput(QString::fromUtf8("23.4°C  set point 25.0°C  Running\n"), 8000));
        // Another set point on the controller's own panel: one new line.
        sim.setSetPoint(31.5);
        ASSERT_TRUE(
            process.waitForOutput(QString::fromUtf8("23.4°C  set point 31.5°C  Running\n"), 4000));
        process.signal(signalNumber);
        const CommandRun run = process.finish();

        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_LT(run.seconds, 8.0);
        const QStringList readouts = run.out.split('\n', Qt::SkipEmptyParts)
                                         .filter(QRegularExpression(QStringLiteral("°C  set")));
        EXPECT_EQ(readouts.size(), 2) << run.out.toStdString();
        // Watching changes nothing: the controller runs on at the set point it has.
        EXPECT_TRUE(sim.running());
        EXPECT_EQ(sim.setPoint(), 31.5);
        for (const std::string& command : sim.receivedCommands()) {
            EXPECT_NE(command, commands::kStop);
            EXPECT_NE(command, commands::kRun);
            EXPECT_EQ(command.rfind(commands::kWriteSetPoint, 0), std::string::npos) << command;
        }
    }
}

TEST(LumasctlWatchAndProgram, GoOnWhenTheDeviceGoesAwayAndComesBack) {
    struct Case {
        QStringList options;
        QString shownOnceRunning;
        int exitCode;  // after Ctrl-C
    };
    const std::vector<Case> cases = {
        {{"watch", "--time-scale", "10"}, QString::fromUtf8("23.4°C  set point"), 0},
        {{"program", "--step", "30,60", "--time-scale", "10"},
         QStringLiteral("Step 1 of 1"),
         128 + SIGINT},
    };
    const ConfigHome config;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        QTemporaryDir byId;
        lumas::sim::SimulatedControllerOptions options = steadyChamber(23.4);
        options.stableLinkPath = byId.filePath(QStringLiteral("usb-adapter")).toStdString();
        lumas::sim::SimulatedController sim(options);
        const QString port = QString::fromStdString(options.stableLinkPath);
        LumasctlProcess process(QStringList{c.options[0], port} + c.options.mid(1), config.path());
        ASSERT_TRUE(process.waitForOutput(c.shownOnceRunning, 8000));

        sim.vanish();  // the adapter pulled out ...
        ASSERT_TRUE(process.waitForOutput("The device went away; trying to open it again.", 5000));
        sim.reappear();  // ... and plugged in again, as another device behind the same name
        ASSERT_TRUE(process.waitForOutput("Opened " + port + " again.", 8000));
        ASSERT_TRUE(process.waitForOutput("Readings are back.", 8000));

        process.signal(SIGINT);
        const CommandRun run = process.finish(15000);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
        if (c.options[0] == "program") {
            EXPECT_TRUE(run.out.contains("the controller confirmed the Stop"))
                << run.out.toStdString();
            EXPECT_FALSE(sim.running());
        }
    }
}

TEST(LumasctlProgram, AStopTheControllerNeverCarriesOutEndsWithStatusFive) {
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    sim.setRefuseStop(true);
    const ConfigHome config;
    LumasctlProcess process({"program", QString::fromStdString(sim.portPath()), "--step", "30,60",
                             "--time-scale", "20"},
                            config.path());
    ASSERT_TRUE(process.waitForOutput("Step 1 of 1", 8000));
    process.signal(SIGINT);
    // Three sends four seconds of real time apart before the command gives up waiting.
    const CommandRun run = process.finish(30000);
    EXPECT_EQ(run.exitCode, 5) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("did not confirm the Stop")) << run.out.toStdString();
    EXPECT_TRUE(sim.running()) << "the chamber is still running, as the operator is told";
}

TEST(LumasctlWatchAndProgram, PortAndControllerFailuresEndSoonWithTheirStatus) {
    lumas::sim::SimulatedController silent(steadyChamber(23.4));
    silent.setNoReply(true);
    const QString silentPort = QString::fromStdString(silent.portPath());
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* message;
    };
    // Both commands connect through the same path; each failure is tried with one of them.
    const std::vector<Case> cases = {
        {{"watch", "/dev/lumas-no-such-port"}, 2, "Specified device not found"},
        {{"program", silentPort, "--step", "30,1"}, 3, "did not confirm the link"},
    };
    const ConfigHome config;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandRun run = lumasctl(c.arguments, config.path());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_LT(run.seconds, 6.0);
    }
    // The silent controller was never told to run or to change its set point.
    for (const std::string& command : silent.receivedCommands()) {
        EXPECT_NE(command, commands::kRun);
        EXPECT_EQ(command.rfind(commands::kWriteSetPoint, 0), std::string::npos) << command;
    }
}

}  // namespace
