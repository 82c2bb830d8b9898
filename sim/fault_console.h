// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>
#include <string_view>

#include "sim/simulated_controller.h"

namespace lumas::sim {

// The fault console of lumas-sim: commands typed one per line to make the simulated controller
// misbehave by hand while the program runs ("silence 5", "fail-next 2203", "vanish", ...).

struct ConsoleReply {
    bool ok = true;
    // What to show: one line (without its newline) for a command, the command list for "help",
    // empty for a blank line or a comment (a line starting with '#').
    std::string text;
};

// Carries out one console line on `controller` and says what happened or why nothing did.
ConsoleReply applyConsoleLine(SimulatedController& controller, std::string_view line);

// The console's commands, one per line with its argument and what it does.
std::string consoleHelp();

}  // namespace lumas::sim
