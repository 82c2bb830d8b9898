// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumas::metrics {

// The chamber's figures at one moment, as /metrics exports them. A value that is not known now
// (no fresh reading, no programme running) is empty and exported as no sample at all, never as a
// zero that a dashboard would take for a measurement.
struct MetricsSnapshot {
    std::optional<double> temperatureCelsius;  // the last reading, while the link is live
    std::optional<double> setPointCelsius;     // the last set point read, while the link is live
    bool linkUp = false;                       // link health is Live
    bool runActive = false;  // a programme or single set-point run is going on (stopping too)
    // The run state as the controller reports it (true: Running), while the link is live.
    std::optional<bool> controllerRunning;
    // The chamber needs the operator now: the run is stopping after the emergency cut-off or the
    // blind-run stop, a Stop is not confirmed, or the controller was found stopped mid-run.
    bool alarmActive = false;
    // Seconds since the last valid temperature reading (real time); none before the first.
    std::optional<double> lastReadingAgeSeconds;
    // When the run going on began, in seconds since 1970 (UTC).
    std::optional<double> runStartTimeSeconds;
    std::optional<int> programmeSteps;                // the running programme's number of steps
    std::optional<int> programmeStep;                 // 1..12 while a programme runs
    std::optional<double> programmeRemainingMinutes;  // while a programme runs
    std::optional<double> emergencyThresholdCelsius;

    std::uint64_t emergencyCutOffs = 0;
    std::uint64_t stopsNotConfirmed = 0;
    // Losses of the link by reason ("no_reply", "port_failed").
    std::vector<std::pair<std::string, std::uint64_t>> linkLosses;
    // The driver's failed requests by kind ("wrong_bcc", "end_code", ...).
    std::vector<std::pair<std::string, std::uint64_t>> failedReplies;
    // Valid temperature replies decoded by the driver; it grows with every poll cycle.
    std::uint64_t temperatureReadings = 0;
    // The program's version and the port of the link (empty before one), as labels of
    // lumas_build_info.
    std::string version;
    std::string port;
};

// The snapshot handed from the UI thread, which alone writes it, to the metrics server's thread,
// which reads it. Both sides copy the whole snapshot under the one lock, so a reader never sees
// half an update and neither side holds the lock for longer than a copy.
class MetricsStore {
  public:
    // UI thread.
    void publish(MetricsSnapshot snapshot) {
        const std::lock_guard<std::mutex> lock(mutex_);
        snapshot_ = std::move(snapshot);
    }
    // Any thread.
    MetricsSnapshot snapshot() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return snapshot_;
    }

  private:
    mutable std::mutex mutex_;  // guards snapshot_
    MetricsSnapshot snapshot_;
};

// The Prometheus text exposition format (version 0.0.4) of `snapshot`: a HELP and a TYPE line
// for every metric, names prefixed "lumas_" with their unit, label values escaped.
std::string renderPrometheus(const MetricsSnapshot& snapshot);

// A sample value as the format writes it: the shortest text that reads back as the same double,
// "NaN", "+Inf" or "-Inf".
std::string sampleValueText(double value);

// A label value with backslash, double quote and line feed escaped.
std::string escapeLabelValue(const std::string& value);

// The content type of renderPrometheus's text.
inline constexpr const char* kPrometheusContentType = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace lumas::metrics
