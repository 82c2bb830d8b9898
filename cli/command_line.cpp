#include "cli/command_line.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "cli/exit_status.h"
#include "cli/scaled_clock.h"
#include "core/target_curve.h"

namespace lumas::cli {

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw SessionError(why, kExitUsage);
}

std::optional<double> numberIn(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A whole number of decimal digits from `low` to `high`.
std::optional<int> wholeNumberIn(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

double parseTimeScale(const std::string& text) {
    const std::optional<double> factor = numberIn(text);
    // The clock's own range; see ScaledClock::kMinFactor for why time is slowed down no further.
    if (!factor || !ScaledClock::validFactor(*factor)) {
        refuse("--time-scale takes a number from 0.1 to 1000, not \"" + text + "\".");
    }
    return *factor;
}

ProgrammeStep parseStep(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
        refuse("--step takes a temperature and a hold time as T,t (such as 25.5,10), not \"" +
               text + "\".");
    }
    const std::string temperatureText = text.substr(0, comma);
    const std::optional<double> temperature = numberIn(temperatureText);
    if (!temperature) {
        refuse("\"" + temperatureText + "\" in --step " + text +
               " is not a temperature (write the decimals after a point).");
    }
    const std::string holdText = text.substr(comma + 1);
    const std::optional<int> hold = wholeNumberIn(holdText, 0, kMaxHoldMinutes);
    if (!hold) {
        refuse("The hold time \"" + holdText + "\" in --step " + text +
               " must be a whole number of minutes from 0 to 9999.");
    }
    return {*temperature, *hold};
}

metrics::ListenAddress parseMetricsAddress(const std::string& text) {
    const std::optional<metrics::ListenAddress> address = metrics::parseListenAddress(text);
    if (!address) {
        refuse(
            "--metrics takes ADDRESS:PORT (such as 127.0.0.1:9100, [::1]:9100, or a port alone "
            "for 127.0.0.1; port 0 picks a free one), not \"" +
            text + "\".");
    }
    return *address;
}

using OptionHandler = std::function<void(const std::string& value)>;

// Reads options (each with a value) and positional arguments; returns the positional ones.
std::vector<std::string> scan(const std::vector<std::string>& arguments,
                              const std::map<std::string, OptionHandler>& options) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name.rfind("--", 0) != 0) {
            positional.push_back(name);
            continue;
        }
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto option = options.find(name);
        if (option == options.end()) {
            refuse("Unknown option " + name + ".");
        }
        if (!value) {
            if (i + 1 == arguments.size()) {
                refuse(name + " needs a value.");
            }
            value = arguments[++i];
        }
        option->second(*value);
    }
    return positional;
}

std::string onePort(const std::vector<std::string>& positional) {
    if (positional.size() != 1) {
        refuse(positional.empty() ? "The port is missing."
                                  : "One port only; \"" + positional[1] + "\" is one too many.");
    }
    return positional[0];
}

}  // namespace

double parseTemperature(const std::string& text) {
    std::string withPoint = text;
    for (char& c : withPoint) {
        if (c == ',') {
            c = '.';
        }
    }
    const std::optional<double> value = numberIn(withPoint);
    if (!value) {
        refuse("\"" + text + "\" is not a temperature.");
    }
    return *value;
}

WatchArguments parseWatchArguments(const std::vector<std::string>& arguments) {
    WatchArguments parsed;
    const std::vector<std::string> positional = scan(
        arguments,
        {{"--time-scale", [&](const std::string& v) { parsed.timeScale = parseTimeScale(v); }},
         {"--metrics", [&](const std::string& v) { parsed.metrics = parseMetricsAddress(v); }}});
    parsed.port = onePort(positional);
    return parsed;
}

ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments) {
    ProgramArguments parsed;
    bool intervalGiven = false;
    const std::vector<std::string> positional = scan(
        arguments,
        {{"--step", [&](const std::string& v) { parsed.steps.push_back(parseStep(v)); }},
         {"--csv",
          [&](const std::string& v) {
              if (v.empty()) {
                  refuse("--csv needs a folder.");
              }
              parsed.csvFolder = v;
          }},
         {"--csv-interval",
          [&](const std::string& v) {
              const std::optional<int> seconds = wholeNumberIn(v, 1, kMaxCsvIntervalSeconds);
              if (!seconds) {
                  refuse("--csv-interval takes a whole number of seconds from 1 to 86400, not \"" +
                         v + "\".");
              }
              parsed.csvIntervalSeconds = *seconds;
              intervalGiven = true;
          }},
         {"--time-scale", [&](const std::string& v) { parsed.timeScale = parseTimeScale(v); }},
         {"--metrics", [&](const std::string& v) { parsed.metrics = parseMetricsAddress(v); }}});
    parsed.port = onePort(positional);
    if (parsed.steps.empty()) {
        refuse("A programme needs at least one --step T,t.");
    }
    if (parsed.steps.size() > static_cast<std::size_t>(kProgrammeSteps)) {
        refuse("A programme has at most twelve steps; " + std::to_string(parsed.steps.size()) +
               " were given.");
    }
    if (intervalGiven && !parsed.csvFolder) {
        refuse("--csv-interval goes with --csv FOLDER.");
    }
    return parsed;
}

}  // namespace lumas::cli
