// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl as a user runs it, against the simulated controller.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "sim/simulated_controller.h"
#include "tests/cli/lumasctl_process.h"

namespace {

using lumas::test::CommandRun;
using lumas::test::lumasctl;

lumas::sim::SimulatedControllerOptions steadyChamber() {
    lumas::sim::SimulatedControllerOptions options;
    options.ambient = 23.4;
    options.timeScale = 0.0;
    return options;
}

TEST(Lumasctl, ProbeShowsAConfirmedLinkAndTheReadings) {
    lumas::sim::SimulatedController sim(steadyChamber());
    sim.setSetPoint(40.0);
    const CommandRun run = lumasctl({"probe", QString::fromStdString(sim.portPath())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Echo test:   confirmed")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Temperature: 23.4 °C")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Set point:   40.0 °C")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Run state:   Stopped")) << run.out.toStdString();
}

TEST(Lumasctl, WritesTheSetPointAndRunsAndStopsTheController) {
    lumas::sim::SimulatedController sim(steadyChamber());
    const QString port = QString::fromStdString(sim.portPath());

    CommandRun run = lumasctl({"set-point", port, "55,5"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Set point accepted: 55.5 °C")))
        << run.out.toStdString();
    EXPECT_EQ(sim.setPoint(), 55.5);

    run = lumasctl({"run", port});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(sim.running());
    EXPECT_TRUE(run.out.contains("reports Running")) << run.out.toStdString();

    run = lumasctl({"stop", port});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(sim.running());
}

TEST(Lumasctl, ReportsPortAndControllerFailuresWithoutHanging) {
    CommandRun run = lumasctl({"probe", "/dev/lumas-no-such-port"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("Specified device not found (/dev/lumas-no-such-port)."))
        << run.err.toStdString();

    lumas::sim::SimulatedController sim(steadyChamber());
    sim.setNoReply(true);
    run = lumasctl({"probe", QString::fromStdString(sim.portPath())});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("did not answer the echo test")) << run.err.toStdString();
    EXPECT_LT(run.seconds, 6.0);

    sim.clearFaults();
    sim.setReplyResponseCode("2203");
    run = lumasctl({"run", QString::fromStdString(sim.portPath())});
    EXPECT_EQ(run.exitCode, 3);
}

// One-shot commands against a controller that acknowledges but does not do, each reply's BCC
// arriving 2 ms after the rest: what the command says must be what the controller reports.
TEST(Lumasctl, OneShotCommandsSayWhatTheControllerReports) {
    struct Case {
        const char* name;
        std::function<void(lumas::sim::SimulatedController&)> fault;
        QStringList command;  // the port follows the command's name
        int exitCode;
        const char* said;
        std::function<bool(const lumas::sim::SimulatedController&)> after;
    };
    const std::vector<Case> cases = {
        {"Stop refused",
         [](auto& sim) {
             sim.setRunning(true);
             sim.setRefuseStop(true);
         },
         {"stop"},
         5,
         "Stop was refused by the controller (error 0, response code 2203). The chamber may "
         "still be running.",
         [](const auto& sim) { return sim.running(); }},
        {"Run refused",
         [](auto& sim) { sim.setRefuseRun(true); },
         {"run"},
         3,
         "Run was refused by the controller",
         [](const auto& sim) { return !sim.running(); }},
        {"set point kept at 40",
         [](auto& sim) { sim.setSetPointLock(40.0); },
         {"set-point", "150"},
         3,
         "keeps 40.0 \u00B0C instead of 150.0 \u00B0C",
         [](const auto& sim) { return sim.setPoint() == 40.0; }},
        // Echo, set-point read, writing on, then the write: refused once as after a power blip,
        // it is made once writing is switched on again.
        {"set point refused once",
         [](auto& sim) { sim.failRequest(4, "2203"); },
         {"set-point", "150"},
         0,
         "Set point accepted: 150.0 \u00B0C",
         [](const auto& sim) { return sim.setPoint() == 150.0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lumas::sim::SimulatedController sim(steadyChamber());
        sim.setLateBcc(std::chrono::milliseconds(2));
        c.fault(sim);
        QStringList arguments{c.command[0], QString::fromStdString(sim.portPath())};
        arguments += c.command.mid(1);
        const CommandRun run = lumasctl(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(QString::fromUtf8(c.said)))
            << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(c.after(sim));
    }
}

TEST(Lumasctl, RejectsBadArguments) {
    std::vector<QStringList> cases = {
        {},
        {"frobnicate", "ttyS0"},
        {"probe"},
        {"set-point", "ttyS0", "hot"},
        {"set-point", "ttyS0", "401"},
        {"watch"},
        {"watch", "ttyS0", "ttyS1"},
        {"watch", "ttyS0", "--time-scale", "0"},
        {"watch", "ttyS0", "--time-scale", "1e-300"},
        {"program", "ttyS0", "--step", "25,10", "--time-scale", "1e-300"},
        {"program", "ttyS0"},
        {"program", "ttyS0", "--step", "50"},
        {"program", "ttyS0", "--step", "50,"},
        {"program", "ttyS0", "--step", "50,1.5"},
        {"program", "ttyS0", "--step", "50,10000"},
        {"program", "ttyS0", "--step", "hot,10"},
        {"program", "ttyS0", "--step=25,5,5,10"},
        {"program", "ttyS0", "--step", "25,10", "--csv-interval", "5"},
        {"program", "ttyS0", "--step", "25,10", "--csv", "/tmp", "--csv-interval", "0"},
        {"program", "ttyS0", "--step", "25,10", "--frobnicate", "1"},
        // Outside the set-point range: the window's check puts 0 in the field, which is not the
        // programme asked for.
        {"program", "ttyS0", "--step", "501,10"},
        {"program", "ttyS0", "--step", "25,10", "--step", "-70.1,10"},
    };
    QStringList thirteenSteps = {"program", "ttyS0"};
    for (int step = 1; step <= 13; ++step) {
        thirteenSteps << "--step" << QString::number(20 + step) + ",1";
    }
    cases.push_back(thirteenSteps);
    for (const QStringList& arguments : cases) {
        const CommandRun run = lumasctl(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_FALSE((run.out + run.err).isEmpty()) << arguments.join(' ').toStdString();
    }
}

TEST(Lumasctl, TimeScaleRunsFromATenthToAThousand) {
    struct Case {
        const char* factor;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"0.1", true},   {"1000", true},      {"1", true},         {"0.0999", false},
        {"0.01", false}, {"1e-300", false},   {"4.9e-324", false}, {"0", false},
        {"-1", false},   {"1000.001", false}, {"inf", false},      {"nan", false},
        {"0.1x", false},
    };
    const QTemporaryDir config;  // no user's settings file
    for (const Case& c : cases) {
        for (const QStringList& command : {QStringList{"watch"}, QStringList{"program"}}) {
            QStringList arguments = command;
            arguments << "/dev/lumas-no-such-port"
                      << "--time-scale" << c.factor;
            if (command[0] == "program") {
                arguments << "--step"
                          << "25,10";
            }
            SCOPED_TRACE(arguments.join(' ').toStdString());
            const CommandRun run = lumasctl(arguments, config.path());
            // An accepted factor gets as far as the port, which does not exist.
            EXPECT_EQ(run.exitCode, c.accepted ? 2 : 1) << run.err.toStdString();
            EXPECT_EQ(run.err.contains(QStringLiteral("--time-scale takes a number from 0.1 to "
                                                      "1000, not \"%1\".")
                                           .arg(c.factor)),
                      !c.accepted)
                << run.err.toStdString();
        }
    }
}

// The threshold in force shows in the check of the step temperature, which comes before the port
// is opened.
TEST(Lumasctl, ProgramTellsOnceWhyTheStoredEmergencyThresholdIsNotUsed) {
    struct Case {
        QByteArray stored;
        QString inForce;
        QString note;  // empty: none
    };
    const std::vector<Case> cases = {
        {"1e300", "280",
         QString::fromUtf8("Note: The emergency temperature \"1e300\" in the settings file is "
                           "outside -70 to 500 °C; 280 °C is used instead.\n")},
        {"hot", "280",
         QString::fromUtf8("Note: The emergency temperature \"hot\" in the settings file is not "
                           "a number; 280 °C is used instead.\n")},
        // Written under a decimal-comma locale, read under the C locale.
        {"200,5", "200.5", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        const QTemporaryDir config;
        ASSERT_TRUE(QDir(config.path()).mkpath("Lumas"));
        QFile settings(config.filePath("Lumas/Settings.ini"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Temperatures]\r\nEmergencyTemp=" + c.stored + "\r\n");
        settings.close();

        const CommandRun run =
            lumasctl({"program", "/dev/lumas-no-such-port", "--step", "290,10"}, config.path());
        EXPECT_EQ(run.exitCode, 1)
            << "refused before the port is opened: " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Please input the temperature lower than " + c.inForce +
                                     QString::fromUtf8(" °C")))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count("Note: The emergency temperature"), c.note.isEmpty() ? 0 : 1)
            << run.err.toStdString();
        if (!c.note.isEmpty()) {
            EXPECT_TRUE(run.err.contains(c.note)) << run.err.toStdString();
        }
    }
}

}  // namespace
