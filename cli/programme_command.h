#pragma once

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

// A planned length as the operator reads it: "35 min", "2 h 35 min", "1 h 0.5 min".
std::string plannedLengthText(double minutes);

}  // namespace lumas::cli
