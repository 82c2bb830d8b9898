#pragma once

#include <cstdint>

namespace lumas {

// The millisecond tick every elapsed time is measured with: unsigned 32 bits, wrapping at 2^32,
// so an elapsed time is always the difference of two ticks taken modulo 2^32.
using Tick = std::uint32_t;

inline Tick ticksSince(Tick earlier, Tick now) {
    return static_cast<Tick>(now - earlier);
}

// The source of ticks. Production reads the monotonic clock; tests use a clock they move by hand.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Tick now() const = 0;
};

// The monotonic clock in milliseconds, truncated to 32 bits.
class MonotonicClock final : public Clock {
  public:
    Tick now() const override;
};

}  // namespace lumas
