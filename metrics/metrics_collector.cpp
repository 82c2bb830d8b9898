// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "metrics/metrics_collector.h"

#include "lumas_version.h"

namespace lumas::metrics {

MetricsCollector::MetricsCollector(ChamberControl& chamber, MetricsStore& store)
    : chamber_(chamber), store_(store) {
    chamber_.addLinkObserver(this);
    chamber_.run().addObserver(this);
    QObject::connect(&refreshTimer_, &QTimer::timeout, [this] { refresh(); });
    refreshTimer_.start(kRefreshEvery);
    refresh();
}

MetricsCollector::~MetricsCollector() {
    chamber_.run().removeObserver(this);
    chamber_.removeLinkObserver(this);
}

void MetricsCollector::refresh() {
    const SharedState& s = chamber_.state();
    const RunModel& run = chamber_.run();
    const TOmronCom& driver = chamber_.controller();
    MetricsSnapshot snapshot;
    snapshot.linkUp = chamber_.linkHealth().live();
    if (snapshot.linkUp) {
        snapshot.temperatureCelsius = s.LastTemperature;
        snapshot.setPointCelsius = s.LastSetPoint;
        snapshot.controllerRunning = !driver.Stopped();
    }
    snapshot.runActive = run.active();
    const bool stoppingForSafety =
        run.stopping() && (run.stopCause() == RunEndReason::EmergencyCutOff ||
                           run.stopCause() == RunEndReason::NoReadings);
    snapshot.alarmActive =
        stoppingForSafety || stopNotConfirmedNow_ || run.phase() == RunPhase::Held;
    if (driver.TemperatureReadings() > 0 && chamber_.linkHealth().wanted()) {
        snapshot.lastReadingAgeSeconds =
            ticksSince(chamber_.linkHealth().lastFreshReadingTick(), chamber_.lineClock().now()) /
            1000.0;
    }
    if (run.active()) {
        snapshot.runStartTimeSeconds = run.start().startedAt.toMSecsSinceEpoch() / 1000.0;
    }
    if (run.controlling() && run.kind() == RunKind::Programme) {
        snapshot.programmeStep = run.currentStep();
        snapshot.programmeSteps = run.programme()->stepCount();
        snapshot.programmeRemainingMinutes = run.minutesLeft();
    }
    snapshot.emergencyThresholdCelsius = s.EmergencyThreshold;
    snapshot.emergencyCutOffs = emergencyCutOffs_;
    snapshot.stopsNotConfirmed = stopsNotConfirmed_;
    snapshot.linkLosses = {{"no_reply", noReplyLosses_}, {"port_failed", portFailedLosses_}};
    const TOmronCom::ReplyFailures failures = driver.Failures();
    snapshot.failedReplies = {
        {"wrong_bcc", failures.wrongBcc},         {"end_code", failures.endCode},
        {"response_code", failures.responseCode}, {"bad_data", failures.badData},
        {"no_reply", failures.noReply},           {"stale", failures.stale},
    };
    snapshot.temperatureReadings = driver.TemperatureReadings();
    snapshot.version = LUMAS_VERSION;
    snapshot.port = chamber_.devicePath();
    store_.publish(std::move(snapshot));
}

void MetricsCollector::linkLost(Loss why) {
    ++(why == Loss::NoReply ? noReplyLosses_ : portFailedLosses_);
    refresh();
}

void MetricsCollector::stopAsked(RunEndReason /*why*/) {
    refresh();
}

void MetricsCollector::emergencyCutOff(double /*celsius*/, double /*threshold*/,
                                       const QDateTime& /*at*/) {
    ++emergencyCutOffs_;
    refresh();
}

void MetricsCollector::stopNotConfirmed() {
    ++stopsNotConfirmed_;
    stopNotConfirmedNow_ = true;
    refresh();
}

void MetricsCollector::stopConfirmed() {
    stopNotConfirmedNow_ = false;
    refresh();
}

}  // namespace lumas::metrics
