// Single set-point control of the Basic control tab, and the CSV temperature log of a run.

#include "core/main_form_logic.h"

namespace lumas {

void MainFormLogic::bSetSingleSPClick() {
    if (requireConnection()) {
        state_.PendingSingleSetPoint = true;
    }
}

void MainFormLogic::bStartSingleClick() {
    if (!requireConnection()) {
        return;
    }
    ui_.Series1.clear();
    ui_.Series2.clear();
    state_.ControlActive = true;
    state_.SingleRunning = true;
    state_.PendingRun = true;
    state_.SingleStartTick = clock_.now();
    ui_.Series2.append(1.0, 0.0);
    ui_.timerSingle.setEnabled(true);
    if (csvExport_.Enabled) {
        CreateCSVFile();
        ui_.TimerCSV.setEnabled(true);
    }
    ui_.statusWarning.setText(QString());
    ui_.DisableItems();
}

void MainFormLogic::bStopSingleClick() {
    if (acceptStop()) {
        stopSingle();
    }
}

void MainFormLogic::stopSingle() {
    state_.ControlActive = false;
    state_.SingleRunning = false;
    state_.PendingStop = true;
    ui_.timerSingle.setEnabled(false);
    ui_.TimerCSV.setEnabled(false);
    closeWriter();
    ui_.EnableItems();
}

void MainFormLogic::timerSingleTimer() {
    if (!health_.live()) {
        return;  // no reading: a gap in the curve, not a repeated value
    }
    const double minutes = ticksSince(state_.SingleStartTick, clock_.now()) / 1000.0 / 60.0;
    ui_.Series1.append(minutes, state_.LastTemperature);
}

void MainFormLogic::CreateCSVFile() {
    // A new log replaces the writer of an earlier run; that file is closed, not lost.
    closeWriter();
    CsvTemperatureLog::Creation created = CsvTemperatureLog::create(
        csvExport_.FolderPath, currentDateTime(),
        health_.live() ? std::optional<double>(state_.LastTemperature) : std::nullopt, locale_);
    if (!created.log) {
        // The run goes on without a log; the operator is told why there is none.
        ui_.messages.warning(created.failure);
        return;
    }
    csvLog_ = std::move(created.log);
}

void MainFormLogic::TimerCSVTimer() {
    if (const auto failure = logCurrentReading()) {
        ui_.messages.warning(*failure);
    }
}

std::optional<QString> MainFormLogic::logCurrentReading() {
    if (!csvLog_ || !health_.live()) {
        return std::nullopt;  // no reading: a gap in the log, not a repeated value
    }
    return csvLog_->writeRow(currentDateTime(), state_.LastTemperature);
}

void MainFormLogic::closeWriter() {
    if (csvLog_) {
        csvLog_->close();
        csvLog_.reset();
    }
}

}  // namespace lumas
