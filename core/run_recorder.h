// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "core/archive_writer.h"
#include "core/link_events.h"
#include "core/run_events.h"

namespace lumas {

// Records each run in the run archive as it goes: its start, every reading, every event of the run
// and of the link, the notices shown and their acknowledgement, and its end. It listens to the
// chamber's control on the UI thread and hands everything to the archive's writer, which writes it
// on a thread of its own; it never waits for the disk.
class RunRecorder final : public RunObserver, public LinkObserver {
  public:
    // `writer` must outlive the recorder. `user`, `host` and `version` are recorded with each run.
    RunRecorder(ArchiveWriter& writer, QString user, QString host, QString version);

    // The next run goes on watching the interrupted run `id` (recorded with the run).
    void continuesRun(std::int64_t id) { continues_ = id; }
    // A notice shown to the operator during the run, and an alarm's acknowledgement.
    void noticeShown(const QString& kind, const QString& text);
    void alarmAcknowledged(const QString& text);
    // Whether a run is being recorded, and its archive key.
    std::optional<std::uint64_t> recording() const { return key_; }
    // The run being recorded, or else the last one recorded.
    std::optional<std::uint64_t> recorded() const { return key_ ? key_ : lastKey_; }

    void runStarted(const RunStart& start) override;
    void stepStarted(int step, const ProgrammeStep& programmeStep) override;
    void soakWaiting(int step, double target, double band, std::optional<double> measured) override;
    void soakCounting(int step) override;
    void runConfirmed() override;
    void reading(const RunReading& reading) override;
    void stopAsked(RunEndReason why) override;
    void stopConfirmed() override;
    void stopNotConfirmed() override;
    void emergencyCutOff(double celsius, double threshold, const QDateTime& at) override;
    void blindStop(std::chrono::seconds withoutReadings) override;
    void controllerFoundStopped() override;
    void runEnded(const RunEnd& end) override;

    void linkUp() override;
    void linkLost(Loss why) override;
    void portReopened(const QString& devicePath) override;

    // The local date and time of events without a time of their own; replaceable for tests.
    std::function<QDateTime()> currentDateTime = [] { return QDateTime::currentDateTime(); };

  private:
    void event(const QString& kind, const QString& text, const QDateTime& at);
    void event(const QString& kind, const QString& text) { event(kind, text, currentDateTime()); }
    void lateEvent(const QString& kind, const QString& text);

    ArchiveWriter& writer_;
    QString user_;
    QString host_;
    QString version_;
    std::optional<std::int64_t> continues_;
    std::optional<std::uint64_t> key_;      // the run being recorded
    std::optional<std::uint64_t> lastKey_;  // the run recorded last, once it has ended
    QDateTime startedAt_;
    QDateTime endedAt_;  // when the last run ended
    // Notices this soon after a run's end are about its end, and join its record.
    static constexpr std::chrono::seconds kToldWithTheEnd{10};
    std::chrono::seconds blindLimit_{0};
};

// The user's name and the host's, as recorded with each run.
QString operatorName();
QString hostName();

}  // namespace lumas
