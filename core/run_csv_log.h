// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "core/csv_log.h"
#include "core/run_events.h"
#include "core/shared_state.h"

namespace lumas {

class ChamberControl;

// The CSV temperature log of a run, kept as the run goes: a log is created when a run starts while
// logging is switched on (`settings`), takes a row at every tick() of the log's timer while a
// fresh reading is on hand (a gap, never a repeated value, while the link is down), takes the
// reading that fired the emergency cut-off at once, and is closed when the run has ended, not
// when its Stop is asked: a run that is stopping is still recorded. UI thread only.
class RunCsvLog final : public RunObserver {
  public:
    // `settings` and `chamber` must outlive the log. `tell` passes a sentence to the operator
    // (the log could not be created or written); `currentDateTime` gives the rows' time.
    RunCsvLog(const TCSVExport& settings, const ChamberControl& chamber, const QLocale& locale,
              std::function<QDateTime()> currentDateTime, std::function<void(const QString&)> tell);

    // The log's timer expired: a row of the reading taken now, when there is one.
    void tick();
    // Creates the log now (a run's start does this itself); one already open is closed first.
    void create();
    void close();
    const CsvTemperatureLog* writer() const { return log_.get(); }
    // Whether the last run's log lost rows: it could not be created, or a row could not be
    // written.
    bool rowsLost() const { return rowsLost_ || (log_ && log_->failed()); }

    void runStarted(const RunStart& start) override;
    void emergencyCutOff(double celsius, double threshold, const QDateTime& at) override;
    void runEnded(const RunEnd& end) override;

  private:
    void write(const QDateTime& at, double celsius);

    const TCSVExport& settings_;
    const ChamberControl& chamber_;
    QLocale locale_;
    std::function<QDateTime()> currentDateTime_;
    std::function<void(const QString&)> tell_;
    std::unique_ptr<CsvTemperatureLog> log_;
    bool rowsLost_ = false;
};

}  // namespace lumas
