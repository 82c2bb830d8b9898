#include "cli/program_command.h"

#include <QString>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>

#include "cli/command_line.h"
#include "cli/core_session.h"
#include "cli/exit_status.h"
#include "cli/stop_signals.h"
#include "core/settings_store.h"
#include "threading/event_wait.h"

namespace lumas::cli {

namespace {

// How long the worker's next update may take to send the stop command after a stop signal: one
// pass, plus the pauses of the commands that update may have to send first.
constexpr std::chrono::seconds kStopSendWait{5};
// Real time for the stop command and its reply to cross the line before the port closes, which
// drops what it has not sent yet. The core's own pause after a command, kept in real time.
constexpr std::chrono::milliseconds kStopSettle{320};

void loadProgramme(TerminalWindow& window, const std::vector<ProgrammeStep>& steps) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
        window.fiSP[k].setValue(steps[k].temperature);
        window.fiSPt[k].setValue(steps[k].holdMinutes);
    }
}

// Each given temperature as the window checks it when its field is left: the core prints its
// warnings. A temperature the check replaced (out of range) ends the command, as a programme on
// other temperatures than the ones given is not what was asked for.
void checkTemperatures(MainFormLogic& logic, TerminalWindow& window,
                       const std::vector<ProgrammeStep>& steps) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
        logic.ValidateTemperature(static_cast<int>(k));
        if (window.fiSP[k].value() != steps[k].temperature) {
            throw SessionError("T" + std::to_string(k + 1) +
                                   " lies outside the set-point range; the programme was not "
                                   "started.",
                               kExitUsage);
        }
    }
}

std::string signalName(int signalNumber) {
    return signalNumber == SIGINT    ? "Ctrl-C (SIGINT)"
           : signalNumber == SIGTERM ? "SIGTERM"
                                     : "a signal";
}

// "step 2 of 3", as the run state has it.
std::string stepText(const SharedState& state) {
    return "step " + std::to_string(state.CurrentStep) + " of " + std::to_string(state.StepCount);
}

int elapsedWholeMinutes(const SharedState& state) {
    return static_cast<int>(std::trunc(state.ElapsedMinutes));
}

}  // namespace

