// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/programme.h"

namespace lumas::cli {

// `lumasctl programme check FILE [--from C]`: reads a programme file, checks it with the limits of
// `program`, and prints its plan unrolled, one line a step (its number, its row as written, its
// cycle in the innermost repeat, when it starts, its set point, ramp, hold and band) and the
// planned total. A first step that ramps at a rate is planned from C (default 25 °C). Every fault
// of the file is printed on standard error, one a line, and the command returns kExitUsage; a file
// that cannot be read too. Throws SessionError when the arguments cannot be used.
int programmeCommand(const std::vector<std::string>& arguments);

// The plan of `programme` as `programme check` prints it, ending with the total.
std::string programmePlanText(const Programme& programme);

// The lines `lumasctl program --file` prints as a run of a programme file goes on:
// "Step 5 (row 3, cycle 2 of 10): 85.0 °C, ramp at 5.0 °C/min, hold 15 min, band ±2.0 °C" as a
// step starts (`rampMinutes` is the step's planned ramp, for a ramp in a time),
std::string stepStartLine(int step, const lumas::ProgrammeStep& programmeStep);
// "Step 5: waiting for 85.0 ± 2.0 °C, now 79.3 °C" (", no reading" without one) as a soak waits for
// its band,
std::string soakWaitingLine(int step, double target, double band, std::optional<double> measured);
// and "Step 5: within the band, the hold counts" as its hold starts counting.
std::string soakCountingLine(int step);

// A planned length as the operator reads it: "35 min", "2 h 35 min", "1 h 0.5 min".
std::string plannedLengthText(double minutes);

}  // namespace lumas::cli
