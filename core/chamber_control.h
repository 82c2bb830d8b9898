// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/link_events.h"
#include "core/link_health.h"
#include "core/monitor_worker.h"
#include "core/programme.h"
#include "core/run_model.h"
#include "core/sequence_player.h"
#include "core/settings_store.h"
#include "core/shared_state.h"
#include "core/stop_confirmation.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas {

// Why a call of the chamber's control was not carried out, and the sentence for the operator.
struct Refusal {
    enum class Why {
        NotConnected,    // no link to the controller
        RunActive,       // a run is going on (or still stopping)
        OutOfRange,      // a temperature outside its range
        AboveThreshold,  // a set point above the emergency cut-off's threshold
        NotHeld,         // the run is not waiting for the operator's choice
    };
    Why why = Why::NotConnected;
    QString text;
    int step = 0;  // the programme's step it concerns (1-based), 0 for none
};
// The result of a call: nothing when it was carried out.
using Outcome = std::optional<Refusal>;

// The chamber as the program runs it: the link to the controller (connecting, the monitoring
// worker, link health, reopening a device that went away), the one run (RunModel) and everything
// that keeps the chamber safe while it goes on: the step switch, the set-point correction, the
// emergency cut-off, the stop of a run nobody can watch, the confirmation of every Stop, and the
// controller found stopped mid-run. Front ends (the window, lumasctl, the tests) drive it with
// plain calls and learn what happens from the link and run events; it knows no window.
//
// Two clocks: the line clock keeps real time for everything that concerns the controller and the
// line (the worker's passes, the pauses after commands, reply time-outs, link health, Stop
// confirmation, the blind-run limit, reopening); the run clock measures the programme's time and
// the chart's, and may run faster for trials (--time-scale). Both may be the same clock.
//
// Every member function runs on the UI thread, as do the update's steps (see TMyThread).
class ChamberControl {
  public:
    ChamberControl(TOmronCom& controller, TCustomComPort& port, Clock& lineClock, Clock& runClock,
                   const QLocale& locale = QLocale());
    ~ChamberControl();
    ChamberControl(const ChamberControl&) = delete;
    ChamberControl& operator=(const ChamberControl&) = delete;

    SharedState& state() { return state_; }
    const SharedState& state() const { return state_; }
    RunModel& run() { return run_; }
    const RunModel& run() const { return run_; }
    TOmronCom& controller() { return controller_; }
    const TOmronCom& controller() const { return controller_; }
    const LinkHealth& linkHealth() const { return health_; }
    const StopConfirmation& stopConfirmation() const { return stopCheck_; }
    Clock& lineClock() { return lineClock_; }
    Clock& runClock() { return runClock_; }
    // The device the link was made on (empty before a link).
    const std::string& devicePath() const { return linkDevicePath_; }
    bool workerRunning() const { return worker_ != nullptr && !worker_->Finished(); }

    // Link observers; not owned, each must outlive its registration. Run observers register with
    // run().
    void addLinkObserver(LinkObserver* observer);
    void removeLinkObserver(LinkObserver* observer);

    // The local date and time of events; replaceable for tests.
    std::function<QDateTime()> currentDateTime = [] { return QDateTime::currentDateTime(); };

    // A run without a valid temperature for this long is stopped; zero switches it off.
    static constexpr std::chrono::seconds kDefaultBlindStop = lumas::kDefaultBlindStop;
    void setBlindStopLimit(std::chrono::seconds limit) { blindStopLimit_ = limit; }
    std::chrono::seconds blindStopLimit() const { return blindStopLimit_; }

    // The range of the single set point, °C: the highest the driver sends.
    static constexpr double kSingleSetPointMin = -70.0;
    static constexpr double kSingleSetPointMax = 400.0;

    // --- the link

    struct Connection {
        std::optional<QString> failure;  // the text to show when a step failed
        std::optional<QString> advice;   // what the operator can do about a port refused
        bool answered = false;           // the controller answered the first reads (readParameters)
    };
    // Stops a running worker, closes the driver's port, sets the port name, opens the driver's
    // port and runs readParameters(). An empty name (nothing selected) stops after the close.
    Connection connect(const std::string& portName);
    // The first reads after a successful connect, then the worker. True when the controller
    // answered them.
    bool readParameters();
    // From now on the link's health is watched: readings must come in.
    void watchLink();
    // Lets go of the link without stopping the controller: the worker is told to stop and given
    // `wait` to finish its pass, then joined, and the port closed. A run in progress ends for
    // `reason` without a Stop (the controller keeps its last set point); a Stop already asked
    // still goes out first.
    void letGo(RunEndReason reason,
               std::chrono::milliseconds wait = std::chrono::milliseconds(500));
    // Port Configuration: as letGo, but the port is closed after a plain sleep.
    void closeForConfiguration();
    // Whether the link is made or being made again (a Stop asked now goes out when it is back).
    bool linkWanted() const { return controller_.Connected() || health_.wanted(); }

