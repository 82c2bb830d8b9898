// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/program_command.h"

#include <QCoreApplication>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <functional>
#include <iostream>
#include <optional>
#include <utility>
#include <variant>

#include "cli/command_line.h"
#include "cli/core_session.h"
#include "cli/exit_status.h"
#include "cli/programme_command.h"
#include "core/archive_writer.h"
#include "core/number_text.h"
#include "core/programme.h"
#include "core/programme_file.h"
#include "core/run_csv_log.h"
#include "core/run_recorder.h"
#include "core/run_texts.h"
#include "core/settings_store.h"
#include "core/sqlite_run_archive.h"
#include "threading/event_wait.h"
#include "threading/stop_signals.h"

namespace lumas::cli {

namespace {

// Real time for the last Stop and its reply to cross the line before the port closes, which drops
// what it has not sent yet: the control's own pause after a command.
constexpr std::chrono::milliseconds kStopSettle = ChamberControl::kCommandPause;

std::string celsiusText(double celsius) {
    return oneDecimalText(celsius, QLocale::c()).toStdString() + "°C";
}

std::string minutesText(double minutes) {
    return texts::minutesText(minutes, QLocale::c()).toStdString();
}

// The programme of a programme file, checked with the limits of --step; every fault is named.
Programme programmeOfFile(const std::string& path) {
    const ProgrammeRead read = loadProgrammeFile(QString::fromStdString(path));
    const ProgrammeLimits limits{kStepLowest, kStepHighest, QLocale::c()};
    std::vector<ProgrammeFault> faults;
    if (const auto* document = std::get_if<ProgrammeDocument>(&read)) {
        auto made = Programme::fromDocument(*document, limits);
        if (auto* programme = std::get_if<Programme>(&made)) {
            return std::move(*programme);
        }
        faults = Programme::checkDocument(*document, limits);
    } else {
        faults = std::get<std::vector<ProgrammeFault>>(read);
    }
    std::string message = "The programme file " + path + " cannot be run:";
    for (const ProgrammeFault& fault : faults) {
        message += "\n  " + programmeFaultText(fault).toStdString();
    }
    throw SessionError(message, kExitUsage);
}

// The programme's steps as the command line gave them, checked as the window checks its fields.
Programme programmeOf(const ProgramArguments& parsed) {
    if (parsed.programmeFile) {
        return programmeOfFile(*parsed.programmeFile);
    }
    std::vector<lumas::ProgrammeStep> steps;
    for (const auto& step : parsed.steps) {
        steps.push_back({step.temperature, static_cast<double>(step.holdMinutes)});
    }
    auto made = Programme::make(std::move(steps), {kStepLowest, kStepHighest, QLocale::c()});
    if (const auto* fault = std::get_if<ProgrammeFault>(&made)) {
        throw SessionError("Step " + std::to_string(fault->step) + ": " + fault->text.toStdString(),
                           kExitUsage);
    }
    return std::get<Programme>(std::move(made));
}

// What the run does, told on standard output as it happens, and what the command waits for.
class ProgrammeReport final : public RunObserver {
  public:
    // `fromFile`: the programme came from a programme file, whose steps may ramp, wait for a band
    // and lie in repeats; each line says so.
    ProgrammeReport(ChamberControl& chamber, bool fromFile)
        : chamber_(chamber), fromFile_(fromFile) {}

