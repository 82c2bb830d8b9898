// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_store.h"
#include "core/shared_state.h"
#include "metrics/metrics_server.h"

namespace lumas::cli {

// The temperatures the command line takes, in °C, as the window's fields take them: the set point
// of `set-point` as the driver writes it and the window's single set-point field takes it, a
// programme's steps as the window's programme fields take them. Both with at most one decimal: the
// controller holds tenths.
inline constexpr double kSetPointLowest = -70.0;
inline constexpr double kSetPointHighest = 400.0;
inline constexpr double kStepLowest = kSetPointMin;
inline constexpr double kStepHighest = kSetPointMax;

inline constexpr int kMaxCsvIntervalSeconds = 86400;

// The arguments of `lumasctl set-point PORT VALUE`.
struct SetPointArguments {
    std::string port;
    double value = 0.0;  // kSetPointLowest to kSetPointHighest, in tenths
};

// The arguments of `lumasctl watch PORT [--time-scale F] [--metrics ADDRESS:PORT]`.
struct WatchArguments {
    std::string port;
    double timeScale = 1.0;
    std::optional<metrics::ListenAddress> metrics;  // serve /metrics there
};

// One programme step: hold `temperature` (°C) for `holdMinutes` whole minutes.
struct ProgrammeStep {
    double temperature = 0.0;
    int holdMinutes = 0;
};

// The arguments of `lumasctl program PORT --step T,t [--step T,t ...] [--csv FOLDER]
// [--csv-interval SECONDS] [--time-scale F] [--metrics ADDRESS:PORT] [--blind-stop SECONDS]
// [--resume-after-restart]`.
struct ProgramArguments {
    std::string port;
    // 1 to 12, in order; each temperature kStepLowest to kStepHighest in tenths, each hold time 1
    // to kMaxHoldMinutes.
    std::vector<ProgrammeStep> steps;
    // Or a programme file (--file), checked with the same limits; never both.
    std::optional<std::string> programmeFile;
    std::optional<std::string> csvFolder;
    int csvIntervalSeconds = kDefaultCsvInterval;
    double timeScale = 1.0;
    std::optional<metrics::ListenAddress> metrics;  // serve /metrics there
    // A run with no valid temperature for this long is stopped; zero: never.
    std::chrono::seconds blindStop = kDefaultBlindStop;
    // A controller found Stopped in the middle of the run (a power cut, a restart) is sent Run and
    // the run goes on; without it, the run ends there.
    bool resumeAfterRestart = false;
    // The run archive the run is recorded in (the default one when not given), or none.
    std::optional<std::string> archive;
    bool noArchive = false;
};

// Each reads the arguments that follow the command's name. An option's value follows it as the
// next argument or after "=" (--step=25,10); a flag takes no value. Every number is read the same
// way in every locale: a decimal point or a decimal comma, no exponent, hexadecimal or other
// characters; whole numbers are digits alone. A missing or empty port, or one that begins with a
// "-", is refused. Each throws SessionError with kExitUsage, saying what is wrong, when the
// arguments cannot be used.
std::string parsePortArguments(const std::vector<std::string>& arguments,
                               std::string_view command);  // probe, run, stop: PORT alone
SetPointArguments parseSetPointArguments(const std::vector<std::string>& arguments);
WatchArguments parseWatchArguments(const std::vector<std::string>& arguments);
ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments);

// A temperature in °C written with a decimal point or a decimal comma and at most one decimal;
// throws SessionError with kExitUsage when `text` is none. The range is the caller's to check.
double parseTemperature(const std::string& text);

// An option of a command: whether it takes a value, and what is done with it.
struct CommandOption {
    bool takesValue = true;  // false: a flag, which takes none
    std::function<void(const std::string& value)> handle;
};
// Reads options and positional arguments; returns the positional ones. An option's value follows
// it as the next argument or after "="; an unknown option, a value given to a flag or a missing
// value throws SessionError with kExitUsage.
std::vector<std::string> scanArguments(const std::vector<std::string>& arguments,
                                       const std::map<std::string, CommandOption>& options);

// Whether the arguments after a command's name ask for its usage ("--help" or "-h" among them),
// which is shown before anything else is done.
bool asksForHelp(const std::vector<std::string>& arguments);

// The usage of one command, as `lumasctl COMMAND --help` shows it; nullopt for a name that is no
// command.
std::optional<std::string_view> commandUsage(std::string_view command);

}  // namespace lumas::cli
