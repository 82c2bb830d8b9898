// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/clock.h"

#include <algorithm>
#include <thread>

#include "threading/event_wait.h"
#include "threading/ui_hand_over.h"

namespace lumas {

Tick MonotonicClock::now() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<Tick>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void MonotonicClock::sleep(std::chrono::milliseconds duration) {
    if (duration.count() > 0) {
        std::this_thread::sleep_for(duration);
    }
}

void MonotonicClock::serveEventsFor(std::chrono::milliseconds duration) {
    lumas::serveEventsFor(std::max(duration, std::chrono::milliseconds(0)));
}

void DelayMs(Clock& clock, std::chrono::milliseconds duration) {
    const bool onUiThread = UiHandOver::instance().onUiThread();
    const Tick start = clock.now();
    const auto passed = [&] { return std::chrono::milliseconds(ticksSince(start, clock.now())); };
    do {
        const std::chrono::milliseconds remaining =
            std::max(duration - passed(), std::chrono::milliseconds(0));
        if (onUiThread) {
            clock.serveEventsFor(remaining);
        } else {
            clock.sleep(remaining);
        }
    } while (passed() < duration);
}

}  // namespace lumas