    void stepStarted(int step, const lumas::ProgrammeStep& programmeStep) override {
        if (fromFile_) {
            std::cout << stepStartLine(step, programmeStep) << std::endl;
            return;
        }
        const RunModel& run = chamber_.run();
        std::cout << "Step " << step << " of " << run.programme()->stepCount() << ": "
                  << celsiusText(programmeStep.temperature) << " for "
                  << minutesText(programmeStep.holdMinutes) << " min; "
                  << minutesText(run.elapsedMinutes()) << " min elapsed, "
                  << minutesText(run.minutesLeft()) << " min left" << std::endl;
    }
    void emergencyCutOff(double celsius, double threshold, const QDateTime& at) override {
        cutOffReading_ = celsius;
        cutOffAt_ = at;
        std::cout << "Emergency cut-off: " << celsiusText(celsius) << " is above the threshold of "
                  << generalNumberText(threshold, QLocale::c()).toStdString()
                  << " °C; the controller is being stopped." << std::endl;
    }
    void blindStop(std::chrono::seconds withoutReadings) override {
        std::cout << texts::blindStopped(withoutReadings).toStdString() << std::endl;
    }
    void controllerFoundStopped() override {
        held_ = true;
        std::cout << "The controller reports Stopped although the programme expects it Running "
                     "(a power cut, a restart or a Stop at its front panel)."
                  << std::endl;
    }
    void soakWaiting(int step, double target, double band,
                     std::optional<double> measured) override {
        std::cout << soakWaitingLine(step, target, band, measured) << std::endl;
    }
    // Told for a hold that counts after a ramp too: the line is for a soak's band alone.
    void soakCounting(int step) override {
        const std::optional<Programme>& programme = chamber_.run().programme();
        if (programme && step >= 1 && step <= programme->stepCount() &&
            programme->step(step).band) {
            std::cout << soakCountingLine(step) << std::endl;
        }
    }
    void stopNotConfirmed() override { stopNotConfirmed_ = true; }
    void stopConfirmed() override { stopNotConfirmed_ = false; }

    // The controller was found stopped and nobody has decided yet; taken once.
    bool takeHeld() { return std::exchange(held_, false); }
    bool held() const { return held_; }
    bool stopNotConfirmedNow() const { return stopNotConfirmed_; }
    const std::optional<double>& cutOffReading() const { return cutOffReading_; }
    const QDateTime& cutOffAt() const { return cutOffAt_; }

