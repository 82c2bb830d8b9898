// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include "core/clock.h"

namespace lumas {

// Checks that a Stop sent to the controller was carried out, by the run state that the poll
// cycle reads anyway: a run-state reply that says Stopped and came in after the Stop went out
// confirms it. Until then the Stop is sent again every kConfirmWithinMs; after kSends sends the
// operator is to be told that the chamber may still be running, and the Stop keeps going out at
// the same pace (a link that comes back still gets it) until it is confirmed or given up.
class StopConfirmation {
  public:
    // Two poll cycles read the run state twice.
    static constexpr Tick kConfirmWithinMs = 4000;
    static constexpr int kSends = 3;

    enum class Outcome {
        Waiting,       // nothing to do yet (or nothing pending)
        Resend,        // send the Stop again now
        Confirmed,     // the controller reports Stopped
        NotConfirmed,  // kSends sends without confirmation: tell the operator (once); resend
    };

    // A Stop went out at `now`; `statusReadings` is the driver's count of run-state replies then.
    // A Stop sent while one is pending keeps the pending one's count of sends.
    void sent(Tick now, unsigned long statusReadings);
    // Checks the driver's run state at `now`.
    Outcome update(Tick now, unsigned long statusReadings, bool stopped);
    // Nothing is pending any more (a new run started, the link was let go).
    void cancel() { pending_ = false; }

    bool pending() const { return pending_; }
    // Whether the operator has been told that this Stop was not confirmed.
    bool reported() const { return reported_; }

  private:
    bool pending_ = false;
    bool reported_ = false;
    int sends_ = 0;
    Tick lastSendTick_ = 0;
    unsigned long readingsAtFirstSend_ = 0;
};

}  // namespace lumas
