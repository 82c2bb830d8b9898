// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Link health from the driver's count of readings and its port, on ticks chosen by the test.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "core/link_health.h"

namespace lumas {
namespace {

using State = LinkHealth::State;

struct Step {
    Tick at;
    bool portOk;
    unsigned long readings;
    std::optional<State> change;  // what update() reports
};

void play(LinkHealth& health, const std::vector<Step>& steps, const char* name) {
    for (const Step& step : steps) {
        EXPECT_EQ(health.update(step.at, step.portOk, step.readings), step.change)
            << name << " at " << step.at;
    }
}

TEST(LinkHealth, FollowsReadingsAndThePort) {
    const Tick limit = LinkHealth::kNoReplyAfterMs;
    struct Case {
        const char* name;
        Tick start;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"first reading makes it live, silence past the limit loses it, a reading brings it back",
         1000,
         {{1500, true, 0, std::nullopt},
          {2000, true, 1, State::Live},
          {2000 + limit, true, 1, std::nullopt},  // exactly at the limit: still live
          {2001 + limit, true, 1, State::NoReply},
          {9000 + limit, true, 1, std::nullopt},  // reported once
          {9100 + limit, true, 2, State::Live}}},
        {"no reading at all after connecting",
         0,
         {{limit, true, 0, std::nullopt}, {limit + 1, true, 0, State::NoReply}}},
        {"port failure, then the port open again waits for a reading",
         0,
         {{100, true, 1, State::Live},
          {200, false, 1, State::PortFailed},
          {5000, false, 1, std::nullopt},
          {7000, true, 1, State::Waiting},
          {7000 + limit, true, 1, std::nullopt},
          {7001 + limit, true, 1, State::NoReply}}},
        {"readings across the tick wrap",
         0xFFFFF000U,
         {{0xFFFFFF00U, true, 1, State::Live},
          {0x00000100U, true, 2, std::nullopt},
          {0x00000100U + limit, true, 2, std::nullopt},
          {0x00000101U + limit, true, 2, State::NoReply}}},
    };
    for (const Case& c : cases) {
        LinkHealth health;
        health.start(c.start, 0);
        EXPECT_EQ(health.state(), State::Waiting) << c.name;
        play(health, c.steps, c.name);
    }
}

TEST(LinkHealth, OfflineReportsNothingUntilStarted) {
    LinkHealth health;
    EXPECT_EQ(health.update(0, true, 5), std::nullopt);
    EXPECT_FALSE(health.wanted());
    health.start(0, 5);
    EXPECT_EQ(health.update(10, true, 5), std::nullopt) << "a reading from before does not count";
    EXPECT_EQ(health.update(20, true, 6), State::Live);
    health.stop();
    EXPECT_EQ(health.update(30, false, 6), std::nullopt);
    EXPECT_EQ(health.state(), State::Offline);
}

}  // namespace
}  // namespace lumas