  private:
    ChamberControl& chamber_;
    const bool fromFile_;
    bool held_ = false;
    bool stopNotConfirmed_ = false;
    std::optional<double> cutOffReading_;
    QDateTime cutOffAt_;
};

// How long the archive may take to open (and close the runs a forced end left open), and to
// write what is left at the end.
constexpr std::chrono::seconds kArchiveOpenWait{10};
constexpr std::chrono::seconds kArchiveLastWrite{10};

}  // namespace

int programCommand(const std::vector<std::string>& arguments) {
    const ProgramArguments parsed = parseProgramArguments(arguments);
    // Checked before the port is opened: a programme that cannot run needs no controller.
    const Programme programme = programmeOf(parsed);
    // Every signal that would end the command stops the controller first.
    StopSignals stopSignals(StopSignals::endingSignals());
    CoreSession session(parsed.timeScale, stopSignals);
    ChamberControl& chamber = session.chamber();
    RunModel& run = chamber.run();

    // A stored threshold that cannot be used leaves the default in force; the operator is told
    // once, and the programme runs guarded by the default.
    const EmergencyThresholdSetting emergency =
        readEmergencyThreshold(settingsFile(), QLocale::c());
    if (emergency.problem) {
        std::cerr << "Note: " << emergency.problem->toStdString() << std::endl;
    }
    chamber.state().EmergencyThreshold = emergency.value;
    chamber.setBlindStopLimit(parsed.blindStop);
    if (parsed.blindStop.count() == 0) {
        std::cerr << "Note: --blind-stop 0: the programme goes on however long the controller "
                     "sends no readings."
                  << std::endl;
    }
    if (const Outcome refused = chamber.checkProgramme(programme)) {
        throw SessionError("T" + std::to_string(refused->step) + ": " +
                               QString(refused->text).replace(u'\r', u' ').toStdString() +
                               " The programme was not started.",
                           kExitUsage);
    }

    TCSVExport csvSettings;
    std::optional<RunCsvLog> csvLog;
    QTimer csvTimer;
    if (parsed.csvFolder) {
        csvSettings = {true, parsed.csvIntervalSeconds, QString::fromStdString(*parsed.csvFolder)};
        csvLog.emplace(
            csvSettings, chamber, QLocale(), [] { return QDateTime::currentDateTime(); },
            [](const QString& text) {
                std::cerr << "lumasctl: " << text.toStdString() << std::endl;
            });
        run.addObserver(&*csvLog);
        // Rows every interval of the programme's time.
        csvTimer.setInterval(
            session.runClock().realDuration(std::chrono::seconds(parsed.csvIntervalSeconds)));
        QObject::connect(&csvTimer, &QTimer::timeout, [&csvLog] { csvLog->tick(); });
    }
    ProgrammeReport report(chamber, parsed.programmeFile.has_value());
    run.addObserver(&report);

    // The run's record in the run archive, written from a thread of its own.
    std::unique_ptr<ArchiveWriter> archive;
    std::optional<RunRecorder> recorder;
    QTimer archiveProblems;
    const auto tellArchiveProblems = [&] {
        for (const QString& problem : archive->takeProblems()) {
            std::cerr << "lumasctl: " << problem.toStdString() << std::endl;
        }
    };
    if (!parsed.noArchive) {
        archive = std::make_unique<ArchiveWriter>(
            parsed.archive ? QString::fromStdString(*parsed.archive) : defaultArchivePath());
        for (const ArchivedRun& closed : archive->recovered(kArchiveOpenWait)) {
            std::cerr << "Note: run " << closed.id << " in " << archive->path().toStdString()
                      << " had no end (the program recording it was ended by force); it is "
                         "closed as \""
                      << kEndedUnexpectedly.toStdString() << "\" at its last reading." << std::endl;
        }
        recorder.emplace(*archive, operatorName(), hostName(),
                         QCoreApplication::applicationVersion());
        run.addObserver(&*recorder);
        chamber.addLinkObserver(&*recorder);
        archiveProblems.setInterval(std::chrono::seconds(1));
        QObject::connect(&archiveProblems, &QTimer::timeout, tellArchiveProblems);
        archiveProblems.start();
        tellArchiveProblems();
    }
    bool forgotten = false;  // once the observers have left (the chamber may be gone after)
    const auto forget = [&] {
        if (std::exchange(forgotten, true)) {
            return;
        }
        run.removeObserver(&report);
        if (csvLog) {
            run.removeObserver(&*csvLog);
        }
        if (recorder) {
            run.removeObserver(&*recorder);
            chamber.removeLinkObserver(&*recorder);
        }
    };
    // The observers above live in this function: they leave the chamber on every way out, a
    // controller that does not answer (an exception) included.
    struct OnEveryExit {
        std::function<void()> leave;
        explicit OnEveryExit(std::function<void()> action) : leave(std::move(action)) {}
        OnEveryExit(const OnEveryExit&) = delete;
        OnEveryExit& operator=(const OnEveryExit&) = delete;
        ~OnEveryExit() { leave(); }
    } const observersLeave{forget};

    if (parsed.metrics) {
        session.serveMetrics(*parsed.metrics);
    }
    session.connect(parsed.port);
    if (stopSignals.first() != 0) {
        forget();
        std::cout << "Stopped by " << StopSignals::name(stopSignals.first())
                  << " before the programme started." << std::endl;
        return kExitSignalBase + stopSignals.first();
    }
    std::cout << "Programme of " << programme.stepCount() << " step(s), "
              << minutesText(programme.totalMinutes()) << " min, on " << session.devicePath()
              << "; Ctrl-C stops it." << std::endl;
    if (const Outcome refused = chamber.startProgramme(programme)) {
        forget();
        throw SessionError(refused->text.toStdString() + " The programme was not started.",
                           kExitController);
    }
    if (csvLog) {
        csvTimer.start();  // never without a log: a timer of no interval would spin
    }
    if (csvLog && csvLog->writer()) {
        std::cout << "CSV log: " << csvLog->writer()->filePath().toStdString() << std::endl;
    }

    // Follows the run until it has ended. A controller that stops answering or a device that goes
    // away does not end it: the control reports the loss (printed by the session's events),
    // reopens the device and goes on with the programme's time; without readings for the
    // blind-run limit it stops the controller.
    int signalTaken = 0;
    for (;;) {
        session.waitUntil(
            [&] {
                return !run.active() || report.held() ||
                       (run.stopping() && report.stopNotConfirmedNow()) ||
                       (signalTaken == 0 && stopSignals.first() != 0);
            },
            std::nullopt, signalTaken == 0);
        if (!run.active()) {
            break;
        }
        if (signalTaken == 0 && stopSignals.first() != 0) {
            signalTaken = stopSignals.first();
            std::cout << StopSignals::name(signalTaken) << ": stopping the programme and the "
                      << "controller." << std::endl;
            chamber.stop(RunEndReason::EndedBySignal);
            continue;
        }
        if (report.takeHeld()) {
            if (parsed.resumeAfterRestart && chamber.resumeHeldRun() == std::nullopt) {
                std::cout << "Run sent again (--resume-after-restart); the programme goes on."
                          << std::endl;
            } else if (run.phase() == RunPhase::Held) {
                chamber.endHeldRun();
            }
            continue;
        }
        if (run.stopping() && report.stopNotConfirmedNow()) {
            // Told three times over about 12 s of real time, and still Running or silent: the
            // command gives up waiting (the Stop keeps going out until the port closes).
            run.endWithoutStop(RunEndReason::StopNotConfirmed, QDateTime::currentDateTime());
            break;
        }
    }
    csvTimer.stop();
    serveEventsFor(kStopSettle);

    const RunEnd end = run.end().value_or(RunEnd{});
    const RunModel& finished = run;
    const std::string where = "step " + std::to_string(finished.currentStep()) + " of " +
                              std::to_string(programme.stepCount()) + " after " +
                              minutesText(finished.elapsedMinutes()) + " min";
    forget();
    session.close(RunEndReason::StopNotConfirmed);

    // Whether the run's log and record were kept whole.
    bool kept = true;
    if (csvLog && csvLog->rowsLost()) {
        kept = false;
    }
    if (archive) {
        const bool written = archive->flush(kArchiveLastWrite);
        tellArchiveProblems();
        archiveProblems.stop();
        const std::optional<std::uint64_t> key = recorder->recorded();
        const std::optional<std::int64_t> id = key ? archive->idOf(*key) : std::nullopt;
        if (written && !archive->lost() && id) {
            std::cout << "Recorded as run " << *id << " in " << archive->path().toStdString() << "."
                      << std::endl;
        } else {
            kept = false;
            std::cerr << "lumasctl: the run's record in " << archive->path().toStdString()
                      << " could not be written whole." << std::endl;
        }
    }

    switch (end.reason) {
        case RunEndReason::Finished:
            std::cout << "Programme finished after " << minutesText(programme.totalMinutes())
                      << " min; the controller confirmed the Stop." << std::endl;
            return kept ? 0 : kExitRecordNotKept;
        case RunEndReason::FinishedHolding:
            std::cout << "Programme finished after " << minutesText(programme.totalMinutes())
                      << " min; the controller was left running at "
                      << celsiusText(programme.steps().back().temperature) << "." << std::endl;
            return kept ? 0 : kExitRecordNotKept;
        case RunEndReason::EmergencyCutOff:
            std::cout << "Programme stopped by the emergency cut-off at " << where << " ("
                      << celsiusText(report.cutOffReading().value_or(0.0)) << "): "
                      << texts::emergencyWarning(report.cutOffAt(), QLocale()).toStdString()
                      << std::endl;
            return kExitEmergency;
        case RunEndReason::NoReadings:
            std::cout << "Programme stopped at " << where << ": no readings for "
                      << parsed.blindStop.count() << " s; the controller confirmed the Stop."
                      << std::endl;
            return kExitEmergency;
        case RunEndReason::EndedBySignal:
            std::cout << "Programme stopped by " << StopSignals::name(signalTaken) << " at "
                      << where << "; the controller confirmed the Stop." << std::endl;
            return kExitSignalBase + signalTaken;
        case RunEndReason::ControllerStopped:
            std::cout << "The controller was found stopped at " << where
                      << "; the programme was ended and the controller left stopped (with "
                         "--resume-after-restart it is run on)."
                      << std::endl;
            return kExitControllerStopped;
        case RunEndReason::StopNotConfirmed:
        case RunEndReason::StoppedByOperator:
        case RunEndReason::Disconnected:
        case RunEndReason::Closed:
            break;
    }
    std::cout << "The controller did not confirm the Stop at " << where
              << ": the chamber may still be running at its last set point." << std::endl;
    return kExitStopUnconfirmed;
}

}  // namespace lumas::cli