    void StartThread();
    void TerminateWorker();
    // Terminates and joins the worker; its last update plays to its end meanwhile.
    void stopWorker();

    // --- runs

    // Sends `celsius` as the set point with the next update.
    Outcome setSetPoint(double celsius);
    // Starts a single run. With `setPoint`, that set point is sent first when the controller does
    // not hold it already (what is on the screen is what runs).
    Outcome startSingle(std::optional<double> setPoint);
    // Starts `programme`: its first set point and Run go out with the next update.
    Outcome startProgramme(const Programme& programme);
    // Stops the run (or, with no run, sends a Stop all the same), and has it confirmed.
    Outcome stop(RunEndReason why = RunEndReason::StoppedByOperator);
    // The operator's choice for a Held run: Run again (the programme's clock goes on once the
    // controller reports Running), or end it as the controller left it (stopped).
    Outcome resumeHeldRun();
    Outcome endHeldRun();
    // A set point checked as Set and Start check it: the single set point's range, the threshold.
    Outcome checkSingleSetPoint(double celsius) const;
    // A programme's temperatures checked against the threshold.
    Outcome checkProgramme(const Programme& programme) const;

    // --- the worker's per-pass update

    // Plays the whole update here, on the UI thread, serving events in its pauses: for a caller
    // on the UI thread with no worker (tests).
    void UpdateMainForm();
    void DelayMs(std::chrono::milliseconds duration) { lumas::DelayMs(lineClock_, duration); }

    // The pause after every command sent to the controller while monitoring runs.
    static constexpr std::chrono::milliseconds kCommandPause{320};
    // How long a reply may take before its request is given up (line clock).
    static constexpr double kReplyWatchdogSeconds = 8.0;

  private:
    // The update's steps, in the order they run. Each reads the state it acts on when it runs.
    StepResult observeLinkAndRun();
    StepResult sendPendingSetPoint();
    StepResult sendPendingRun();
    StepResult sendPendingProgrammeStart();
    StepResult sendPendingStop();
    StepResult followProgramme();
    StepResult holdStepSetPoint();
    StepResult cutOffWhenTooHot();
    StepResult stopWhenBlind();
    StepResult serveStopConfirmation();
    static std::vector<SequenceStep> buildUpdateSequence(ChamberControl& chamber);

    // Link health and the events of a change; reopens a lost device.
    void superviseLink();
    void reopenPort();
    // Starting → Running once the controller reports Running after Run; Running → Held when it
    // reports Stopped.
    void followRunState();
    // The run's reading event, when a fresh reading came in or the readings were lost.
    void reportReading();
    void sendStop();
    void runSent();
    void forgetStop();
    void sendPendingStops();
    // Begins the run `start` describes, with what is in force now (threshold, limits, port, time).
    void beginRun(RunStart start);
    Outcome requireConnection() const;
    Outcome requireNoRun() const;
    template <typename Event>
    void notifyLink(const Event& event) {
        const std::vector<LinkObserver*> observers = linkObservers_;
        for (LinkObserver* observer : observers) {
            event(*observer);
        }
    }

    TOmronCom& controller_;
    TCustomComPort& port_;
    Clock& lineClock_;
    Clock& runClock_;
    QLocale locale_;

    SharedState state_;
    RunModel run_{state_};
    std::unique_ptr<TMyThread> worker_;
    const std::vector<SequenceStep> updateSequence_ = buildUpdateSequence(*this);

    LinkHealth health_;
    StopConfirmation stopCheck_;
    std::vector<LinkObserver*> linkObservers_;
    std::string linkDevicePath_;            // the device the link was made on
    std::optional<std::string> linkAlias_;  // its stable name, for a USB adapter
    Tick lastReopenTick_ = 0;
    Tick lastRampWriteTick_ = 0;
    // The programme's view of the readings: the count last seen, the run clock at the last fresh
    // one, and whether the link was live on the last pass.
    unsigned long readingsSeenByProgramme_ = 0;
    Tick lastReadingRunTick_ = 0;
    bool programmeSawLink_ = false;  // line clock: when a ramp's set point last went out
    std::chrono::seconds blindStopLimit_ = kDefaultBlindStop;
    // Status readings when Run was last asked for or went out: the run state counts as the answer
    // to Run two readings on.
    unsigned long statusReadingsAtRun_ = 0;
    // The driver's reading count last reported as the run's reading, and whether the link was
    // live then.
    unsigned long readingsReported_ = 0;
    bool lastReportLive_ = false;
    // The line clock's tick when the run began: a run that starts without readings is blind from
    // then on.
    Tick runStartLineTick_ = 0;
};

}  // namespace lumas
