// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl's command line: what each command takes and what it refuses, the same under the C
// locale and under a decimal-comma locale; each command's --help before anything else.

#include <QLocale>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "tests/cli/lumasctl_process.h"

namespace lumas::cli {
namespace {

using namespace std::chrono_literals;

constexpr const char* kNoSuchPort = "/dev/lumas-no-such-port";

struct LocaleCase {
    const char* cName;         // for setlocale
    const char* qtName;        // for QLocale::setDefault
    const char* decimalPoint;  // the C library's, once set
};
void PrintTo(const LocaleCase& c, std::ostream* os) {
    *os << c.cName;
}

constexpr LocaleCase kLocales[] = {
    {"C", "C", "."},
    {"de_DE.UTF-8", "de_DE", ","},
};

// Whether the C library has the locale (locale-gen makes it).
bool localeInstalled(const char* name) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool installed = std::setlocale(LC_ALL, name) != nullptr;
    std::setlocale(LC_ALL, previous.c_str());
    return installed;
}

// Runs each case under the C library's locale and Qt's default locale of the parameter, as
// lumasctl runs under the user's LC_ALL.
class CommandLineTest : public ::testing::TestWithParam<LocaleCase> {
  protected:
    void SetUp() override {
        if (std::setlocale(LC_ALL, GetParam().cName) == nullptr) {
            GTEST_SKIP() << "The locale " << GetParam().cName
                         << " is not installed; locale-gen makes it.";
        }
        ASSERT_STREQ(std::localeconv()->decimal_point, GetParam().decimalPoint);
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam().qtName)));
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }
};

INSTANTIATE_TEST_SUITE_P(Locales, CommandLineTest, ::testing::ValuesIn(kLocales),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                             return std::string(info.param.cName[0] == 'C' ? "C" : "de_DE");
                         });

struct ProgramCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<ProgrammeStep> steps;
    double timeScale = 1.0;
    std::chrono::seconds blindStop = kDefaultBlindStop;
    bool resumeAfterRestart = false;
};

TEST_P(CommandLineTest, ProgramTakesStepsAndOptionsWrittenEitherWay) {
    const std::vector<ProgramCase> cases = {
        {"decimal point", {"ttyS0", "--step", "25.5,10"}, {{25.5, 10}}},
        {"decimal comma: the hold time follows the last comma",
         {"ttyS0", "--step", "25,5,10"},
         {{25.5, 10}}},
        {"whole degrees", {"ttyS0", "--step=25,10"}, {{25.0, 10}}},
        {"blanks around the temperature", {"ttyS0", "--step", " 25.5 ,10"}, {{25.5, 10}}},
        {"the range's ends, in order",
         {"ttyS0", "--step", "-70,1", "--step", "500,9999", "--step", "-0,5,1"},
         {{-70.0, 1}, {500.0, 9999}, {-0.5, 1}}},
        {"time scale with a comma",
         {"ttyS0", "--step", "25,10", "--time-scale", "0,5"},
         {{25.0, 10}},
         0.5},
        {"time scale with a point",
         {"--time-scale=1000", "ttyS0", "--step", "25,10"},
         {{25.0, 10}},
         1000.0},
        {"blind stop off",
         {"ttyS0", "--step", "25,10", "--blind-stop", "0"},
         {{25.0, 10}},
         1.0,
         0s},
        {"blind stop at its longest",
         {"ttyS0", "--step", "25,10", "--blind-stop=86400"},
         {{25.0, 10}},
         1.0,
         86400s},
        {"resume after a restart, a flag before the port",
         {"--resume-after-restart", "ttyS0", "--step", "25,10"},
         {{25.0, 10}},
         1.0,
         kDefaultBlindStop,
         true},
    };
    for (const ProgramCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramArguments parsed = parseProgramArguments(c.arguments);
        EXPECT_EQ(parsed.port, "ttyS0");
        ASSERT_EQ(parsed.steps.size(), c.steps.size());
        for (std::size_t k = 0; k < c.steps.size(); ++k) {
            EXPECT_DOUBLE_EQ(parsed.steps[k].temperature, c.steps[k].temperature) << "step " << k;
            EXPECT_EQ(parsed.steps[k].holdMinutes, c.steps[k].holdMinutes) << "step " << k;
        }
        EXPECT_DOUBLE_EQ(parsed.timeScale, c.timeScale);
        EXPECT_EQ(parsed.blindStop, c.blindStop);
        EXPECT_EQ(parsed.resumeAfterRestart, c.resumeAfterRestart);
    }
}

