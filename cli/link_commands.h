// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>
#include <vector>

namespace lumas::cli {

// The one-shot commands on the controller link, each given the arguments after its name. They
// return the exit status or throw SessionError.
int probeCommand(const std::vector<std::string>& arguments);     // PORT
int setPointCommand(const std::vector<std::string>& arguments);  // PORT VALUE
int runCommand(const std::vector<std::string>& arguments);       // PORT
int stopCommand(const std::vector<std::string>& arguments);      // PORT

}  // namespace lumas::cli
