// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>
#include <vector>

namespace lumas::cli {

// `lumasctl watch PORT [--time-scale F] [--metrics ADDRESS:PORT]`: serves /metrics when asked
// to, connects through the core as the window does and prints a line with the temperature, the set
// point and the run state whenever one of them changes on the read-outs, until SIGINT or SIGTERM;
// then disconnects (no stop command) and returns 0. Throws SessionError when the link cannot be
// made or fails.
int watchCommand(const std::vector<std::string>& arguments);

}  // namespace lumas::cli
