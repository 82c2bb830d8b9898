// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/command_line.h"

#include <QString>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <utility>

#include "cli/exit_status.h"
#include "core/number_text.h"
#include "core/scaled_clock.h"
#include "core/target_curve.h"

namespace lumas::cli {

namespace {

constexpr const char* kDegrees =
    "\xC2\xB0"
    "C";

[[noreturn]] void refuse(const std::string& why) {
    throw SessionError(why, kExitUsage);
}

// A number with a decimal point or a decimal comma, read the same way in every locale.
std::optional<TypedNumber> typedNumberIn(const std::string& text) {
    return parseTypedNumber(QString::fromStdString(text));
}

// A whole number of decimal digits alone (no sign, no blanks) from `low` to `high`.
std::optional<int> wholeNumberIn(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "-70 to 400", as the messages and the usage give a range.
std::string rangeText(double low, double high) {
    return generalNumberText(low, QLocale::c()).toStdString() + " to " +
           generalNumberText(high, QLocale::c()).toStdString();
}

// `text` as a temperature from `low` to `high` with at most one decimal. `subject` begins the
// message ("The set point"), `where` follows the value (" (--step 25,10)", or nothing).
double temperatureIn(const std::string& text, const std::string& subject, const std::string& where,
                     double low, double high) {
    const std::optional<TypedNumber> number = typedNumberIn(text);
    if (!number) {
        refuse(subject + ", \"" + text + "\"" + where +
               ", is not a number; write digits with at most one decimal after a point or a "
               "comma, such as 25.5 or 25,5.");
    }
    if (number->decimals > 1) {
        refuse(subject + " is " + text + " " + kDegrees + where +
               "; give it with at most one decimal, as the controller holds tenths.");
    }
    if (number->value < low || number->value > high) {
        refuse(subject + " is " + text + " " + kDegrees + where + "; give " + rangeText(low, high) +
               " " + kDegrees + ".");
    }
    return number->value;
}

double parseTimeScale(const std::string& text) {
    const std::optional<TypedNumber> factor = typedNumberIn(text);
    // The clock's own range; see ScaledClock::kMinFactor for why time is slowed down no further.
    if (!factor || !ScaledClock::validFactor(factor->value)) {
        refuse("--time-scale takes a number from 0.1 to 1000, not \"" + text + "\".");
    }
    return factor->value;
}

// T,t: the hold time follows the last comma, so that T may have a decimal comma (25,5,10).
ProgrammeStep parseStep(const std::string& text, std::size_t number) {
    const std::size_t comma = text.rfind(',');
    if (comma == std::string::npos) {
        refuse(
            "--step takes a temperature and a hold time as T,t (such as 25.5,10 or 25,5,10), "
            "not \"" +
            text + "\".");
    }
    const std::string step = std::to_string(number);
    const std::string where = " (--step " + text + ")";
    const double temperature = temperatureIn(
        text.substr(0, comma), "The temperature of step " + step, where, kStepLowest, kStepHighest);
    const std::string holdText = text.substr(comma + 1);
    const std::string give = "; give 1 to " + std::to_string(kMaxHoldMinutes) + " minutes.";
    const std::optional<int> hold = wholeNumberIn(holdText, 0, kMaxHoldMinutes);
    if (!hold) {
        refuse("The hold time of step " + step + ", \"" + holdText + "\"" + where +
               ", is not a whole number of minutes" + give);
    }
    if (*hold == 0) {
        refuse("The hold time of step " + step + " is 0 minutes" + where + give);
    }
    return {temperature, *hold};
}

metrics::ListenAddress parseMetricsAddress(const std::string& text) {
    const std::optional<metrics::ListenAddress> address = metrics::parseListenAddress(text);
    if (!address) {
        refuse(
            "--metrics takes ADDRESS:PORT (such as 127.0.0.1:9100, [::1]:9100, or a port alone "
            "for 127.0.0.1; port 0 picks a free one), not \"" +
            text + "\".");
    }
    return *address;
}

bool isOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

using Option = CommandOption;

std::vector<std::string> scan(const std::vector<std::string>& arguments,
                              const std::map<std::string, Option>& options) {
    return scanArguments(arguments, options);
}

std::string checkedPort(const std::string& port) {
    if (port.empty()) {
        refuse(
            "The port is empty; give a device name such as ttyUSB0 or a path such as "
            "/dev/pts/4.");
    }
    if (isOption(port)) {
        refuse("Unknown option " + port + ".");
    }
    return port;
}

std::string onePort(const std::vector<std::string>& positional) {
    if (positional.empty()) {
        refuse(
            "The port is missing; give a device name such as ttyUSB0 or a path such as "
            "/dev/pts/4.");
    }
    if (positional.size() > 1) {
        refuse("One port only; \"" + positional[1] + "\" is one too many.");
    }
    return checkedPort(positional[0]);
}

constexpr const char* kPortText =
    "PORT is a device name such as ttyUSB0, COM3 (/dev/ttyS2) or a path such as /dev/pts/4.\n";

const std::string kProbeUsage = std::string(
                                    "Usage: lumasctl probe PORT\n"
                                    "\n"
                                    "Checks the link with the echo test and shows the "
                                    "temperature, the set point and the\n"
                                    "run state.\n") +
                                kPortText +
                                "\n"
                                "Exit status: 0 the link is confirmed, 1 usage error, 2 port "
                                "cannot be opened or failed,\n"
                                "3 controller does not answer or fails the echo test.\n";

const std::string kSetPointUsage =
    std::string(
        "Usage: lumasctl set-point PORT VALUE\n"
        "\n"
        "Writes the set point, VALUE degrees Celsius from -70 to 400 with at most one decimal,\n"
        "after a point or a comma (37.5 or 37,5), and reads it back.\n") +
    kPortText +
    "\n"
    "Exit status: 0 accepted, 1 usage error, 2 port cannot be opened or failed, 3 controller\n"
    "does not answer, refuses or keeps another set point.\n";

const std::string kRunUsage = std::string(
                                  "Usage: lumasctl run PORT\n"
                                  "\n"
                                  "Starts the controller and reads the run state back.\n") +
                              kPortText +
                              "\n"
                              "Exit status: 0 the controller reports Running, 1 usage error, 2 "
                              "port cannot be opened or\n"
                              "failed, 3 controller does not answer, refuses or stays Stopped.\n";

const std::string kStopUsage =
    std::string(
        "Usage: lumasctl stop PORT\n"
        "\n"
        "Stops the controller and reads the run state back.\n") +
    kPortText +
    "\n"
    "Exit status: 0 the controller reports Stopped, 1 usage error, 2 port cannot be opened or\n"
    "failed, 3 controller does not answer, 5 the Stop was refused or the controller never\n"
    "reported Stopped (the chamber may still be running).\n";

constexpr const char* kTimeScaleAndMetrics =
    "  --time-scale F        the program's time runs F times faster (0.1 to 1000), for trials\n"
    "                        with the simulated controller (lumas-sim --time-scale F)\n"
    "  --metrics ADDRESS:PORT\n"
    "                        serve the readings and the link's state for Prometheus on\n"
    "                        http://ADDRESS:PORT/metrics (a port alone listens on 127.0.0.1;\n"
    "                        port 0 picks a free one; the address is printed as\n"
    "                        \"Metrics: URL\")\n";

const std::string kWatchUsage =
    std::string(
        "Usage: lumasctl watch PORT [--time-scale F] [--metrics ADDRESS:PORT]\n"
        "\n"
        "Shows the temperature, the set point and the run state as they change, until Ctrl-C;\n"
        "sends no command that changes the controller.\n") +
    kPortText +
    "\n"
    "Options:\n" +
    kTimeScaleAndMetrics +
    "\n"
    "Exit status: 0 ended by Ctrl-C or SIGTERM, 1 usage error, 2 port cannot be opened or\n"
    "failed, 3 controller does not answer.\n";

const std::string kProgramUsage =
    std::string(
        "Usage: lumasctl program PORT (--step T,t [--step T,t ...] | --file FILE) [--csv FOLDER]\n"
        "                [--csv-interval SECONDS] [--blind-stop SECONDS] [--resume-after-restart]\n"
        "                [--archive FILE | --no-archive] [--time-scale F] [--metrics "
        "ADDRESS:PORT]\n"
        "\n"
        "Runs a programme of up to twelve steps, each holding T degrees Celsius (-70 to 500,\n"
        "at most one decimal) for t whole minutes (1 to 9999). The hold time follows the last\n"
        "comma, so T may have a decimal point or a decimal comma: 25.5,10 and 25,5,10 are\n"
        "25.5 degrees for 10 minutes, 25,10 is 25 degrees for 10 minutes.\n"
        "The emergency threshold comes from the settings file.\n") +
    kPortText +
    "\n"
    "Options:\n"
    "  --step T,t            a step; give one for each step, in order\n"
    "  --file FILE           run the programme of a programme file (ramps, bands, repeats;\n"
    "                        see lumasctl programme check), checked as --step is; a line is\n"
    "                        printed as each step starts, as a soak waits for its band and as\n"
    "                        its hold starts counting. Not with --step.\n"
    "  --csv FOLDER          log the temperature to a file in FOLDER\n"
    "  --csv-interval SECONDS\n"
    "                        with --csv, log every SECONDS (1 to 86400, default 30)\n"
    "  --blind-stop SECONDS  stop the run when no valid temperature has come in for SECONDS\n"
    "                        (0 to 86400, default 120; 0 never stops it so)\n"
    "  --resume-after-restart\n"
    "                        when the controller is found Stopped in the middle of the run\n"
    "                        (a power cut or a restart), send Run and go on instead of ending\n"
    "                        the run\n" +
    kTimeScaleAndMetrics +
    "\n"
    "Exit status: 0 ran to its end, 1 usage error, 2 port cannot be opened or failed,\n"
    "3 controller does not answer or refuses, 4 ended by the emergency cut-off, 5 a Stop was\n"
    "sent but the controller never reported Stopped (the chamber may still be running),\n"
    "6 the controller was found stopped during a programme (restart or power cut) and\n"
    "--resume-after-restart was not given, 7 ran to its end but its CSV log or its record in\n"
    "the run archive could not be kept whole, 128 + the signal's number when SIGHUP (129),\n"
    "SIGINT (130, Ctrl-C), SIGQUIT (131), SIGUSR1 (138), SIGUSR2 (140), SIGPIPE (141) or\n"
    "SIGTERM (143) stopped the programme; each of them stops the controller first.\n";

const std::string kRunsUsage =
    "Usage: lumasctl runs [--archive FILE] [--json]\n"
    "       lumasctl runs show ID [--archive FILE] [--json]\n"
    "       lumasctl runs export ID --csv FILE [--iso] [--archive FILE]\n"
    "       lumasctl runs verify [ID] [--archive FILE]\n"
#if __has_include("cli/runs_report_command.h")
    "       lumasctl runs report ID --pdf FILE [--archive FILE]\n"
#endif
    "\n"
    "Reads the run archive, where the window and lumasctl program record every run; it is\n"
    "opened read-only and never created or changed.\n"
    "  runs                  list the runs, newest first: number, start (the run's local time),\n"
    "                        duration, set point or programme, minimum and maximum\n"
    "                        temperature, alarms, readings and how the run ended\n"
    "  show ID               the run's record (start and end with their offset from UTC, how it\n"
    "                        ended, user, host, port, version, emergency threshold, blind-run\n"
    "                        limit, programme, minimum and maximum, alarms, readings, the run\n"
    "                        it continues, seal) and its events\n"
    "  export ID --csv FILE  write the run's readings to FILE (- for standard output) in the\n"
    "                        temperature log's own form; with --iso: UTC ISO 8601 times,\n"
    "                        numbers with a point, set point, step and link state, and empty\n"
    "                        fields where the link was down\n"
    "  verify [ID]           check the seal of every run (or of run ID) against its record;\n"
    "                        names each run whose record has changed, each run missing from\n"
    "                        the archive and each run without a seal yet (it has no end)\n"
#if __has_include("cli/runs_report_command.h")
    "  report ID --pdf FILE  write the run's report (its chart with its events marked, its\n"
    "                        record and its events) as a PDF file\n"
#endif
    "\n"
    "Options:\n"
    "  --archive FILE        the run archive to read (default:\n"
    "                        $XDG_DATA_HOME/Lumas/runs.sqlite, ~/.local/share/Lumas/runs.sqlite)\n"
    "  --json                runs and show: JSON for scripts; times in UTC ISO 8601, ended and\n"
    "                        end_reason null while a run has no end\n"
    "\n"
    "Exit status: 0 success (verify: every sealed run holds its seal), 1 usage error, 8 no run\n"
    "archive at FILE or it cannot be read, 9 verify found a run whose record has changed or a\n"
    "run missing, 10 no run ID in the archive, 11 the file could not be written.\n";

}  // namespace

double parseTemperature(const std::string& text) {
    const std::optional<TypedNumber> number = typedNumberIn(text);
    if (!number) {
        refuse("\"" + text +
               "\" is not a temperature; write digits with at most one decimal after a point "
               "or a comma, such as 25.5 or 25,5.");
    }
    if (number->decimals > 1) {
        refuse("The temperature " + text +
               " has more than one decimal; the controller holds tenths.");
    }
    return number->value;
}

std::string parsePortArguments(const std::vector<std::string>& arguments,
                               std::string_view command) {
    const std::vector<std::string> positional = scan(arguments, {});
    if (positional.size() > 1) {
        refuse(std::string(command) + " takes a port alone; \"" + positional[1] +
               "\" is one too many.");
    }
    return onePort(positional);
}

SetPointArguments parseSetPointArguments(const std::vector<std::string>& arguments) {
    // No options: VALUE may begin with a minus sign.
    if (arguments.size() > 2) {
        refuse("set-point takes a port and a value; \"" + arguments[2] + "\" is one too many.");
    }
    SetPointArguments parsed;
    parsed.port = onePort(arguments.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{arguments[0]});
    if (arguments.size() < 2) {
        refuse("The set point is missing; give it after the port, such as 37.5.");
    }
    parsed.value =
        temperatureIn(arguments[1], "The set point", {}, kSetPointLowest, kSetPointHighest);
    return parsed;
}

WatchArguments parseWatchArguments(const std::vector<std::string>& arguments) {
    WatchArguments parsed;
    const std::vector<std::string> positional =
        scan(arguments,
             {{"--time-scale",
               {true, [&](const std::string& v) { parsed.timeScale = parseTimeScale(v); }}},
              {"--metrics",
               {true, [&](const std::string& v) { parsed.metrics = parseMetricsAddress(v); }}}});
    parsed.port = onePort(positional);
    return parsed;
}

ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments) {
    ProgramArguments parsed;
    bool intervalGiven = false;
    const std::vector<std::string> positional = scan(
        arguments,
        {{"--step",
          {true,
           [&](const std::string& v) {
               parsed.steps.push_back(parseStep(v, parsed.steps.size() + 1));
           }}},
         {"--file",
          {true,
           [&](const std::string& v) {
               if (v.empty()) {
                   refuse("--file needs a programme file.");
               }
               parsed.programmeFile = v;
           }}},
         {"--csv",
          {true,
           [&](const std::string& v) {
               if (v.empty()) {
                   refuse("--csv needs a folder.");
               }
               parsed.csvFolder = v;
           }}},
         {"--csv-interval",
          {true,
           [&](const std::string& v) {
               const std::optional<int> seconds = wholeNumberIn(v, 1, kMaxCsvIntervalSeconds);
               if (!seconds) {
                   refuse("--csv-interval takes a whole number of seconds from 1 to 86400, not \"" +
                          v + "\".");
               }
               parsed.csvIntervalSeconds = *seconds;
               intervalGiven = true;
           }}},
         {"--blind-stop",
          {true,
           [&](const std::string& v) {
               const std::optional<int> seconds =
                   wholeNumberIn(v, 0, static_cast<int>(kMaxBlindStop.count()));
               if (!seconds) {
                   refuse(
                       "--blind-stop takes a whole number of seconds from 0 to 86400 (0: "
                       "never), not \"" +
                       v + "\".");
               }
               parsed.blindStop = std::chrono::seconds(*seconds);
           }}},
         {"--resume-after-restart",
          {false, [&](const std::string&) { parsed.resumeAfterRestart = true; }}},
         {"--archive",
          {true,
           [&](const std::string& v) {
               if (v.empty()) {
                   refuse("--archive needs a file.");
               }
               parsed.archive = v;
           }}},
         {"--no-archive", {false, [&](const std::string&) { parsed.noArchive = true; }}},
         {"--time-scale",
          {true, [&](const std::string& v) { parsed.timeScale = parseTimeScale(v); }}},
         {"--metrics",
          {true, [&](const std::string& v) { parsed.metrics = parseMetricsAddress(v); }}}});
    parsed.port = onePort(positional);
    if (parsed.programmeFile && !parsed.steps.empty()) {
        refuse("A programme comes from --step or from --file, not both.");
    }
    if (parsed.steps.empty() && !parsed.programmeFile) {
        refuse("A programme needs at least one --step T,t, or a programme file (--file FILE).");
    }
    if (parsed.steps.size() > static_cast<std::size_t>(kProgrammeSteps)) {
        refuse("A programme has at most twelve steps; " + std::to_string(parsed.steps.size()) +
               " were given.");
    }
    if (intervalGiven && !parsed.csvFolder) {
        refuse("--csv-interval goes with --csv FOLDER.");
    }
    if (parsed.archive && parsed.noArchive) {
        refuse("--archive and --no-archive cannot go together.");
    }
    return parsed;
}

bool asksForHelp(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument == "--help" || argument == "-h";
    });
}

