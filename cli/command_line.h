#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "metrics/metrics_server.h"

namespace lumas::cli {

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
// [--csv-interval SECONDS] [--time-scale F] [--metrics ADDRESS:PORT]`.
struct ProgramArguments {
    std::string port;
    std::vector<ProgrammeStep> steps;  // 1 to 12, in order
    std::optional<std::string> csvFolder;
    int csvIntervalSeconds = kDefaultCsvInterval;
    double timeScale = 1.0;
    std::optional<metrics::ListenAddress> metrics;  // serve /metrics there
};

inline constexpr int kMaxCsvIntervalSeconds = 86400;

// Each reads the arguments that follow the command's name. An option's value follows it as the
// next argument or after "=" (--step=25,10). Both throw SessionError with kExitUsage, saying what
// is wrong, when the arguments cannot be used.
WatchArguments parseWatchArguments(const std::vector<std::string>& arguments);
ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments);

// A temperature in °C written with a decimal point or a decimal comma; throws SessionError with
// kExitUsage when `text` is not a finite number.
double parseTemperature(const std::string& text);

}  // namespace lumas::cli
