// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Prints /metrics' text for a snapshot with every figure known, for the check of the alert rules
// (check_alert_rules.py), which takes the metric families from it.

#include <iostream>

#include "metrics/metrics_snapshot.h"

int main() {
    lumas::metrics::MetricsSnapshot s;
    s.temperatureCelsius = 23.4;
    s.setPointCelsius = 40.0;
    s.programmeStep = 1;
    s.programmeRemainingMinutes = 10.0;
    s.emergencyThresholdCelsius = 280.0;
    s.linkLosses = {{"no_reply", 0}};
    s.failedReplies = {{"wrong_bcc", 0}};
    std::cout << lumas::metrics::renderPrometheus(s);
    return 0;
}
