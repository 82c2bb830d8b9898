// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl programme check: a programme file's plan unrolled, every fault of a broken file on a
// line of its own, and a file that cannot be read; lumasctl program --file: a file refused before
// the port is opened, and the lines a run of a file prints.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cli/programme_command.h"
#include "tests/cli/lumasctl_process.h"

namespace lumas::cli {
namespace {

using test::CommandRun;
using test::lumasctl;

class ProgrammeCheckTest : public ::testing::Test {
  protected:
    // A programme file of `steps` (the JSON text of its "steps" array without its brackets).
    QString programmeFile(const QString& name, const QByteArray& steps) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"format": "lumas-programme", "version": 1, "steps": [)" + steps + "]}");
        return path;
    }

    QTemporaryDir folder;
};

TEST_F(ProgrammeCheckTest, TheExampleIsPlannedWithItsRepeatsUnrolled) {
    const CommandRun run = lumasctl({QStringLiteral("programme"), QStringLiteral("check"),
                                     QStringLiteral(LUMAS_EXAMPLE_PROGRAMME)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QString());
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 26) << run.out.toStdString();  // name, header, 22 steps, total, end
    EXPECT_EQ(lines[0], QStringLiteral("Programme: Thermal cycling -40/85 °C, 10 cycles"));
    // Step, row, cycle, start, set point, ramp, hold, band.
    EXPECT_EQ(lines[2].simplified(), QStringLiteral("1 1 - 0:00 25.0 °C - 10 -"));
    EXPECT_EQ(lines[3].simplified(), QStringLiteral("2 2 1/10 0:10 -40.0 °C 13 15 ±2.0 °C"));
    EXPECT_EQ(lines[6].simplified(), QStringLiteral("5 3 2/10 1:58 85.0 °C 25 15 ±2.0 °C"));
    EXPECT_EQ(lines[23].simplified(), QStringLiteral("22 5 - 13:18 25.0 °C 10 0 -"));
    EXPECT_EQ(lines[24], QStringLiteral("Total: 13 h 28 min planned (soaks that wait for their "
                                        "band take longer)."));
}

TEST_F(ProgrammeCheckTest, AFirstRampAtARateStartsFromTheGivenSetPoint) {
    const QString path = programmeFile(QStringLiteral("ramp.json"),
                                       R"({"temperature": 85, "rate": 5, "hold": 10.5})");
    const CommandRun assumed =
        lumasctl({QStringLiteral("programme"), QStringLiteral("check"), path});
    EXPECT_TRUE(assumed.out.contains(QStringLiteral("Total: 22.5 min planned.\n")))
        << assumed.out.toStdString();
    const CommandRun from = lumasctl({QStringLiteral("programme"), QStringLiteral("check"), path,
                                      QStringLiteral("--from"), QStringLiteral("-40")});
    EXPECT_EQ(from.exitCode, 0) << from.err.toStdString();
    EXPECT_TRUE(from.out.contains(QStringLiteral("Total: 35.5 min planned.\n")))
        << from.out.toStdString();
}

