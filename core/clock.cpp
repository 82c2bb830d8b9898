#include "core/clock.h"

#include <chrono>

namespace lumas {

Tick MonotonicClock::now() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<Tick>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace lumas
