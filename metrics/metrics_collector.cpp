#include "metrics/metrics_collector.h"

#include "threading/ui_hand_over.h"

namespace lumas::metrics {

MetricsCollector::MetricsCollector(MainFormLogic& logic, MetricsStore& store)
    : logic_(logic), store_(store) {
    logic_.addObserver(this);
    QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver, &refreshTimer_,
                     [this] { refresh(); });
    QObject::connect(&refreshTimer_, &QTimer::timeout, [this] { refresh(); });
    refreshTimer_.start(kRefreshEvery);
    refresh();
}

MetricsCollector::~MetricsCollector() {
    logic_.removeObserver(this);
}

void MetricsCollector::refresh() {
    const SharedState& s = logic_.state();
    const TOmronCom& driver = logic_.controller();
    MetricsSnapshot snapshot;
    snapshot.linkUp = logic_.linkHealth().live();
    if (snapshot.linkUp) {
        snapshot.temperatureCelsius = s.LastTemperature;
        snapshot.setPointCelsius = s.LastSetPoint;
    }
    snapshot.runActive = s.ProgramRunning || s.SingleRunning;
    if (s.ProgramRunning) {
        snapshot.programmeStep = s.CurrentStep;
        snapshot.programmeRemainingMinutes = logic_.TotalTimeLeft();
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
    store_.publish(std::move(snapshot));
}

void MetricsCollector::linkLost(Loss why) {
    ++(why == Loss::NoReply ? noReplyLosses_ : portFailedLosses_);
    refresh();
}

void MetricsCollector::emergencyCutOff(double /*celsius*/) {
    ++emergencyCutOffs_;
    refresh();
}

void MetricsCollector::stopNotConfirmed() {
    ++stopsNotConfirmed_;
    refresh();
}

}  // namespace lumas::metrics
