// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <cstdint>

namespace lumas {

// The millisecond tick every elapsed time is measured with: unsigned 32 bits, wrapping at 2^32,
// so an elapsed time is always the difference of two ticks taken modulo 2^32.
using Tick = std::uint32_t;

inline Tick ticksSince(Tick earlier, Tick now) {
    return static_cast<Tick>(now - earlier);
}

// The source of ticks and the two ways of waiting. Production reads the monotonic clock; tests use
// a clock whose time moves only when something waits on it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Tick now() const = 0;
    // A plain sleep of the calling thread; it serves no events. Any thread.
    virtual void sleep(std::chrono::milliseconds duration) = 0;
    // On the UI thread: lets the event loop run (timers, handlers, receive events, hand-overs from
    // the worker) for `duration`, blocking on it rather than spinning.
    virtual void serveEventsFor(std::chrono::milliseconds duration) = 0;
};

// The monotonic clock in milliseconds, truncated to 32 bits.
class MonotonicClock final : public Clock {
  public:
    Tick now() const override;
    void sleep(std::chrono::milliseconds duration) override;
    void serveEventsFor(std::chrono::milliseconds duration) override;
};

// Waits until at least `duration` has passed on `clock`, serving events meanwhile when called on
// the UI thread. A negative or zero `duration` serves the events that are waiting once.
void DelayMs(Clock& clock, std::chrono::milliseconds duration);

}  // namespace lumas
