// lumasctl: the controller link from the command line, for scripts, remote shells and diagnosis.

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/controller_session.h"

namespace {

using lumas::TOmronCom;
using lumas::cli::ControllerSession;
using lumas::cli::SessionError;

constexpr int kReplyTimeoutMs = 3000;

const char* const kUsage =
    "Usage: lumasctl COMMAND PORT [ARGUMENTS]\n"
    "\n"
    "Talks to the Omron temperature controller (CompoWay/F, node 1, 9600 bit/s 7E2) on PORT.\n"
    "PORT is a device name such as ttyUSB0, COM3 (/dev/ttyS2) or a path such as /dev/pts/4.\n"
    "\n"
    "Commands:\n"
    "  probe PORT            check the link; show temperature, set point and run state\n"
    "  set-point PORT VALUE  write the set point in degrees Celsius (-70 to 400)\n"
    "  run PORT              start the controller\n"
    "  stop PORT             stop the controller\n";

// The set point given on the command line; a decimal comma is taken as well as a point.
double parseSetPoint(std::string text) {
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(value)) {
        throw SessionError("\"" + text + "\" is not a temperature.", lumas::cli::kExitUsage);
    }
    if (value < -70.0 || value > 400.0) {
        throw SessionError(
            "The set point must lie between -70 and 400 \xC2\xB0"
            "C.",
            lumas::cli::kExitUsage);
    }
    return value;
}

void requireConfirmed(ControllerSession& session) {
    if (!session.connect()) {
        throw SessionError("The controller on " + session.devicePath() +
                               " answered the echo test with other data; the link is not usable.",
                           lumas::cli::kExitController);
    }
}

int probe(ControllerSession& session) {
    const bool confirmed = session.connect();
    std::cout << "Port:        " << session.devicePath() << " (9600 bit/s, 7E2, node 1)\n";
    std::cout << "Echo test:   " << (confirmed ? "confirmed" : "FAILED (other data came back)")
              << '\n';
    if (!confirmed) {
        return lumas::cli::kExitController;
    }
    TOmronCom& driver = session.driver();
    session.request("reading the temperature", [](TOmronCom& d) { d.GetTemperature(); });
    session.request("reading the set point", [](TOmronCom& d) { d.GetSetPoint(); });
    session.request("reading the run state", [](TOmronCom& d) { d.ReadStatusLeft(); });
    std::cout << "Temperature: " << lumas::cli::formatTemperature(driver.Temperature()) << '\n';
    std::cout << "Set point:   " << lumas::cli::formatTemperature(driver.SetPoint()) << '\n';
    std::cout << "Run state:   " << (driver.RunStop() ? "Stopped" : "Running") << '\n';
    return 0;
}

int setPoint(ControllerSession& session, double value) {
    requireConfirmed(session);
    session.enableWriting();
    session.request("writing the set point", [value](TOmronCom& d) { d.cmdSetPoint(value); });
    session.requireAccepted("The set point");
    session.request("reading the set point back", [](TOmronCom& d) { d.GetSetPoint(); });
    std::cout << "Set point accepted: "
              << lumas::cli::formatTemperature(session.driver().SetPoint()) << '\n';
    return 0;
}

int runOrStop(ControllerSession& session, bool run) {
    requireConfirmed(session);
    session.enableWriting();
    session.request(run ? "starting the controller" : "stopping the controller",
                    [run](TOmronCom& d) { run ? d.cmdRun() : d.cmdStop(); });
    session.requireAccepted(run ? "Run" : "Stop");
    session.request("reading the run state", [](TOmronCom& d) { d.ReadStatusLeft(); });
    std::cout << (run ? "Run" : "Stop") << " accepted; the controller reports "
              << (session.driver().RunStop() ? "Stopped" : "Running") << ".\n";
    return 0;
}

int dispatch(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? lumas::cli::kExitUsage : 0;
    }
    const std::string& command = args[0];
    const std::size_t expected = command == "set-point" ? 3 : 2;
    const bool known =
        command == "probe" || command == "set-point" || command == "run" || command == "stop";
    if (!known || args.size() != expected) {
        std::cerr << (known ? "Wrong number of arguments for " + command + ".\n"
                            : "Unknown command \"" + command + "\".\n")
                  << kUsage;
        return lumas::cli::kExitUsage;
    }
    const double value = command == "set-point" ? parseSetPoint(args[2]) : 0.0;
    ControllerSession session(args[1], kReplyTimeoutMs);
    if (command == "probe") {
        return probe(session);
    }
    if (command == "set-point") {
        return setPoint(session, value);
    }
    return runOrStop(session, command == "run");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return dispatch(args);
    } catch (const SessionError& error) {
        std::cerr << "lumasctl: " << error.what() << '\n';
        return error.exitStatus();
    } catch (const std::exception& error) {
        std::cerr << "lumasctl: " << error.what() << '\n';
        return lumas::cli::kExitController;
    }
}
