// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <vector>

#include "core/clock.h"
#include "core/programme_progress.h"
#include "core/run_events.h"
#include "core/shared_state.h"
#include "core/target_curve.h"

namespace lumas {

// The one run: its phase, what it runs, the programme's clock and step, why it ended, and the
// commands it has asked for that the worker's next update is to send. Every change of the run goes
// through here and is reported to the RunObservers as it happens.
//
// The run flags and pending-command flags of SharedState (ControlActive, ProgramRunning,
// SingleRunning, the Pending... flags) and the programme's timing fields are written here and
// nowhere else; they follow the phase:
// - ControlActive: Starting, Running or Held (the emergency cut-off is armed);
// - ProgramRunning / SingleRunning: the same phases, for a programme / a single run;
// - while Stopping none of them is set: no step is switched and no set point corrected, but the
//   run is not over (the window keeps recording and keeps Start disabled) until the controller
//   reports Stopped.
//
// UI thread only, like SharedState's run fields.
class RunModel {
  public:
    explicit RunModel(SharedState& state) : state_(state) {}
    RunModel(const RunModel&) = delete;
    RunModel& operator=(const RunModel&) = delete;

    // Observers are not owned; one stays registered until removed and must outlive that.
    void addObserver(RunObserver* observer);
    void removeObserver(RunObserver* observer);

    RunPhase phase() const { return phase_; }
    RunKind kind() const { return start_.kind; }
    // Starting, Running, Held or Stopping: the run is not over.
    bool active() const;
    // Starting, Running or Held: the run goes on and has not been asked to stop.
    bool controlling() const;
    bool stopping() const { return phase_ == RunPhase::Stopping; }
    // How the run began; meaningful once a run has begun.
    const RunStart& start() const { return start_; }
    const std::optional<Programme>& programme() const { return start_.programme; }
    // The programme's step, 1-based; 0 for a single run or before a programme began.
    int currentStep() const { return state_.CurrentStep; }
    // Why the last run ended, once it has.
    const std::optional<RunEnd>& end() const { return end_; }
    // Why the Stop of the run was asked, while it is Stopping (and after, in end()).
    std::optional<RunEndReason> stopCause() const { return stopCause_; }

    // --- transitions; each reports itself to the observers

    // A new run begins (Starting). `runNow` is the run clock's tick: the programme's time counts
    // from it. A programme's first step begins with it; the pending command is Run (a programme's
    // first set point goes out with it). A set point to send first is queued by the caller.
    void begin(RunStart start, Tick runNow);
    // The controller reports Running: Starting (or Held, after Run was sent again) → Running.
    void confirmRunning(Tick runNow);
    // The controller was found Stopped while Running (or after Run was sent): the run is Held and
    // its programme clock stands still.
    void hold(Tick runNow);
    // The operator runs a Held run on: Run is sent again; the programme's clock goes on once the
    // controller reports Running.
    void resume();
    // A Stop is asked for the run (Starting, Running or Held → Stopping): it goes out with the
    // next update and is sent again until the controller confirms it.
    void askStop(RunEndReason why);
    // The controller confirmed the Stop: a Stopping run ends with the reason its Stop was asked
    // for.
    void stopConfirmed(const QDateTime& at);
    // The run ends without waiting for a Stop (the link is let go, the program closes, a Held run
    // is ended, a front end gives up on the confirmation). A run that was Stopping ends as
    // StopNotConfirmed, its Stop's reason kept in RunEnd::stopAskedFor, unless `reason` is that
    // already.
    void endWithoutStop(RunEndReason reason, const QDateTime& at);

    // --- the programme's progress

    // Moves the programme on to `runNow`: its time runs while the run is Starting or Running (not
    // while Held, nor after Run was sent again until the controller runs), ramps move only while
    // the link is live, and a guaranteed soak counts only while `measured` (a fresh reading, none
    // without one) is within its band. Steps that begin, soaks that wait or count are reported to
    // the observers. Returns true when the programme's last step is over (once): the caller ends
    // the run as the programme's end says.
    bool advanceProgramme(Tick runNow, std::optional<double> measured, bool linkLive);
    // The link was found lost: a ramp goes back to where it stood at the last reading, `runNow`
    // being the run clock then (see ProgrammeProgress::rampLostSince).
    void rampLostSince(Tick lastReadingRunTick, Tick runNow);
    // Where the programme stands; empty for a single run or before a programme began.
    const std::optional<ProgrammeProgress>& progress() const { return progress_; }
    // The set point the programme wants now (its step's temperature, or a ramp's value).
    std::optional<double> plannedSetPoint() const;
    // Programme minutes done: the plan's time up to where the programme stands (time spent Held,
    // waiting for a band or with a ramp standing still not counted).
    double elapsedMinutes() const;
    // Minutes since the run began on the run clock, Held time included (the chart's x).
    double runMinutes(Tick runNow) const;
    // Minutes left in the current step and in the whole programme, as planned from where it
    // stands.
    double minutesLeftInStep() const;
    double minutesLeft() const;

    // --- the single run's set point

    // The operator set `celsius` as the set point of the single run, `runNow` being the run clock
    // then. Kept while the run goes on (Starting, Running or Held) and the value differs from the
    // one in force; ignored otherwise.
    void singleSetPointSet(double celsius, Tick runNow);
    // The single run's set points in the order they were set, each at the run's minutes it was set
    // at: Start's at 0, then the operator's. Empty for a programme or a single run started without
    // one (until one is set).
    const std::vector<TargetCurvePoint>& singleSetPoints() const { return singleSetPoints_; }

    // --- the commands asked for, which the worker's update sends (the pending flags)

    // A set point to send with the next update (the single set point's Set, or a Start's).
    void queueSetPoint(double celsius);
    // A Stop while no run is active (the Stop buttons work without a run, too).
    void queueStopWithoutRun();
    // Each returns whether its command is due and clears it; the update sends it then.
    std::optional<double> takeSetPoint();
    bool takeRun();
    bool takeStop();
    // The programme's start (first set point, then Run) is due; cleared once both went out.
    bool programmeStartDue() const { return state_.PendingProgramStart; }
    void programmeStartSent() { state_.PendingProgramStart = false; }
    // Whether a Stop waits to be sent.
    bool stopDue() const { return state_.PendingStop; }

    // Reports a reading to the observers.
    void reportReading(const RunReading& reading);
    // Reports the other events that the chamber's control finds, each to every observer.
    void reportCutOff(double celsius, double threshold, const QDateTime& at);
    void reportBlindStop(std::chrono::seconds withoutReadings);
    void reportStopConfirmed();
    void reportStopNotConfirmed();

  private:
    void setPhase(RunPhase phase);
    template <typename Event>
    void notify(const Event& event) {
        const std::vector<RunObserver*> observers = observers_;
        for (RunObserver* observer : observers) {
            event(*observer);
        }
    }
    void stepBegins();
    // Counting programme time: Running, or Starting for the first time (not after a hold).
    bool programmeTimeRuns() const;

    SharedState& state_;
    RunPhase phase_ = RunPhase::Idle;
    RunStart start_;
    std::optional<RunEnd> end_;
    std::optional<RunEndReason> stopCause_;
    bool held_ = false;  // Held, or resumed and Starting again: the programme's time stands
    // Where the programme stands; refers to start_.programme, which it must not outlive.
    std::optional<ProgrammeProgress> progress_;
    bool finishReported_ = false;
    std::vector<TargetCurvePoint> singleSetPoints_;
    std::vector<RunObserver*> observers_;
};

}  // namespace lumas
