// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

#include "core/link_health.h"
#include "core/programme.h"

namespace lumas {

// What a run is: the chamber held at one set point (the Basic control tab), or a programme.
enum class RunKind { Single, Programme };

// Where a run stands. A run is Stopping from the moment a Stop is asked until the controller
// reports Stopped; only then has it Ended.
enum class RunPhase {
    Idle,      // no run since the program started
    Starting,  // Run (and for a programme its first set point) asked; not yet seen running
    Running,   // the controller reports Running
    Held,      // the controller was found Stopped although the run expects it Running; the
               // programme's clock stands still until the operator runs on or ends the run
    Stopping,  // a Stop was asked; waiting for the controller to report Stopped
    Ended,     // over, with its reason
};

// Why a run ended.
enum class RunEndReason {
    Finished,           // the programme's last step is over and the Stop was confirmed
    StoppedByOperator,  // Stop pressed (or asked by a front end) and confirmed
    EmergencyCutOff,    // the chamber was above the emergency threshold; Stop confirmed
    NoReadings,         // no valid temperature for the blind-run limit; Stop confirmed
    Disconnected,       // the link was let go during the run; no Stop was sent
    EndedBySignal,      // the program was told to end by a signal
    StopNotConfirmed,   // a Stop was asked but the controller never reported Stopped
    ControllerStopped,  // the controller was found Stopped mid-run and the run was not resumed
    Closed,             // the program was closed during the run; no Stop was sent
    FinishedHolding,    // the programme's last step is over and it ends by leaving the controller
                        // running at its last set point: no Stop was sent
};

// A short phrase for the reason, as logs and the command line print it ("emergency cut-off").
// `blindLimit` is the blind-run limit in force, named by NoReadings.
QString runEndReasonText(RunEndReason reason, std::chrono::seconds blindLimit);

// How a run began.
struct RunStart {
    RunKind kind = RunKind::Single;
    std::optional<Programme> programme;      // for a programme
    std::optional<double> singleSetPoint;    // for a single run: the set point it runs at, when set
    double emergencyThreshold = 0.0;         // °C
    std::chrono::seconds blindStopLimit{0};  // 0: off
    QString devicePath;                      // the port the run is on
    QDateTime startedAt;                     // local date and time
};

// One reading taken during a run, or its absence: the temperature and set point are empty while
// the link is down (a gap, never a repeated value).
struct RunReading {
    QDateTime at;
    double runMinutes = 0.0;  // minutes since the run started, on the run's clock
    std::optional<double> temperature;
    std::optional<double> setPoint;
    LinkHealth::State link = LinkHealth::State::Offline;
    int step = 0;  // the programme's step, 0 for a single run
};

// How a run ended: the reason, and for a run that ended while its Stop waited for confirmation,
// why that Stop was asked.
struct RunEnd {
    RunEndReason reason = RunEndReason::Finished;
    std::optional<RunEndReason> stopAskedFor;
    QDateTime at;
};

// What happens to a run, reported by the run model on the UI thread as it happens. The window,
// lumasctl, the metrics and the log listen. Every member has an empty default.
class RunObserver {
  public:
    virtual ~RunObserver() = default;

    virtual void runStarted(const RunStart& /*start*/) {}
    // A programme's step begins (1-based), at the start and at each step switch.
    virtual void stepStarted(int /*step*/, const ProgrammeStep& /*step*/) {}
    // A guaranteed soak of `step` waits: the chamber is outside `target` ± `band` (`measured`,
    // none without a reading), and the hold's time stands still. Reported when the wait begins.
    virtual void soakWaiting(int /*step*/, double /*target*/, double /*band*/,
                             std::optional<double> /*measured*/) {}
    // The hold of `step` starts (or goes on) counting: the ramp arrived and, with a band, the
    // chamber is within it.
    virtual void soakCounting(int /*step*/) {}
    // The controller reports Running for the run (after its start, or after it was resumed).
    virtual void runConfirmed() {}
    // A fresh reading, or the first update without one after the link was lost.
    virtual void reading(const RunReading& /*reading*/) {}
    // A Stop was asked for the run, for `why`.
    virtual void stopAsked(RunEndReason /*why*/) {}
    // A Stop (of a run, or one asked while no run was active) was confirmed by the controller's
    // run state.
    virtual void stopConfirmed() {}
    // A Stop was sent several times and the controller still does not report Stopped; it keeps
    // being sent.
    virtual void stopNotConfirmed() {}
    // The emergency cut-off fired on `celsius` (above `threshold`) at `at`, and asked its Stop.
    virtual void emergencyCutOff(double /*celsius*/, double /*threshold*/,
                                 const QDateTime& /*at*/) {}
    // No valid temperature came in for `withoutReadings`: the run's Stop was asked.
    virtual void blindStop(std::chrono::seconds /*withoutReadings*/) {}
    // The controller reports Stopped while the run expects it Running (power cut, restart, its
    // front panel): the run is Held until the operator runs on or ends it.
    virtual void controllerFoundStopped() {}
    // The run was ended (`end`), with or without a Stop.
    virtual void runEnded(const RunEnd& /*end*/) {}
};

}  // namespace lumas
