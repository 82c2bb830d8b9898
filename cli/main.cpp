// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl: the controller link from the command line, for scripts, remote shells and diagnosis.

#include <QCoreApplication>

#include <signal.h>

#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/link_commands.h"
#include "cli/program_command.h"
#include "cli/programme_command.h"
#include "cli/runs_command.h"
#include "cli/runs_report_command.h"
#include "cli/watch_command.h"
#include "lumas_version.h"

namespace {

using lumas::cli::SessionError;

const char* const kUsage =
    "Usage: lumasctl COMMAND PORT [ARGUMENTS]\n"
    "       lumasctl COMMAND --help\n"
    "       lumasctl --help | --version\n"
    "\n"
    "Talks to the Omron temperature controller (CompoWay/F, node 1, 9600 bit/s 7E2) on PORT.\n"
    "PORT is a device name such as ttyUSB0, COM3 (/dev/ttyS2) or a path such as /dev/pts/4.\n"
    "\n"
    "Commands:\n"
    "  probe PORT            check the link; show temperature, set point and run state\n"
    "  set-point PORT VALUE  write the set point in degrees Celsius (-70 to 400)\n"
    "  run PORT              start the controller\n"
    "  stop PORT             stop the controller\n"
    "  watch PORT            show temperature, set point and run state as they change,\n"
    "                        until Ctrl-C; sends no command that changes the controller\n"
    "  program PORT --step T,t [--step T,t ...] [--csv FOLDER] [--csv-interval SECONDS]\n"
    "  program PORT --file FILE [the same options]\n"
    "          [--blind-stop SECONDS] [--resume-after-restart]\n"
    "                        run a programme of up to twelve steps: hold T degrees Celsius\n"
    "                        (-70 to 500) for t whole minutes (1 to 9999) each; the hold\n"
    "                        time follows the last comma, so 25,5,10 and 25.5,10 are 25.5\n"
    "                        degrees for 10 minutes and 25,10 is 25 degrees for 10 minutes;\n"
    "                        with --csv, log the temperature every SECONDS (default 30) to\n"
    "                        a file in FOLDER. The emergency threshold comes from the\n"
    "                        settings file. --blind-stop stops the run when no valid\n"
    "                        temperature has come in for SECONDS (default 120; 0 never).\n"
    "                        --resume-after-restart: when the controller is found Stopped\n"
    "                        in the middle of the run (a power cut or a restart), send Run\n"
    "                        and go on instead of ending the run.\n"
    "                        --file runs the programme of a programme file (ramps,\n"
    "                        bands, repeats), checked as --step is; not with --step.\n"
    "                        Ctrl-C stops the programme and the controller.\n"
    "  programme check FILE [--from C]\n"
    "                        check a programme file and print its plan, its repeats\n"
    "                        unrolled: each step's start, set point, ramp, hold and band,\n"
    "                        and the planned total; a first step that ramps at a rate\n"
    "                        starts from C degrees Celsius (default 25). Needs no port.\n"
    "  runs [--json]         list the runs recorded in the run archive, newest first\n"
    "  runs show ID          show a run's record and its events\n"
    "  runs export ID --csv FILE [--iso]\n"
    "                        write a run's readings as CSV (- for standard output)\n"
    "  runs verify [ID]      check the runs' seals; name each run whose record has changed\n"
    "  runs report ID --pdf FILE\n"
    "                        write a run's report (chart, record and events) as a PDF file\n"
    "                        (runs take --archive FILE: another run archive than\n"
    "                        ~/.local/share/Lumas/runs.sqlite)\n"
    "  --help                show this text; COMMAND --help shows that command's\n"
    "  --version             show the version\n"
    "\n"
    "Numbers are read the same way in every locale: decimals follow a point or a comma\n"
    "(25.5 or 25,5), temperatures have at most one decimal, and whole numbers are digits\n"
    "alone; exponents (1e3) and hexadecimal (0x19) are refused.\n"
    "\n"
    "watch and program also take --time-scale F: the program's time runs F times faster\n"
    "(0.1 to 1000), for trials with the simulated controller (lumas-sim --time-scale F).\n"
    "They take --metrics ADDRESS:PORT too: serve the readings and the link's state for\n"
    "Prometheus on http://ADDRESS:PORT/metrics (a port alone listens on 127.0.0.1; port 0\n"
    "picks a free one; the address is printed as \"Metrics: URL\").\n"
    "\n"
    "Exit status: 0 success (watch: ended by Ctrl-C or SIGTERM; program: ran to its end),\n"
    "1 usage error, 2 port cannot be opened or failed, 3 controller does not answer or\n"
    "refuses, 4 programme ended by the emergency cut-off, 5 a Stop was sent but the\n"
    "controller never reported Stopped (the chamber may still be running), 6 the controller\n"
    "was found stopped during a programme (restart or power cut) and --resume-after-restart\n"
    "was not given, 7 a programme ran to its end but its CSV log or its record in the run\n"
    "archive could not be kept whole, 128 + signal number when SIGHUP (129), SIGINT (130,\n"
    "Ctrl-C), SIGQUIT (131), SIGUSR1 (138), SIGUSR2 (140), SIGPIPE (141) or SIGTERM (143)\n"
    "stopped a programme; each of them stops the controller first. runs: 8 no run archive\n"
    "or it cannot be read, 9 verify found a changed or missing run, 10 no such run, 11 the\n"
    "file could not be written. programme check: 1 the file cannot be read or has faults\n"
    "(each is printed).\n";

using Command = int (*)(const std::vector<std::string>&);

int dispatch(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << kUsage;
        return lumas::cli::kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "lumasctl " LUMAS_VERSION "\n";
        return 0;
    }
    static const std::map<std::string, Command> commands = {
        {"probe", lumas::cli::probeCommand}, {"set-point", lumas::cli::setPointCommand},
        {"run", lumas::cli::runCommand},     {"stop", lumas::cli::stopCommand},
        {"watch", lumas::cli::watchCommand}, {"program", lumas::cli::programCommand},
        {"runs", lumas::cli::runsCommand},   {"programme", lumas::cli::programmeCommand},
    };
    const auto command = commands.find(args[0]);
    if (command == commands.end()) {
        throw SessionError("Unknown command \"" + args[0] + "\".", lumas::cli::kExitUsage);
    }
    const std::vector<std::string> arguments(args.begin() + 1, args.end());
    // A command's own usage comes before anything else: no port is opened for it.
    if (lumas::cli::asksForHelp(arguments)) {
        std::cout << *lumas::cli::commandUsage(args[0]);
        return 0;
    }
    return command->second(arguments);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (lumasctl program ... | head -1) must not end the process: a running
    // programme still has to reach its end or its emergency cut-off and stop the controller.
    ::signal(SIGPIPE, SIG_IGN);
    // A QGuiApplication (offscreen) for runs report, which draws text; Qt Core for the others.
    const std::unique_ptr<QCoreApplication> app = lumas::cli::makeApplication(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMAS_VERSION));
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return dispatch(args);
    } catch (const SessionError& error) {
        std::cerr << "lumasctl: " << error.what() << '\n';
        if (error.exitStatus() == lumas::cli::kExitUsage) {
            std::cerr << "\"lumasctl --help\" shows the commands and their arguments.\n";
        }
        return error.exitStatus();
    } catch (const std::exception& error) {
        std::cerr << "lumasctl: " << error.what() << '\n';
        return lumas::cli::kExitController;
    }
}