int programCommand(const std::vector<std::string>& arguments) {
    const ProgramArguments parsed = parseProgramArguments(arguments);
    StopSignals stopSignals;
    CoreSession session(parsed.timeScale, stopSignals);
    MainFormLogic& logic = session.logic();
    TerminalWindow& window = session.window();
    SharedState& state = logic.state();

    // A stored threshold that cannot be used leaves the default in force; the operator is told
    // once, and the programme runs guarded by the default.
    const EmergencyThresholdSetting emergency = readEmergencyThreshold(settingsFile());
    if (emergency.problem) {
        std::cerr << "Note: " << emergency.problem->toStdString() << std::endl;
    }
    state.EmergencyThreshold = emergency.value;
    loadProgramme(window, parsed.steps);
    checkTemperatures(logic, window, parsed.steps);
    if (parsed.csvFolder) {
        TCSVExport& csv = logic.csvExportSettings();
        csv.Enabled = true;
        csv.ExportInterval = parsed.csvIntervalSeconds;
        csv.FolderPath = QString::fromStdString(*parsed.csvFolder);
        window.TimerCSV.setInterval(std::chrono::seconds(parsed.csvIntervalSeconds));
    }

    if (parsed.metrics) {
        session.serveMetrics(*parsed.metrics);
    }
    session.connect(parsed.port);
    if (stopSignals.first() != 0) {
        std::cout << "Stopped by " << signalName(stopSignals.first())
                  << " before the programme started." << std::endl;
        return kExitSignalBase + stopSignals.first();
    }
    logic.bStartMultiClick();
    if (!state.ProgramRunning) {
        throw SessionError("The programme was not started.", kExitUsage);
    }
    if (state.StepCount < parsed.steps.size()) {
        std::cerr << "Note: the steps after a hold time of 0 do not run; the programme has "
                  << int{state.StepCount} << " step(s)." << std::endl;
    }
    std::cout << "Programme of " << int{state.StepCount} << " step(s), " << state.TotalMinutes
              << " min, on " << session.devicePath() << "; Ctrl-C stops it." << std::endl;
    if (const CsvTemperatureLog* log = logic.writer()) {
        std::cout << "CSV log: " << log->filePath().toStdString() << std::endl;
    }

    int printedStep = 0;
    const auto printStepChange = [&] {
        if (!state.ProgramRunning || state.CurrentStep == printedStep) {
            return;
        }
        printedStep = state.CurrentStep;
        std::cout << "Step " << printedStep << " of " << int{state.StepCount} << ": "
                  << logic.readoutText(state.StepTemperatures[printedStep]).toStdString() << " for "
                  << static_cast<int>(window.fiSPt[printedStep - 1].value()) << " min; "
                  << elapsedWholeMinutes(state) << " min elapsed, " << logic.TotalTimeLeft()
                  << " min left" << std::endl;
    };
    printStepChange();
    session.observeHandOvers(printStepChange);

    // Over once the run has ended and its stop commands have been sent. A controller that stops
    // answering or a device that goes away does not end it: the core reports the loss (printed
    // by the session's events), reopens the device and goes on with the programme's time.
    const auto over = [&state] {
        return !state.ProgramRunning && !state.PendingProgramStop && !state.PendingStop;
    };
    const CoreSession::WaitEnd end = session.waitUntil(over, std::nullopt, true);
    bool stoppedBySignal = false;
    if (end == CoreSession::WaitEnd::Signalled && !over()) {
        if (state.ProgramRunning) {
            logic.bStopMultiClick();
            stoppedBySignal = !state.ProgramRunning;
        }
        if (session.waitUntil(over, kStopSendWait, false) != CoreSession::WaitEnd::Done) {
            throw SessionError(
                "The stop command was not sent in time; the controller may still "
                "be running.",
                kExitStopUnconfirmed);
        }
    }
    // Every Stop is confirmed by the controller's run state, or reported as not confirmed.
    const StopConfirmation& confirmation = logic.stopConfirmation();
    const std::chrono::milliseconds confirmWait =
        session.clock().realDuration(std::chrono::milliseconds{StopConfirmation::kConfirmWithinMs} *
                                     (StopConfirmation::kSends + 1)) +
        kStopSettle;
    session.waitUntil([&] { return !confirmation.pending() || confirmation.reported(); },
                      confirmWait, false);
    const bool stopConfirmed = !confirmation.pending();
    serveEventsFor(kStopSettle);

    // The core and its state go with the session: what the last lines tell is taken first. Whether
    // the cut-off fired is the core's event; the status bar's text is what the operator reads.
    const std::optional<double> cutOffAt = session.events().cutOffReading();
    const std::string cutOffReading =
        cutOffAt ? logic.readoutText(*cutOffAt).toStdString() : std::string();
    const QString warning = window.statusWarning.text();
    const int elapsed = elapsedWholeMinutes(state);
    const std::string where = stepText(state) + " after " + std::to_string(elapsed) + " min";
    session.close();
    if (!stopConfirmed) {
        std::cout << "The controller did not confirm the Stop at " << where
                  << ": the chamber may still be running at its last set point." << std::endl;
        return kExitStopUnconfirmed;
    }
    if (cutOffAt) {
        std::cout << "Programme stopped by the emergency cut-off at " << where << " ("
                  << cutOffReading << "): " << warning.toStdString() << std::endl;
        return kExitEmergency;
    }
    if (stoppedBySignal) {
        std::cout << "Programme stopped by " << signalName(stopSignals.first()) << " at " << where
                  << "; the controller confirmed the Stop." << std::endl;
        return kExitSignalBase + stopSignals.first();
    }
    std::cout << "Programme finished after " << elapsed
              << " min; the controller confirmed the Stop." << std::endl;
    return 0;
}

}  // namespace lumas::cli
