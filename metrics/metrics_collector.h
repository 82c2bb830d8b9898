#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>

#include "core/link_events.h"
#include "core/main_form_logic.h"
#include "metrics/metrics_snapshot.h"

namespace lumas::metrics {

// Fills a MetricsStore from the core: MainFormLogic's state and link health, the driver's
// counters, and the link and run events it reports. It refreshes the snapshot after every
// hand-over from a background thread to the UI thread (each worker update is one), after every
// event, and once a second for what changes without either (settings loaded, a run started
// while no link is up), so /metrics is never more than one update behind the window.
//
// Lives on the UI thread, like MainFormLogic, which must outlive it; every member runs there.
class MetricsCollector final : public LinkObserver {
  public:
    MetricsCollector(MainFormLogic& logic, MetricsStore& store);
    ~MetricsCollector() override;
    MetricsCollector(const MetricsCollector&) = delete;
    MetricsCollector& operator=(const MetricsCollector&) = delete;

    // Takes the core's figures now and publishes them.
    void refresh();

    void linkLost(Loss why) override;
    void linkUp() override { refresh(); }
    void emergencyCutOff(double celsius) override;
    void stopNotConfirmed() override;

  private:
    MainFormLogic& logic_;
    MetricsStore& store_;
    static constexpr std::chrono::seconds kRefreshEvery{1};

    QTimer refreshTimer_;  // also the hand-over connection's receiver
    std::uint64_t noReplyLosses_ = 0;
    std::uint64_t portFailedLosses_ = 0;
    std::uint64_t emergencyCutOffs_ = 0;
    std::uint64_t stopsNotConfirmed_ = 0;
};

}  // namespace lumas::metrics
