// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/link_commands.h"

#include <cmath>
#include <iostream>

#include "cli/command_line.h"
#include "cli/controller_session.h"
#include "core/operator_texts.h"
#include "core/settings_store.h"

namespace lumas::cli {

namespace {

constexpr std::chrono::milliseconds kReplyTimeout{3000};

void requireConfirmed(ControllerSession& session) {
    if (!session.connect()) {
        throw SessionError("The controller on " + session.devicePath() +
                               " answered the echo test with other data; the link is not usable.",
                           kExitController);
    }
}

int runOrStop(const std::vector<std::string>& arguments, bool run) {
    const std::string port = parsePortArguments(arguments, run ? "run" : "stop");
    ControllerSession session(port, kReplyTimeout);
    requireConfirmed(session);
    session.enableWriting();
    session.request(run ? "starting the controller" : "stopping the controller",
                    [run](TOmronCom& d) { run ? d.cmdRun() : d.cmdStop(); });
    try {
        session.requireAccepted(run ? "Run" : "Stop");
    } catch (const SessionError& refused) {
        if (run) {
            throw;
        }
        throw SessionError(std::string(refused.what()) + " The chamber may still be running.",
                           kExitStopUnconfirmed);
    }
    session.request("reading the run state", [](TOmronCom& d) { d.ReadStatusLeft(); });
    const bool stopped = session.driver().RunStop();
    const char* const reported = stopped ? "Stopped" : "Running";
    if (stopped == run) {
        // Acknowledged, but not carried out: the run state says otherwise.
        throw SessionError(std::string(run ? "Run" : "Stop") +
                               " was acknowledged, but the controller still reports " + reported +
                               (run ? "." : "; the chamber may still be running."),
                           run ? kExitController : kExitStopUnconfirmed);
    }
    std::cout << (run ? "Run" : "Stop") << " accepted; the controller reports " << reported
              << ".\n";
    return 0;
}

}  // namespace

int probeCommand(const std::vector<std::string>& arguments) {
    const std::string port = parsePortArguments(arguments, "probe");
    ControllerSession session(port, kReplyTimeout);
    const bool confirmed = session.connect();
    std::cout << "Port:        " << session.devicePath() << " (9600 bit/s, 7E2, node 1)\n";
    std::cout << "Echo test:   " << (confirmed ? "confirmed" : "FAILED (other data came back)")
              << '\n';
    if (!confirmed) {
        return kExitController;
    }
    TOmronCom& driver = session.driver();
    session.request("reading the temperature", [](TOmronCom& d) { d.GetTemperature(); });
    session.request("reading the set point", [](TOmronCom& d) { d.GetSetPoint(); });
    session.request("reading the run state", [](TOmronCom& d) { d.ReadStatusLeft(); });
    std::cout << "Temperature: " << formatTemperature(driver.Temperature()) << '\n';
    std::cout << "Set point:   " << formatTemperature(driver.SetPoint()) << '\n';
    std::cout << "Run state:   " << (driver.RunStop() ? "Stopped" : "Running") << '\n';
    return 0;
}

int setPointCommand(const std::vector<std::string>& arguments) {
    const SetPointArguments parsed = parseSetPointArguments(arguments);
    const double value = parsed.value;
    // As the window's Set: a set point above the emergency cut-off's threshold is refused.
    const EmergencyThresholdSetting threshold =
        readEmergencyThreshold(settingsFile(), QLocale::c());
    if (value > threshold.value) {
        throw SessionError(
            texts::aboveThreshold(threshold.value, QLocale::c()).replace(u'\r', u' ').toStdString(),
            kExitUsage);
    }
    ControllerSession session(parsed.port, kReplyTimeout);
    requireConfirmed(session);
    session.enableWriting();
    session.request("writing the set point", [value](TOmronCom& d) { d.cmdSetPoint(value); });
    session.requireAccepted("The set point");
    // The value as the controller stores it, in tenths, is what must come back.
    const double written = std::nearbyint(value * 10.0) / 10.0;
    session.request("reading the set point back", [](TOmronCom& d) { d.GetSetPoint(); });
    const double kept = session.driver().SetPoint();
    if (std::fabs(kept - written) > 0.05) {
        throw SessionError("The set point was acknowledged, but the controller keeps " +
                               formatTemperature(kept) + " instead of " +
                               formatTemperature(written) + ".",
                           kExitController);
    }
    std::cout << "Set point accepted: " << formatTemperature(kept) << '\n';
    return 0;
}

int runCommand(const std::vector<std::string>& arguments) {
    return runOrStop(arguments, true);
}

int stopCommand(const std::vector<std::string>& arguments) {
    return runOrStop(arguments, false);
}

}  // namespace lumas::cli
