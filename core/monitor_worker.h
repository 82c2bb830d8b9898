#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "core/clock.h"
#include "core/shared_state.h"
#include "protocol/omron_com.h"

namespace lumas {

// The monitoring worker: polls the controller in a fixed cycle of three reads, one request at a
// time, and after every pass hands `updateMainForm` to the UI thread and waits until it has run.
// It touches only `PollStep`, `LastSendTick`, the driver's AllowToSend and the three poll
// requests (the driver serialises those with its own lock).
class TMyThread {
  public:
    // Starts running at once.
    TMyThread(TOmronCom& controller, SharedState& state, Clock& clock,
              std::function<void()> updateMainForm);
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

    static constexpr int kPassDelayMs = 250;

  private:
    void Execute();
    // One step of the poll cycle: send a read, or look whether its reply has come in.
    void Poll();
    void SendPollRequest(void (TOmronCom::*request)(), int nextStep);

    TOmronCom& controller_;
    SharedState& state_;
    Clock& clock_;
    std::function<void()> updateMainForm_;  // run on the UI thread only
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;  // started last, joined by WaitFor
};

}  // namespace lumas
