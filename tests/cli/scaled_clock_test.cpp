// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The command line's clock: how long its waits last in real time.

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <ostream>
#include <string>

#include "core/scaled_clock.h"

namespace lumas::cli {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kLongestTimer{std::numeric_limits<int>::max()};

struct RealDurationCase {
    const char* name;
    double factor;
    std::chrono::milliseconds clockTime;
    std::chrono::milliseconds realTime;
};
void PrintTo(const RealDurationCase& c, std::ostream* os) {
    *os << c.name;
}

class ScaledClockRealDurationTest : public ::testing::TestWithParam<RealDurationCase> {};

TEST_P(ScaledClockRealDurationTest, LastsClockTimeOverTheFactorRoundedUp) {
    const RealDurationCase& c = GetParam();
    const ScaledClock clock(c.factor);
    EXPECT_EQ(clock.realDuration(c.clockTime), c.realTime);
}

INSTANTIATE_TEST_SUITE_P(
    Durations, ScaledClockRealDurationTest,
    ::testing::Values(RealDurationCase{"real_time", 1.0, 1500ms, 1500ms},
                      RealDurationCase{"zero", 10.0, 0ms, 0ms},
                      RealDurationCase{"negative", 1.0, -5ms, 0ms},
                      RealDurationCase{"rounded_up", 3.0, 10ms, 4ms},
                      RealDurationCase{"never_below_one_ms", 1000.0, 1ms, 1ms},
                      RealDurationCase{"exact_division", 1000.0, 1000ms, 1ms},
                      RealDurationCase{"just_over", 1000.0, 1001ms, 2ms},
                      RealDurationCase{"slowed_down", 0.1, 1000ms, 10000ms},
                      // Beyond a timer's reach: the longest interval, not a wrapped one.
                      RealDurationCase{"slowed_beyond_a_timer", 0.1, 24h * 365, kLongestTimer},
                      RealDurationCase{"longest_slowed", 0.1, std::chrono::milliseconds::max(),
                                       kLongestTimer},
                      RealDurationCase{"longest_sped_up", 1000.0, std::chrono::milliseconds::max(),
                                       kLongestTimer}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScaledClockTest, RealDurationFollowsAChangeOfFactor) {
    ScaledClock clock(1.0);
    clock.setFactor(10.0);
    EXPECT_EQ(clock.realDuration(30s), 3s);
    clock.setFactor(0.5);
    EXPECT_EQ(clock.realDuration(30s), 60s);
}

}  // namespace
}  // namespace lumas::cli
