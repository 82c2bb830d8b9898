// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <vector>

#include "core/programme.h"
#include "core/target_curve.h"

namespace lumas {

// Where a running programme stands on its plan, moved on by the run's time as it passes.
//
// Each step first ramps the set point from where the step before left it (a jump takes no time),
// then holds. A ramp moves only while set points can be sent (the link is live): a lost link
// never makes the set point jump, the ramp goes on from where it stood once the link is back. A
// hold without a band counts whenever the programme's time runs, since the controller holds the
// set point by itself; a hold with a band (guaranteed soak) counts only while a fresh reading is
// within the band, and stands still otherwise. Waits stretch the plan: the target curve is what
// happened so far followed by the rest of the plan from now.
//
// A value owned by the run model; it keeps the programme it was made for by pointer, which must
// outlive it. UI thread only.
class ProgrammeProgress {
  public:
    enum class Stage {
        Ramping,   // the set point moves towards the step's temperature
        Waiting,   // arrived; the chamber is outside the step's band: the hold does not count
        Soaking,   // the hold counts
        Finished,  // the last step's hold is over
    };

    // What moving on brought about, in the order it happened.
    struct Event {
        enum class Kind { StepStarted, SoakWaiting, SoakCounting, Finished };
        Kind kind = Kind::StepStarted;
        int step = 0;
    };

    // Begins step 1 at run minute `runMinutes`. The programme is planned from its start set point.
    ProgrammeProgress(const Programme& programme, double runMinutes);

    // The run's time is now `runMinutes`. `counting`: the programme's time runs (not while the
    // run is Held or Stopping). `measured`: a fresh reading of the chamber, none without one.
    // `linkLive`: set points can be sent. Returns what happened.
    std::vector<Event> advance(double runMinutes, bool counting, std::optional<double> measured,
                               bool linkLive);

    // The link was found lost `minutes` after the last reading: set points sent since may never
    // have arrived, so a ramp goes back to where it stood at that reading, and goes on from there
    // once the link is back. Nothing for a step that is not ramping.
    void rampLostSince(double minutes);

    int step() const { return step_; }
    Stage stage() const { return stage_; }
    bool finished() const { return stage_ == Stage::Finished; }
    const ProgrammeStep& currentStep() const { return programme_->step(step_); }
    // The set point the controller is to work to now.
    double setPoint() const;
    // Minutes of the programme done (its planned time up to where it stands, waits not counted).
    double minutesDone() const;
    // Minutes left in the current step and in the whole programme, as planned from now (a soak
    // that waits for its band adds to them as it waits).
    double minutesLeftInStep() const;
    double minutesLeft() const;
    // Minutes the plan has been stretched by so far: ramps stood still, soaks waited, the run held.
    double minutesBehindPlan() const { return lastRunMinutes_ - minutesDone(); }
    // The target curve in run minutes: the set point as it went so far, then the rest of the plan
    // from `lastRunMinutes`.
    std::vector<TargetCurvePoint> targetCurve() const;

  private:
    void beginStep(int step, std::vector<Event>& events);
    void enter(Stage stage);
    void corner();
    void addCorner(const TargetCurvePoint& point);
    bool withinBand(std::optional<double> measured) const;

    const Programme* programme_;
    int step_ = 1;
    Stage stage_ = Stage::Ramping;
    double rampDone_ = 0.0;  // minutes of the current step's ramp done
    double holdDone_ = 0.0;  // minutes of the current step's hold counted
    double lastRunMinutes_ = 0.0;
    bool rampMoving_ = true;                 // the ramp moved on the last advance
    bool waitReported_ = false;              // the wait for the band was reported since it began
    std::vector<TargetCurvePoint> corners_;  // the set point's course so far, in run minutes
};

}  // namespace lumas
