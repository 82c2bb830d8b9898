// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/clock.h"
#include "threading/event_wait.h"

namespace lumas::test {

// A clock whose time moves only when the test moves it or something waits on it: a wait of `ms`
// advances it by `ms` and takes `ms / speed` milliseconds of real time (a UI-thread wait serves
// events meanwhile). At speed 0 a wait takes no real time; a UI-thread wait then only serves the
// events already waiting. So eight seconds of watchdog or hours of programme pass in milliseconds,
// and the time each step sees is exact. Any thread may read and wait on it.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(Tick start = 0, int speed = 0) : now_(start), speed_(speed) {}

    Tick now() const override { return now_.load(); }
    void set(Tick tick) { now_.store(tick); }
    void advance(Tick ms) { now_.fetch_add(ms); }
    void setSpeed(int speed) { speed_.store(speed); }

    void sleep(std::chrono::milliseconds duration) override {
        const int ms = static_cast<int>(duration.count());
        const int real = realMs(ms);
        if (real > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(real));
        } else {
            std::this_thread::yield();
        }
        advance(static_cast<Tick>(std::max(ms, 0)));
    }

    void serveEventsFor(std::chrono::milliseconds duration) override {
        const int ms = static_cast<int>(duration.count());
        lumas::serveEventsFor(std::chrono::milliseconds(realMs(ms)));
        advance(static_cast<Tick>(std::max(ms, 0)));
    }

  private:
    int realMs(int ms) const {
        const int speed = speed_.load();
        return speed > 0 && ms > 0 ? std::max(ms / speed, 1) : 0;
    }

    std::atomic<Tick> now_;
    std::atomic<int> speed_;
};

}  // namespace lumas::test
