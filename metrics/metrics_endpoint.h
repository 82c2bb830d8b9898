// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include "core/chamber_control.h"
#include "metrics/metrics_collector.h"
#include "metrics/metrics_server.h"
#include "metrics/metrics_snapshot.h"

namespace lumas::metrics {

// /metrics for one chamber's control: the store, the server that reads it on its own thread and
// the collector that fills it on the UI thread. Created and destroyed on the UI thread, before the
// chamber's control goes away. Throws std::runtime_error when it cannot listen at `where`.
class MetricsEndpoint {
  public:
    MetricsEndpoint(ChamberControl& chamber, const ListenAddress& where)
        : server_(store_, where), collector_(chamber, store_) {}

    QString url() const { return server_.url(); }

  private:
    // Declared in this order so that the collector stops writing before the server stops reading,
    // and the store goes last.
    MetricsStore store_;
    MetricsServer server_;
    MetricsCollector collector_;
};

}  // namespace lumas::metrics