TEST_P(CommandLineTest, SetPointAndWatchReadNumbersEitherWay) {
    const std::vector<std::pair<std::string, double>> setPoints = {
        {"25.5", 25.5}, {"25,5", 25.5}, {"-70", -70.0}, {"400", 400.0}, {"-0,5", -0.5}, {",5", 0.5},
    };
    for (const auto& [text, value] : setPoints) {
        SCOPED_TRACE(text);
        const SetPointArguments parsed = parseSetPointArguments({"ttyUSB0", text});
        EXPECT_EQ(parsed.port, "ttyUSB0");
        EXPECT_DOUBLE_EQ(parsed.value, value);
        EXPECT_DOUBLE_EQ(parseTemperature(text), value);
    }
    EXPECT_DOUBLE_EQ(parseWatchArguments({"ttyS0", "--time-scale", "0,5"}).timeScale, 0.5);
    EXPECT_DOUBLE_EQ(parseWatchArguments({"ttyS0", "--time-scale=2.5"}).timeScale, 2.5);
    EXPECT_EQ(parsePortArguments({"/dev/pts/4"}, "probe"), "/dev/pts/4");
}

struct RefusedCase {
    const char* command;
    std::vector<std::string> arguments;  // those after the command's name
    std::string said;                    // part of the message
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.command;
    for (const std::string& argument : c.arguments) {
        *os << " \"" << argument << '"';
    }
}

// Each of the parsers, by the command's name.
void parseAs(const std::string& command, const std::vector<std::string>& arguments) {
    if (command == "set-point") {
        parseSetPointArguments(arguments);
    } else if (command == "watch") {
        parseWatchArguments(arguments);
    } else if (command == "program") {
        parseProgramArguments(arguments);
    } else if (command == "temperature") {
        parseTemperature(arguments.at(0));
    } else {
        parsePortArguments(arguments, command);
    }
}

