#include "core/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "threading/event_wait.h"
#include "threading/ui_hand_over.h"

namespace lumas {

Tick MonotonicClock::now() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<Tick>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void MonotonicClock::sleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void MonotonicClock::serveEventsFor(int ms) {
    lumas::serveEventsFor(ms > 0 ? ms : 0);
}

void DelayMs(Clock& clock, int ms) {
    const bool onUiThread = UiHandOver::instance().onUiThread();
    const Tick start = clock.now();
    do {
        const auto elapsed = static_cast<std::int64_t>(ticksSince(start, clock.now()));
        const int remaining = static_cast<int>(std::max<std::int64_t>(ms - elapsed, 0));
        if (onUiThread) {
            clock.serveEventsFor(remaining);
        } else {
            clock.sleepMs(remaining);
        }
    } while (static_cast<std::int64_t>(ticksSince(start, clock.now())) < ms);
}

}  // namespace lumas
