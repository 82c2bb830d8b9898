// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The main window's logic: the run archive, and a chamber found running from an interrupted run.

#include <QCoreApplication>

#include "core/main_form_logic.h"
#include "core/run_texts.h"
#include "core/sqlite_run_archive.h"

namespace lumas {

namespace {

// How often the archive's problems are looked for.
constexpr std::chrono::seconds kArchiveProblemsEvery{1};
// How long the report waits for the record to be written.
constexpr std::chrono::seconds kReportWait{3};

}  // namespace

void MainFormLogic::recordRunsIn(ArchiveWriter& writer, std::vector<ArchivedRun> recovered) {
    if (recorder_) {
        // Recorded elsewhere until now.
        chamber_.run().removeObserver(recorder_.get());
        chamber_.removeLinkObserver(recorder_.get());
        messages_.setRecorder(nullptr);
    }
    archive_ = &writer;
    recorder_ = std::make_unique<RunRecorder>(writer, operatorName(), hostName(),
                                              QCoreApplication::applicationVersion());
    recorder_->currentDateTime = [this] { return currentDateTime(); };
    chamber_.run().addObserver(recorder_.get());
    chamber_.addLinkObserver(recorder_.get());
    messages_.setRecorder(recorder_.get());
    interrupted_.reset();
    if (!recovered.empty()) {
        interrupted_ = recovered.back();  // the newest
    }
    archiveProblemsTimer_.start(kArchiveProblemsEvery);
    tellArchiveProblems();
}

std::optional<QString> MainFormLogic::archivePath() const {
    if (archive_ == nullptr) {
        return std::nullopt;
    }
    return archive_->path();
}

void MainFormLogic::tellArchiveProblems() {
    if (archive_ == nullptr) {
        return;
    }
    for (const QString& problem : archive_->takeProblems()) {
        messages_.notice(stamped(problem));
    }
}

std::optional<RunRecord> MainFormLogic::reportRecord() {
    if (archive_ == nullptr || !recorder_ || !recorder_->recorded()) {
        return std::nullopt;
    }
    archive_->flush(kReportWait);
    const std::optional<std::int64_t> id = archive_->idOf(*recorder_->recorded());
    if (!id) {
        return std::nullopt;
    }
    const SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(archive_->path(), SqliteRunArchive::Access::ReadOnly);
    if (!opened.archive) {
        return std::nullopt;
    }
    std::optional<ArchivedRun> run = opened.archive->run(*id);
    if (!run) {
        return std::nullopt;
    }
    return RunRecord{std::move(*run), opened.archive->events(*id)};
}

void MainFormLogic::noticeInterruptedRun(const LinkView& view) {
    if (!interrupted_ || !view.live || interruptedTimer_.isActive()) {
        return;
    }
    if (view.stopped || run().active()) {
        interrupted_.reset();  // the controller did not go on with it: nothing to ask
        return;
    }
    interruptedSetPoint_ = view.setPoint;
    // Asked from the event loop once the update's step has returned: a step never opens a box.
    interruptedTimer_.start(0);
}

void MainFormLogic::askAboutInterruptedRun() {
    if (!interrupted_ || !interruptedSetPoint_ || run().active()) {
        return;
    }
    const ArchivedRun interrupted = *std::exchange(interrupted_, std::nullopt);
    const QDateTime started = interrupted.started.toOffsetFromUtc(interrupted.utcOffsetSeconds);
    const QDateTime lastReading = interrupted.lastReading.value_or(interrupted.started)
                                      .toOffsetFromUtc(interrupted.utcOffsetSeconds);
    const bool stopIt = messages_.choose(
        texts::interruptedRunQuestion(interrupted.id, stampText(started), stampText(lastReading),
                                      *interruptedSetPoint_, locale_),
        texts::kStopTheChamber, texts::kWatchTheRun);
    if (run().active()) {
        return;  // a run was started meanwhile
    }
    if (stopIt) {
        stopInterruptedRun();
    } else {
        if (recorder_) {
            recorder_->continuesRun(interrupted.id);
        }
        watchInterruptedRun(*interruptedSetPoint_);
    }
}

void MainFormLogic::stopInterruptedRun() {
    accepted(chamber_.stop(RunEndReason::StoppedByOperator));
}

void MainFormLogic::watchInterruptedRun(double setPoint) {
    // A single run at the set point the controller holds: nothing is sent but Run, which a
    // running controller carries on with.
    ui_.fiSingleSP.setValue(setPoint);
    if (!accepted(chamber_.startSingle(setPoint))) {
        return;
    }
    showRunStarted(false);
}

}  // namespace lumas