TEST_P(CommandLineTest, RefusesWhatCannotBeUsedAsAUsageErrorThatSaysWhy) {
    const std::string degrees =
        "\xC2\xB0"
        "C";
    const std::string notANumber = "is not a number; write digits with at most one decimal";
    const std::vector<RefusedCase> cases = {
        // Numbers: hexadecimal, exponents, letters, trailing junk, a second decimal.
        {"program",
         {"ttyS0", "--step", "0x19,10"},
         "step 1, \"0x19\" (--step 0x19,10), " + notANumber},
        {"program", {"ttyS0", "--step", "1e3,10"}, "\"1e3\" (--step 1e3,10), " + notANumber},
        {"program", {"ttyS0", "--step", "25abc,10"}, "\"25abc\""},
        {"program", {"ttyS0", "--step", "25.5.1,10"}, "\"25.5.1\""},
        {"program", {"ttyS0", "--step", "inf,10"}, "\"inf\""},
        {"program", {"ttyS0", "--step", ",10"}, "\"\" (--step ,10), " + notANumber},
        {"program",
         {"ttyS0", "--step", "25.55,10"},
         "The temperature of step 1 is 25.55 " + degrees +
             " (--step 25.55,10); give it with at most one decimal, as the controller holds "
             "tenths."},
        {"program", {"ttyS0", "--step", "25,5,5,10"}, "\"25,5,5\""},
        // Ranges: the programme's -70 to 500 degrees, hold times of 1 to 9999 minutes.
        {"program",
         {"ttyS0", "--step", "25,10", "--step", "501,10"},
         "The temperature of step 2 is 501 " + degrees + " (--step 501,10); give -70 to 500 " +
             degrees + "."},
        {"program", {"ttyS0", "--step", "-70,1,10"}, "step 1 is -70,1 " + degrees},
        {"program",
         {"ttyS0", "--step", "25,0"},
         "The hold time of step 1 is 0 minutes (--step 25,0); give 1 to 9999 minutes."},
        {"program",
         {"ttyS0", "--step", "25,10", "--step", "25,5,00"},
         "The hold time of step 2 is 0 minutes (--step 25,5,00); give 1 to 9999 minutes."},
        {"program", {"ttyS0", "--step", "25,10000"}, "The hold time of step 1, \"10000\""},
        {"program",
         {"ttyS0", "--step", "25,1.5"},
         "\"1.5\" (--step 25,1.5), is not a whole number"},
        {"program", {"ttyS0", "--step", "25,0x1"}, "\"0x1\""},
        {"program", {"ttyS0", "--step", "25,+5"}, "\"+5\""},
        {"program", {"ttyS0", "--step", "25,"}, "The hold time of step 1, \"\""},
        {"program", {"ttyS0", "--step", "25"}, "--step takes a temperature and a hold time as T,t"},
        // The other numbers.
        {"program",
         {"ttyS0", "--step", "25,10", "--time-scale", "0x1"},
         "--time-scale takes a number from 0.1 to 1000, not \"0x1\"."},
        {"watch", {"ttyS0", "--time-scale", "1e2"}, "not \"1e2\""},
        {"watch", {"ttyS0", "--time-scale", "0,05"}, "not \"0,05\""},
        {"program",
         {"ttyS0", "--step", "25,10", "--blind-stop", "-5"},
         "--blind-stop takes a whole number of seconds from 0 to 86400 (0: never), not \"-5\"."},
        {"program", {"ttyS0", "--step", "25,10", "--blind-stop", "86401"}, "not \"86401\""},
        {"program", {"ttyS0", "--step", "25,10", "--blind-stop", "1,5"}, "not \"1,5\""},
        {"program", {"ttyS0", "--step", "25,10", "--blind-stop"}, "--blind-stop needs a value."},
        {"program",
         {"ttyS0", "--step", "25,10", "--resume-after-restart=yes"},
         "--resume-after-restart takes no value."},
        {"program", {"ttyS0", "--step", "25,10", "--csv-interval", "5"}, "goes with --csv"},
        {"set-point", {"ttyS0", "0x19"}, "The set point, \"0x19\", " + notANumber},
        {"set-point", {"ttyS0", "1e3"}, "\"1e3\""},
        {"set-point", {"ttyS0", "25abc"}, "\"25abc\""},
        {"set-point", {"ttyS0", ""}, "\"\""},
        {"set-point",
         {"ttyS0", "25,55"},
         "The set point is 25,55 " + degrees +
             "; give it with at most one decimal, as the controller holds tenths."},
        {"set-point",
         {"ttyS0", "401"},
         "The set point is 401 " + degrees + "; give -70 to 400 " + degrees + "."},
        {"set-point", {"ttyS0", "-70.1"}, "give -70 to 400"},
        {"set-point", {"ttyS0"}, "The set point is missing"},
        {"set-point", {"ttyS0", "25", "26"}, "\"26\" is one too many"},
        {"temperature", {"0x19"}, "\"0x19\" is not a temperature"},
        {"temperature", {"25.55"}, "more than one decimal"},
        // Ports: missing, empty, an option in their place, one too many.
        {"probe", {""}, "The port is empty; give a device name such as ttyUSB0"},
        {"run", {}, "The port is missing; give a device name such as ttyUSB0"},
        {"stop", {"--port"}, "Unknown option --port."},
        {"probe", {"ttyS0", "ttyS1"}, "probe takes a port alone; \"ttyS1\" is one too many."},
        {"set-point", {"", "25"}, "The port is empty"},
        {"set-point", {}, "The port is missing"},
        {"watch", {""}, "The port is empty"},
        {"watch", {}, "The port is missing"},
        {"watch", {"ttyS0", "-x"}, "Unknown option -x."},
        {"program", {"", "--step", "25,10"}, "The port is empty"},
        {"program", {"--step", "25,10"}, "The port is missing"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c));
        try {
            parseAs(c.command, c.arguments);
            ADD_FAILURE() << "taken";
        } catch (const SessionError& error) {
            EXPECT_EQ(error.exitStatus(), kExitUsage);
            EXPECT_NE(std::string(error.what()).find(c.said), std::string::npos) << error.what();
        }
    }
}

