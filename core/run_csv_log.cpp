// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/run_csv_log.h"

#include <utility>

#include "core/chamber_control.h"

namespace lumas {

RunCsvLog::RunCsvLog(const TCSVExport& settings, const ChamberControl& chamber,
                     const QLocale& locale, std::function<QDateTime()> currentDateTime,
                     std::function<void(const QString&)> tell)
    : settings_(settings),
      chamber_(chamber),
      locale_(locale),
      currentDateTime_(std::move(currentDateTime)),
      tell_(std::move(tell)) {}

void RunCsvLog::create() {
    // A new log replaces the writer of an earlier run; that file is closed, not lost.
    close();
    rowsLost_ = false;
    const bool live = chamber_.linkHealth().live();
    CsvTemperatureLog::Creation created = CsvTemperatureLog::create(
        settings_.FolderPath, currentDateTime_(),
        live ? std::optional<double>(chamber_.state().LastTemperature) : std::nullopt, locale_);
    if (!created.log) {
        // The run goes on without a log; the operator is told why there is none.
        rowsLost_ = true;
        tell_(created.failure);
        return;
    }
    log_ = std::move(created.log);
}

void RunCsvLog::close() {
    if (log_) {
        rowsLost_ = rowsLost_ || log_->failed();
        log_->close();
        log_.reset();
    }
}

void RunCsvLog::tick() {
    if (log_ && chamber_.linkHealth().live()) {
        write(currentDateTime_(), chamber_.state().LastTemperature);
    }
}

void RunCsvLog::write(const QDateTime& at, double celsius) {
    if (const auto failure = log_->writeRow(at, celsius)) {
        tell_(*failure);
    }
}

void RunCsvLog::runStarted(const RunStart& /*start*/) {
    if (settings_.Enabled) {
        create();
    }
}

void RunCsvLog::emergencyCutOff(double celsius, double /*threshold*/, const QDateTime& at) {
    if (log_) {
        write(at, celsius);
    }
}

void RunCsvLog::runEnded(const RunEnd& /*end*/) {
    close();
}

}  // namespace lumas
