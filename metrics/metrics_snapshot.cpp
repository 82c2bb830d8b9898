// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "metrics/metrics_snapshot.h"

#include <array>
#include <charconv>
#include <cmath>

namespace lumas::metrics {

namespace {

void header(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void sample(std::string& out, const char* name, double value) {
    out += name;
    out += ' ';
    out += sampleValueText(value);
    out += '\n';
}

// A gauge whose value may be unknown: HELP and TYPE always, a sample only for a number.
void gauge(std::string& out, const char* name, const char* help, std::optional<double> value) {
    header(out, name, "gauge", help);
    if (value && !std::isnan(*value)) {
        sample(out, name, *value);
    }
}

void counter(std::string& out, const char* name, const char* help, std::uint64_t value) {
    header(out, name, "counter", help);
    out += name;
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

void labelledCounter(std::string& out, const char* name, const char* help, const char* label,
                     const std::vector<std::pair<std::string, std::uint64_t>>& values) {
    header(out, name, "counter", help);
    for (const auto& [labelValue, value] : values) {
        out += name;
        out += '{';
        out += label;
        out += "=\"";
        out += escapeLabelValue(labelValue);
        out += "\"} ";
        out += std::to_string(value);
        out += '\n';
    }
}

std::optional<double> flag(bool on) {
    return on ? 1.0 : 0.0;
}

}  // namespace

std::string sampleValueText(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    std::array<char, 32> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? std::string(text.data(), end) : std::string("NaN");
}

std::string escapeLabelValue(const std::string& value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '"':
                escaped += "\\\"";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string renderPrometheus(const MetricsSnapshot& s) {
    std::string out;
    out.reserve(2048);
    gauge(out, "lumas_temperature_celsius",
          "Chamber temperature measured by the controller; absent while the link is not live.",
          s.temperatureCelsius);
    gauge(out, "lumas_set_point_celsius",
          "Set point read from the controller; absent while the link is not live.",
          s.setPointCelsius);
    gauge(out, "lumas_link_up", "1 while fresh temperature readings come in, else 0.",
          flag(s.linkUp));
    gauge(out, "lumas_run_active",
          "1 while a programme or single set-point run is going on, its Stop not yet confirmed "
          "included.",
          flag(s.runActive));
    gauge(out, "lumas_controller_running",
          "1 while the controller reports Running, 0 while it reports Stopped; absent while the "
          "link is not live.",
          s.controllerRunning ? flag(*s.controllerRunning) : std::nullopt);
    gauge(out, "lumas_alarm_active",
          "1 while the chamber needs the operator: stopping after the emergency cut-off or the "
          "blind-run stop, a Stop not confirmed, or the controller found stopped mid-run.",
          flag(s.alarmActive));
    gauge(out, "lumas_last_reading_age_seconds",
          "Seconds since the last valid temperature reading.", s.lastReadingAgeSeconds);
    gauge(out, "lumas_run_start_time_seconds",
          "Start of the run going on, in seconds since 1970-01-01 UTC.", s.runStartTimeSeconds);
    gauge(out, "lumas_programme_steps", "Number of steps of the running programme.",
          s.programmeSteps ? std::optional<double>(*s.programmeSteps) : std::nullopt);
    gauge(out, "lumas_programme_step", "Current step (1 to 12) of the running programme.",
          s.programmeStep ? std::optional<double>(*s.programmeStep) : std::nullopt);
    gauge(out, "lumas_programme_remaining_minutes", "Minutes left of the running programme.",
          s.programmeRemainingMinutes);
    gauge(out, "lumas_emergency_threshold_celsius",
          "Temperature above which the emergency cut-off stops the controller.",
          s.emergencyThresholdCelsius);
    counter(out, "lumas_emergency_cutoffs_total", "Emergency cut-offs fired.", s.emergencyCutOffs);
    counter(out, "lumas_stops_not_confirmed_total",
            "Stops the controller did not confirm by its run state.", s.stopsNotConfirmed);
    labelledCounter(out, "lumas_link_losses_total", "Losses of the link, by reason.", "reason",
                    s.linkLosses);
    labelledCounter(out, "lumas_failed_replies_total",
                    "Requests to the controller that failed, by kind of failure.", "kind",
                    s.failedReplies);
    counter(out, "lumas_temperature_readings_total", "Valid temperature replies decoded.",
            s.temperatureReadings);
    header(out, "lumas_build_info", "gauge", "Always 1; the program's version and the port.");
    out += "lumas_build_info{version=\"";
    out += escapeLabelValue(s.version);
    out += "\",port=\"";
    out += escapeLabelValue(s.port);
    out += "\"} 1\n";
    return out;
}

}  // namespace lumas::metrics