TEST_F(ProgrammeCheckTest, FaultsAndFilesThatCannotBeReadExitWithStatus1) {
    struct Case {
        const char* name;
        QStringList arguments;
        QStringList errorLines;  // each a line of standard error, in order, or its beginning
    };
    const QString faulty =
        programmeFile(QStringLiteral("faulty.json"),
                      R"({"temperature": 25, "hold": 10}, {"temperature": 30, "rate": 0, "hold": 5},
                         {"temperature": 900, "hold": 5, "band": 60})");
    const QString misspelt =
        programmeFile(QStringLiteral("misspelt.json"), R"({"tempreature": 25, "hold": 10})");
    const QString missing = folder.filePath(QStringLiteral("none.json"));
    const std::vector<Case> cases = {
        {"every fault of the rows",
         {QStringLiteral("check"), faulty},
         {QStringLiteral("Step 2, rate: The rate must be above 0 and at most 100 °C per minute."),
          QStringLiteral("Step 3, temperature: The temperature must be from -70 to 500 °C."),
          QStringLiteral("Step 3, band: The band must be above 0 and at most 50 °C.")}},
        {"a misspelt field",
         {QStringLiteral("check"), misspelt},
         {QStringLiteral("Step 1, tempreature: "), QStringLiteral("Step 1, temperature: ")}},
        {"a file that is not there",
         {QStringLiteral("check"), missing},
         {QStringLiteral("The programme file %1 cannot be read: ").arg(missing)}},
        {"no file", {QStringLiteral("check")}, {QStringLiteral("lumasctl: programme check needs")}},
        {"another action",
         {QStringLiteral("run"), faulty},
         {QStringLiteral("lumasctl: Unknown programme action \"run\"")}},
    };
    for (const Case& c : cases) {
        const CommandRun run = lumasctl(QStringList{QStringLiteral("programme")} + c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.out, QString()) << c.name;
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), c.errorLines.size()) << c.name << ": " << run.err.toStdString();
        for (qsizetype k = 0; k < c.errorLines.size(); ++k) {
            EXPECT_TRUE(lines[k].startsWith(c.errorLines[k]))
                << c.name << ": " << lines[k].toStdString();
        }
    }
}

TEST_F(ProgrammeCheckTest, ProgramFileRefusesAFaultyFileOrStepsBesideItBeforeOpeningThePort) {
    const QString faulty =
        programmeFile(QStringLiteral("faulty.json"), R"({"temperature": 25, "hold": 0})");
    const QString good =
        programmeFile(QStringLiteral("good.json"), R"({"temperature": 25, "hold": 1})");
    const QString port = folder.filePath(QStringLiteral("no-such-port"));
    const CommandRun faultRun =
        lumasctl({QStringLiteral("program"), port, QStringLiteral("--file"), faulty});
    EXPECT_EQ(faultRun.exitCode, 1);
    EXPECT_TRUE(faultRun.err.contains(QStringLiteral("\n  Step 1, hold: A hold time of 0")))
        << faultRun.err.toStdString();
    const CommandRun both = lumasctl({QStringLiteral("program"), port, QStringLiteral("--file"),
                                      good, QStringLiteral("--step"), QStringLiteral("25,10")});
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_TRUE(both.err.contains(QStringLiteral("not both"))) << both.err.toStdString();
}

// The lines lumasctl program --file prints from the run's events, called as the run calls them.
TEST(ProgramFileLines, StepsAndSoaksAreToldWithTheirRowCycleRampAndBand) {
    lumas::ProgrammeStep inRepeat{85.0, 15};
    inRepeat.rate = 5.0;
    inRepeat.band = 2.0;
    inRepeat.row = 3;
    inRepeat.cycle = 2;
    inRepeat.cycles = 10;
    lumas::ProgrammeStep rampInTime{25.0, 0.5};
    rampInTime.rampMinutes = 10;
    rampInTime.row = 5;
    lumas::ProgrammeStep fineBand{-40.0, 1};
    fineBand.band = 0.25;
    fineBand.row = 1;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {stepStartLine(5, inRepeat),
         "Step 5 (row 3, cycle 2 of 10): 85.0 °C, ramp at 5.0 °C/min, hold 15 min, band ±2.0 °C"},
        {stepStartLine(22, rampInTime), "Step 22 (row 5): 25.0 °C, ramp in 10 min, hold 0.5 min"},
        {stepStartLine(1, fineBand), "Step 1: -40.0 °C, hold 1 min, band ±0.25 °C"},
        {soakWaitingLine(5, 85.0, 2.0, 79.3), "Step 5: waiting for 85.0 ± 2.0 °C, now 79.3 °C"},
        {soakWaitingLine(5, 85.0, 2.0, std::nullopt),
         "Step 5: waiting for 85.0 ± 2.0 °C, no reading"},
        {soakCountingLine(5), "Step 5: within the band, the hold counts"},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(line, expected);
    }
}

}  // namespace
}  // namespace lumas::cli
