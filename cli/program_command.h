// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>
#include <vector>

namespace lumas::cli {

// `lumasctl program PORT --step T,t ... [--csv FOLDER] [--csv-interval SECONDS] [--time-scale F]`,
// or `lumasctl program PORT --file FILE ...`, the programme of a programme file checked with the
// same limits (before the port is opened), told step by step with its row, cycle, ramp and band,
// and each soak as it waits for its band and as its hold starts counting:
// runs a set-point programme through the core as the window's Advanced control tab does: the
// steps go into the programme fields, each temperature is checked as the window checks it, the
// emergency threshold comes from the settings file, and the core's Start runs it with its worker,
// step switch, emergency cut-off and, with --csv, its CSV log. Prints a line as each step begins
// and one at the end. Returns 0 when the programme has run to its end, kExitEmergency when the
// emergency cut-off ended it, and kExitSignalBase plus the signal's number when SIGINT or SIGTERM
// stopped it (the core's Stop is sent to the controller first). Throws SessionError when the
// arguments cannot be used, the link cannot be made or it fails.
int programCommand(const std::vector<std::string>& arguments);

}  // namespace lumas::cli
