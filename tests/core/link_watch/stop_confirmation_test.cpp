// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The confirmation of a Stop by the run state, on ticks chosen by the test.

#include <gtest/gtest.h>

#include <vector>

#include "core/stop_confirmation.h"

namespace lumas {
namespace {

using Outcome = StopConfirmation::Outcome;

struct Check {
    Tick at;
    unsigned long statusReadings;
    bool stopped;
    Outcome expected;
};

TEST(StopConfirmation, ConfirmsOnlyByARunStateReadAfterTheStop) {
    const Tick wait = StopConfirmation::kConfirmWithinMs;
    struct Case {
        const char* name;
        std::vector<Check> checks;
        bool pendingAtEnd = false;
    };
    // Each case sends a Stop at tick 0 with 10 run-state readings so far; a Resend or
    // NotConfirmed is answered by sending again at that tick.
    const std::vector<Case> cases = {
        {"Stopped on the next reading",
         {{100, 10, true, Outcome::Waiting},  // the reading from before the Stop does not count
          {1500, 11, true, Outcome::Confirmed},
          {1600, 12, true, Outcome::Waiting}}},
        {"still Running: sent again, then confirmed",
         {{1500, 11, false, Outcome::Waiting},
          {wait, 12, false, Outcome::Waiting},
          {wait + 1, 12, false, Outcome::Resend},
          {wait + 1500, 13, true, Outcome::Confirmed}}},
        {"never Stopped: told once after three sends, then sent on",
         {{wait + 1, 11, false, Outcome::Resend},
          {2 * wait + 2, 12, false, Outcome::Resend},
          {3 * wait + 3, 13, false, Outcome::NotConfirmed},
          {4 * wait + 4, 14, false, Outcome::Resend},
          {4 * wait + 500, 15, true, Outcome::Confirmed}}},
        {"no reply at all: the same as still Running",
         {{wait + 1, 10, false, Outcome::Resend},
          {2 * wait + 2, 10, false, Outcome::Resend},
          {3 * wait + 3, 10, false, Outcome::NotConfirmed}},
         true},
    };
    for (const Case& c : cases) {
        StopConfirmation confirmation;
        confirmation.sent(0, 10);
        for (const Check& check : c.checks) {
            const Outcome outcome =
                confirmation.update(check.at, check.statusReadings, check.stopped);
            EXPECT_EQ(outcome, check.expected) << c.name << " at " << check.at;
            if (outcome == Outcome::Resend || outcome == Outcome::NotConfirmed) {
                confirmation.sent(check.at, check.statusReadings);
            }
        }
        EXPECT_EQ(confirmation.pending(), c.pendingAtEnd) << c.name;
    }
}

TEST(StopConfirmation, CancelledOrNeverSentAsksForNothing) {
    StopConfirmation confirmation;
    EXPECT_EQ(confirmation.update(100000, 1, false), Outcome::Waiting);
    confirmation.sent(0, 0);
    confirmation.cancel();
    EXPECT_EQ(confirmation.update(100000, 1, false), Outcome::Waiting);
    EXPECT_FALSE(confirmation.pending());
}

}  // namespace
}  // namespace lumas