TEST(CommandLine, EveryCommandHasItsUsageAndAnswersHelpWherever) {
    for (const char* command : {"probe", "set-point", "run", "stop", "watch", "program"}) {
        SCOPED_TRACE(command);
        const std::optional<std::string_view> usage = commandUsage(command);
        ASSERT_TRUE(usage.has_value());
        EXPECT_EQ(usage->rfind(std::string("Usage: lumasctl ") + command + " ", 0), 0u) << *usage;
    }
    EXPECT_FALSE(commandUsage("frobnicate").has_value());
    EXPECT_TRUE(asksForHelp({"--help"}));
    EXPECT_TRUE(asksForHelp({"ttyS0", "--step", "25,0", "-h"}));
    EXPECT_FALSE(asksForHelp({"ttyS0", "--step=--help", "--helpful"}));
}

// lumasctl itself, started with the locale in LC_ALL and no user's settings file.
test::CommandRun runLumasctl(const QStringList& arguments, const char* locale) {
    const QTemporaryDir config;
    QProcessEnvironment environment = test::lumasctlEnvironment(config.path());
    environment.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LUMASCTL_PATH), arguments);
    EXPECT_TRUE(process.waitForFinished(20000)) << "lumasctl must never hang";
    test::CommandRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(Lumasctl, EachCommandShowsItsUsageBeforeItOpensThePort) {
    const std::vector<QStringList> commands = {
        {"probe"}, {"set-point"}, {"run"}, {"stop"}, {"watch"}, {"program", "--step", "25,0"},
    };
    for (const QStringList& command : commands) {
        for (const char* help : {"--help", "-h"}) {
            QStringList arguments = {command[0], kNoSuchPort};
            arguments += command.mid(1);
            arguments << help;
            SCOPED_TRACE(arguments.join(' ').toStdString());
            const test::CommandRun run = runLumasctl(arguments, "C");
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(run.out.startsWith("Usage: lumasctl " + command[0] + " "))
                << run.out.toStdString();
            EXPECT_EQ(run.err, QString());
        }
    }
}

// Accepted numbers get as far as the port, which does not exist (2); refused ones end with a
// usage error (1) before it.
TEST(Lumasctl, ReadsNumbersTheSameWayInADecimalCommaLocale) {
    if (!localeInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "The locale de_DE.UTF-8 is not installed; locale-gen makes it.";
    }
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* said;
    };
    const std::vector<Case> cases = {
        {{"set-point", kNoSuchPort, "25.5"}, 2, "/dev/lumas-no-such-port"},
        {{"set-point", kNoSuchPort, "25,5"}, 2, "/dev/lumas-no-such-port"},
        {{"set-point", kNoSuchPort, "0x19"}, 1, "\"0x19\""},
        {{"watch", kNoSuchPort, "--time-scale", "0.5"}, 2, "/dev/lumas-no-such-port"},
        {{"program", kNoSuchPort, "--step", "25.5,10", "--step", "25,5,10", "--time-scale", "0,5"},
         2,
         "/dev/lumas-no-such-port"},
        {{"program", kNoSuchPort, "--step", "25,0"}, 1, "The hold time of step 1 is 0 minutes"},
        {{"program", "", "--step", "25,10"}, 1, "The port is empty"},
        {{"watch", ""}, 1, "The port is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const test::CommandRun run = runLumasctl(c.arguments, "de_DE.UTF-8");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace lumas::cli
