// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <mutex>

#include "core/clock.h"

namespace lumas {

// The run clock of a trial, for lumasctl and the demo. Its ticks run `factor` times faster than the
// monotonic clock and each of its waits lasts 1/factor of its length in real time, so that a
// programme of minutes runs in seconds against the simulated controller (whose chamber is sped up
// alike). With factor 1 it keeps real time. The factor can change while the clock runs; the ticks
// go on from where they are. The UI thread and the monitoring worker use it alike.
class ScaledClock final : public Clock {
  public:
    // The slowest the clock runs. A factor below 1 slows the core's time down, which no trial
    // needs, and it stretches every pause of the core alike: the worker's pause between passes,
    // the pauses after commands and the wait for the controller to confirm a Stop each last
    // 1/factor of their length in real time, and a pause cannot be cut short. At 0.1 a stop
    // signal still brings the controller to a confirmed Stop within about half a minute; at 0.01
    // that takes minutes (and a programme minute lasts over an hour and a half); near 0 a single
    // pause lasts weeks, so that the command seems to hang and ignores stop signals.
    static constexpr double kMinFactor = 0.1;
    // The fastest: replies must still come back within the core's timeouts.
    static constexpr double kMaxFactor = 1000.0;

    // Whether `factor` lies in [kMinFactor, kMaxFactor]; false for NaN.
    static bool validFactor(double factor);

    // `factor` is a valid factor; throws std::invalid_argument otherwise.
    explicit ScaledClock(double factor = 1.0);

    // Clock milliseconds since construction, truncated to 32 bits.
    Tick now() const override;
    void sleep(std::chrono::milliseconds duration) override;
    void serveEventsFor(std::chrono::milliseconds duration) override;

    // The real time that `duration` of this clock lasts at the present factor, rounded up to
    // whole milliseconds: a wait of at least one clock millisecond is never shorter than one real
    // millisecond. Zero for a duration of zero or less; at most the longest interval a QTimer
    // takes (2^31 - 1 ms, about 24.8 days).
    std::chrono::milliseconds realDuration(std::chrono::milliseconds duration) const;

    // Same range as the constructor's; throws std::invalid_argument otherwise.
    void setFactor(double factor);
    double factor() const;

  private:
    using RealTime = std::chrono::steady_clock::time_point;

    // Clock milliseconds at `real`; the caller holds `mutex_`.
    double clockMsAt(RealTime real) const;

    // Guards the three members below: the factor since `factorSince_`, and the clock's
    // milliseconds at that moment.
    mutable std::mutex mutex_;
    double factor_;
    RealTime factorSince_;
    double clockMsThen_ = 0.0;
};

}  // namespace lumas
