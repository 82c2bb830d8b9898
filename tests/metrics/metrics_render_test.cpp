// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The Prometheus text of the chamber's figures.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "metrics/metrics_snapshot.h"

namespace {

using lumas::metrics::MetricsSnapshot;
using lumas::metrics::renderPrometheus;

MetricsSnapshot runningProgramme() {
    MetricsSnapshot s;
    s.temperatureCelsius = 23.4;
    s.setPointCelsius = 40.0;
    s.linkUp = true;
    s.runActive = true;
    s.controllerRunning = true;
    s.lastReadingAgeSeconds = 0.5;
    s.runStartTimeSeconds = 1765375509;
    s.programmeSteps = 5;
    s.programmeStep = 3;
    s.programmeRemainingMinutes = 125;
    s.emergencyThresholdCelsius = 280.0;
    s.emergencyCutOffs = 1;
    s.stopsNotConfirmed = 2;
    s.linkLosses = {{"no_reply", 4}, {"port_failed", 0}};
    s.failedReplies = {{"wrong_bcc", 7}, {"stale", 0}};
    s.temperatureReadings = 1234;
    s.version = "3.0.3";
    s.port = "/dev/serial/by-id/usb-\"chamber\"";
    return s;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The metric name of a sample line ("name{...} value" or "name value").
std::string sampleName(const std::string& line) {
    return line.substr(0, line.find_first_of("{ "));
}

TEST(MetricsRender, EveryFigureIsASampleOfItsFamily) {
    const std::string text = renderPrometheus(runningProgramme());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');

    const std::vector<std::string> expected = {
        "lumas_temperature_celsius 23.4",
        "lumas_set_point_celsius 40",
        "lumas_link_up 1",
        "lumas_run_active 1",
        "lumas_controller_running 1",
        "lumas_alarm_active 0",
        "lumas_last_reading_age_seconds 0.5",
        "lumas_run_start_time_seconds 1765375509",
        "lumas_programme_steps 5",
        "lumas_programme_step 3",
        "lumas_programme_remaining_minutes 125",
        "lumas_emergency_threshold_celsius 280",
        "lumas_emergency_cutoffs_total 1",
        "lumas_stops_not_confirmed_total 2",
        "lumas_link_losses_total{reason=\"no_reply\"} 4",
        "lumas_link_losses_total{reason=\"port_failed\"} 0",
        "lumas_failed_replies_total{kind=\"wrong_bcc\"} 7",
        "lumas_failed_replies_total{kind=\"stale\"} 0",
        "lumas_temperature_readings_total 1234",
        "lumas_build_info{version=\"3.0.3\",port=\"/dev/serial/by-id/usb-\\\"chamber\\\"\"} 1",
    };
    const std::vector<std::string> lines = linesOf(text);
    std::vector<std::string> samples;
    for (const std::string& line : lines) {
        if (line.rfind('#', 0) != 0) {
            samples.push_back(line);
        }
    }
    EXPECT_EQ(samples, expected) << text;

    // Each family: HELP, then TYPE, then its samples, and no family twice; counters end in
    // _total and every name carries the prefix.
    std::set<std::string> families;
    std::string current;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        SCOPED_TRACE(line);
        if (line.rfind("# HELP ", 0) == 0) {
            current = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_EQ(current.rfind("lumas_", 0), 0u);
            EXPECT_TRUE(families.insert(current).second) << "family twice";
            EXPECT_GT(line.size(), 7 + current.size() + 1) << "empty help";
            ASSERT_LT(i + 1, lines.size());
            const std::string type = lines[i + 1];
            EXPECT_TRUE(type == "# TYPE " + current + " gauge" ||
                        type == "# TYPE " + current + " counter")
                << type;
            if (type.ends_with(" counter")) {
                EXPECT_TRUE(current.ends_with("_total"));
            }
            ++i;
        } else {
            EXPECT_EQ(sampleName(line), current) << "a sample outside its family";
        }
    }
}

TEST(MetricsRender, UnknownValuesGiveNoSampleRatherThanAZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        void (*change)(MetricsSnapshot&, double nan);
        std::vector<std::string> missing;
    };
    const std::vector<Case> cases = {
        {"link not live",
         [](MetricsSnapshot& s, double) {
             s.linkUp = false;
             s.temperatureCelsius.reset();
             s.setPointCelsius.reset();
         },
         {"lumas_temperature_celsius", "lumas_set_point_celsius"}},
        {"NaN reading",
         [](MetricsSnapshot& s, double n) {
             s.temperatureCelsius = n;
             s.emergencyThresholdCelsius = n;
         },
         {"lumas_temperature_celsius", "lumas_emergency_threshold_celsius"}},
        {"no programme",
         [](MetricsSnapshot& s, double) {
             s.programmeStep.reset();
             s.programmeRemainingMinutes.reset();
         },
         {"lumas_programme_step", "lumas_programme_remaining_minutes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MetricsSnapshot s = runningProgramme();
        c.change(s, nan);
        const std::string text = renderPrometheus(s);
        for (const std::string& name : c.missing) {
            // The family stays declared, so a scraper knows the metric; it has no sample.
            EXPECT_NE(text.find("# TYPE " + name + " gauge\n"), std::string::npos) << text;
            for (const std::string& line : linesOf(text)) {
                EXPECT_NE(sampleName(line), name) << line;
            }
        }
        EXPECT_EQ(text.find("NaN"), std::string::npos) << text;
    }
    MetricsSnapshot down = runningProgramme();
    down.linkUp = false;
    down.runActive = false;
    const std::string text = renderPrometheus(down);
    EXPECT_NE(text.find("\nlumas_link_up 0\n"), std::string::npos) << "a flag is a sample: 0";
    EXPECT_NE(text.find("\nlumas_run_active 0\n"), std::string::npos);
}

TEST(MetricsRender, SampleValuesReadBackExactly) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::map<double, std::string> cases = {
        {23.4, "23.4"},
        {-70.0, "-70"},
        {0.0, "0"},
        {280.0, "280"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e21, "1e+21"},
        {inf, "+Inf"},
        {-inf, "-Inf"},
        {-0.05, "-0.05"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(lumas::metrics::sampleValueText(value), text);
        if (std::isfinite(value)) {
            EXPECT_EQ(std::stod(text), value);
        }
    }
    EXPECT_EQ(lumas::metrics::sampleValueText(std::numeric_limits<double>::quiet_NaN()), "NaN");
}

TEST(MetricsRender, LabelValuesAreEscaped) {
    MetricsSnapshot s;
    s.failedReplies = {{"a\"b\\c\nd", 5}, {"plain", 1}};
    const std::string text = renderPrometheus(s);
    EXPECT_NE(text.find("lumas_failed_replies_total{kind=\"a\\\"b\\\\c\\nd\"} 5\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("lumas_failed_replies_total{kind=\"plain\"} 1\n"), std::string::npos);
    // The escaped line feed must not split the sample.
    for (const std::string& line : linesOf(text)) {
        EXPECT_FALSE(line.rfind("d\"", 0) == 0) << line;
    }
}

}  // namespace