const std::string kProgrammeUsage =
    "Usage: lumasctl programme check FILE [--from C]\n"
    "\n"
    "Reads the programme file FILE, checks it with the limits of lumasctl program and prints\n"
    "its plan with its repeats unrolled, one line a step: the step's number, its row in the\n"
    "file, its cycle in the innermost repeat it lies in (3/10, or - outside repeats), the\n"
    "planned time it starts (h:mm), its set point, its ramp and hold in minutes and its band;\n"
    "then the planned total. A soak that waits for its band takes longer than planned.\n"
    "Needs no port and sends nothing to a controller.\n"
    "\n"
    "Options:\n"
    "  --from C              the set point a first step that ramps at a rate starts from, in\n"
    "                        degrees Celsius (default 25)\n"
    "\n"
    "Exit status: 0 the file makes a programme, 1 usage error, the file cannot be read, or\n"
    "it has faults: each is printed on standard error, one a line (\"Step 3, rate: ...\").\n";

std::optional<std::string_view> commandUsage(std::string_view command) {
    static const std::array<std::pair<std::string_view, const std::string*>, 8> usages = {{
        {"probe", &kProbeUsage},
        {"set-point", &kSetPointUsage},
        {"run", &kRunUsage},
        {"stop", &kStopUsage},
        {"watch", &kWatchUsage},
        {"program", &kProgramUsage},
        {"runs", &kRunsUsage},
        {"programme", &kProgrammeUsage},
    }};
    for (const auto& [name, usage] : usages) {
        if (name == command) {
            return *usage;
        }
    }
    return std::nullopt;
}

std::vector<std::string> scanArguments(const std::vector<std::string>& arguments,
                                       const std::map<std::string, CommandOption>& options) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (!isOption(name)) {
            positional.push_back(name);
            continue;
        }
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto option = options.find(name);
        if (option == options.end()) {
            refuse("Unknown option " + name + ".");
        }
        if (!option->second.takesValue) {
            if (value) {
                refuse(name + " takes no value.");
            }
            option->second.handle({});
            continue;
        }
        if (!value) {
            if (i + 1 == arguments.size()) {
                refuse(name + " needs a value.");
            }
            value = arguments[++i];
        }
        option->second.handle(*value);
    }
    return positional;
}

}  // namespace lumas::cli
