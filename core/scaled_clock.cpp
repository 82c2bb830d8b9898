// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/scaled_clock.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <thread>

#include "threading/event_wait.h"

namespace lumas {

namespace {

double checkedFactor(double factor) {
    if (!ScaledClock::validFactor(factor)) {
        throw std::invalid_argument("The time scale must lie from 0.1 to 1000.");
    }
    return factor;
}

}  // namespace

bool ScaledClock::validFactor(double factor) {
    return factor >= kMinFactor && factor <= kMaxFactor;
}

ScaledClock::ScaledClock(double factor)
    : factor_(checkedFactor(factor)), factorSince_(std::chrono::steady_clock::now()) {}

double ScaledClock::clockMsAt(RealTime real) const {
    const std::chrono::duration<double, std::milli> since = real - factorSince_;
    return clockMsThen_ + since.count() * factor_;
}

Tick ScaledClock::now() const {
    const RealTime real = std::chrono::steady_clock::now();
    const std::lock_guard lock(mutex_);
    // Through 64 bits, so that the truncation to the tick's 32 bits is a wrap, as on the real
    // clock.
    return static_cast<Tick>(static_cast<std::uint64_t>(clockMsAt(real)));
}

void ScaledClock::sleep(std::chrono::milliseconds duration) {
    const std::chrono::milliseconds real = realDuration(duration);
    if (real.count() > 0) {
        std::this_thread::sleep_for(real);
    }
}

void ScaledClock::serveEventsFor(std::chrono::milliseconds duration) {
    lumas::serveEventsFor(realDuration(duration));
}

std::chrono::milliseconds ScaledClock::realDuration(std::chrono::milliseconds duration) const {
    if (duration <= std::chrono::milliseconds::zero()) {
        return std::chrono::milliseconds::zero();
    }
    constexpr std::chrono::milliseconds kLongest{std::numeric_limits<int>::max()};
    // In floating point: a long duration divided by a factor below 1 leaves the integer range.
    const double real = std::ceil(static_cast<double>(duration.count()) / factor());
    return real >= static_cast<double>(kLongest.count())
               ? kLongest
               : std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(real));
}

void ScaledClock::setFactor(double factor) {
    checkedFactor(factor);
    const RealTime real = std::chrono::steady_clock::now();
    const std::lock_guard lock(mutex_);
    clockMsThen_ = clockMsAt(real);
    factorSince_ = real;
    factor_ = factor;
}

double ScaledClock::factor() const {
    const std::lock_guard lock(mutex_);
    return factor_;
}

}  // namespace lumas
