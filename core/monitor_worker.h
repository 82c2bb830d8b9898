// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <atomic>
#include <chrono>
#include <span>
#include <thread>

#include "core/clock.h"
#include "core/sequence_player.h"
#include "core/shared_state.h"
#include "protocol/omron_com.h"

namespace lumas {

// The monitoring worker: polls the controller in a fixed cycle of three reads, one request at a
// time, and after every pass plays the update of the main window: it hands each step of `update`
// to the UI thread, waits until the step has run there, and keeps the step's pause on this thread.
// It touches only `PollStep`, `LastSendTick`, the driver's AllowToSend and the three poll
// requests (the driver serialises those with its own lock); the steps touch the rest of the state
// on the UI thread.
//
// How the worker and the UI thread hand over. The UI thread owns the window, the shared state and
// the operator's handlers; the worker owns only the poll cycle. After a pass the worker hands the
// update's first step to the UI thread (UiHandOver::run), which runs it from its event loop the
// next time that loop turns, between two handlers, never inside one; the worker blocks until the
// step has returned. A step sends what is due at that moment (reading the pending flags as it
// runs) and names the pause to keep after its command; the worker sleeps that pause on its own
// thread, so the UI thread is free meanwhile: the operator's clicks, the timers and the
// controller's replies are served at the top of the event loop during the pause, exactly as the
// fixed order of the update expects (a Stop pressed during the pause after Run goes out in the
// next step that looks at it). Then the next step is handed over, and so on to the end of the
// update; then the next pass begins.
//
// Stopping: Terminate lets the worker finish its pass and the whole update that follows it (so a
// Stop already asked for still goes out), and leave. WaitFor on the UI thread blocks on the
// hand-over itself (UiHandOver::waitServing): it runs the steps the worker still hands over while
// it waits, so it can never wait for a worker that waits for it. For the same reason no step ever
// stops the worker or opens a message box (a box's event loop could run a handler that does):
// the steps tell the operator through notices, which the window shows once the step has returned.
class TMyThread {
  public:
    // Starts running at once.
    // `update` must outlive the worker.
    TMyThread(TOmronCom& controller, SharedState& state, Clock& clock,
              std::span<const SequenceStep> update);
    // Terminate, then WaitFor.
    ~TMyThread();
    TMyThread(const TMyThread&) = delete;
    TMyThread& operator=(const TMyThread&) = delete;

    // Asks the loop to stop; it finishes its current pass, one more update included. Any thread.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    // True once the loop has been left.
    bool Finished() const { return finished_.load(); }
    // Joins the thread. On the UI thread it keeps serving the worker's hand-overs meanwhile, so a
    // worker waiting for its update can reach the end of its loop.
    void WaitFor();

    static constexpr std::chrono::milliseconds kPassDelay{250};

  private:
    void Execute();
    // One step of the poll cycle: send a read, or look whether its reply has come in.
    void Poll();
    void SendPollRequest(void (TOmronCom::*request)(), int nextStep);

    TOmronCom& controller_;
    SharedState& state_;
    Clock& clock_;
    std::span<const SequenceStep> update_;  // each step runs on the UI thread only
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;  // started last, joined by WaitFor
};

}  // namespace lumas
