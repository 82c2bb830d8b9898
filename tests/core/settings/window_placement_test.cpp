// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/window_placement.h"

#include <gtest/gtest.h>

namespace lumas {
namespace {

const QSize kSmallest(600, 480);
const QRect kLaptop(0, 0, 1024, 740);  // 1024 x 768 with a panel
const QRect kRightMonitor(1024, 0, 1920, 1050);

struct Case {
    const char* what;
    QRect saved;
    QList<QRect> screens;
    QRect expected;
};

class FitFrame : public ::testing::TestWithParam<Case> {};

TEST_P(FitFrame, LandsWhollyOnAScreenThereIsNow) {
    const Case& c = GetParam();
    const QRect fitted = fitFrameOnScreens(c.saved, c.screens, kSmallest);
    EXPECT_EQ(fitted, c.expected) << c.what;
    if (!c.screens.isEmpty()) {
        bool onOne = false;
        for (const QRect& screen : c.screens) {
            onOne = onOne || screen.contains(fitted);
        }
        EXPECT_TRUE(onOne) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FitFrame,
    ::testing::Values(
        Case{"kept as it was",
             QRect(100, 50, 1408, 832),
             {QRect(0, 0, 1600, 1000)},
             QRect(100, 50, 1408, 832)},
        Case{"larger than the screen now: shrunk to it, at its corner",
             QRect(100, 50, 1408, 832),
             {kLaptop},
             QRect(0, 0, 1024, 740)},
        Case{"the first size on a small screen",
             QRect(0, 0, 1166, 684),
             {kLaptop},
             QRect(0, 0, 1024, 684)},
        Case{"hanging off the right edge: moved in, size kept",
             QRect(900, 100, 800, 600),
             {kLaptop},
             QRect(224, 100, 800, 600)},
        Case{"above and left of the screen",
             QRect(-300, -40, 800, 600),
             {kLaptop},
             QRect(0, 0, 800, 600)},
        Case{"on a monitor that is gone: onto the primary",
             QRect(2500, 300, 1400, 800),
             {kLaptop},
             QRect(0, 0, 1024, 740)},
        Case{"mostly on the second monitor: stays there",
             QRect(900, 200, 1400, 800),
             {kLaptop, kRightMonitor},
             QRect(1024, 200, 1400, 800)},
        Case{"smaller than the smallest: grown to it",
             QRect(10, 10, 200, 100),
             {kLaptop},
             QRect(10, 10, 600, 480)},
        Case{"a screen smaller than the smallest size: the screen wins",
             QRect(0, 0, 1166, 684),
             {QRect(0, 0, 500, 400)},
             QRect(0, 0, 500, 400)},
        Case{"no screens known: as saved", QRect(5, 6, 700, 500), {}, QRect(5, 6, 700, 500)}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace lumas
