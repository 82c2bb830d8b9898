// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>

#include "core/chamber_control.h"
#include "core/link_events.h"
#include "core/run_events.h"
#include "metrics/metrics_snapshot.h"

namespace lumas::metrics {

// Fills a MetricsStore from the chamber's control: its state, run and link health, the driver's
// counters, and the link and run events it reports. It refreshes the snapshot after every worker
// update, after every event, and once a second for what changes without either (settings loaded,
// the age of the last reading), so /metrics is never more than one update behind the window.
//
// Lives on the UI thread, like the chamber's control, which must outlive it; every member runs
// there.
class MetricsCollector final : public LinkObserver, public RunObserver {
  public:
    MetricsCollector(ChamberControl& chamber, MetricsStore& store);
    ~MetricsCollector() override;
    MetricsCollector(const MetricsCollector&) = delete;
    MetricsCollector& operator=(const MetricsCollector&) = delete;

    // Takes the chamber's figures now and publishes them.
    void refresh();

    // LinkObserver
    void polled(const LinkView& /*view*/) override { refresh(); }
    void linkLost(Loss why) override;
    void linkUp() override { refresh(); }
    // RunObserver
    void runStarted(const RunStart& /*start*/) override { refresh(); }
    void stopAsked(RunEndReason why) override;
    void emergencyCutOff(double celsius, double threshold, const QDateTime& at) override;
    void stopNotConfirmed() override;
    void stopConfirmed() override;
    void runEnded(const RunEnd& /*end*/) override { refresh(); }

  private:
    ChamberControl& chamber_;
    MetricsStore& store_;
    static constexpr std::chrono::seconds kRefreshEvery{1};

    QTimer refreshTimer_;
    std::uint64_t noReplyLosses_ = 0;
    std::uint64_t portFailedLosses_ = 0;
    std::uint64_t emergencyCutOffs_ = 0;
    std::uint64_t stopsNotConfirmed_ = 0;
    bool stopNotConfirmedNow_ = false;  // reported, not yet confirmed since
};

}  // namespace lumas::metrics
