// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>

#include "core/clock.h"

namespace lumas {

// Whether the controller answers, judged the only way that matters to the operator: by fresh
// temperature readings. The driver counts its valid temperature replies; the count not moving
// for longer than kNoReplyAfterMs means the reading on the screen would be a frozen one.
//
// Why 4 s: a healthy poll cycle brings a temperature every six worker passes, about 1.5 s, and an
// update that serves every pending command holds the worker up to about 1.9 s more, so a healthy
// link can go about 3.4 s between two readings. 4 s never flags a healthy link and reports a
// silent controller within about 4.25 s (the next update after the limit).
class LinkHealth {
  public:
    static constexpr Tick kNoReplyAfterMs = 4000;

    enum class State {
        Offline,     // no link wanted (before connecting, after Disconnect)
        Waiting,     // the port is open; the first reading has not come in yet
        Live,        // readings come in
        NoReply,     // the port is open but no valid temperature for kNoReplyAfterMs
        PortFailed,  // the device went away or cannot be written to
    };

    // A link is wanted from `now` (Waiting); the first reading has kNoReplyAfterMs to arrive.
    void start(Tick now, unsigned long readings);
    // No link is wanted any more.
    void stop() { state_ = State::Offline; }

    // Takes the driver's state at `now`: whether its port is usable and its count of readings.
    // Returns the new state when it changed.
    std::optional<State> update(Tick now, bool portOk, unsigned long readings);

    State state() const { return state_; }
    bool live() const { return state_ == State::Live; }
    bool wanted() const { return state_ != State::Offline; }
    // When the last fresh reading came in, or the link was started before the first one.
    Tick lastFreshReadingTick() const { return lastFreshTick_; }

  private:
    State state_ = State::Offline;
    unsigned long readings_ = 0;
    // The time from which the next reading is awaited (moved on when the port is opened again).
    Tick lastReadingTick_ = 0;
    Tick lastFreshTick_ = 0;  // the last reading itself
};

}  // namespace lumas
