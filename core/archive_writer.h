// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/run_archive.h"
#include "core/sqlite_run_archive.h"

namespace lumas {

// Records runs in the run archive from a thread of its own, so that the window and the worker
// never wait for the disk. The UI thread hands over what is to be written (under `mutex_`, for no
// longer than a move); the writer's thread commits it at least every kCommitEvery, so that a power
// cut loses at most that much. What cannot be written (a full disk, a read-only folder, the file
// or its folder removed, a damaged file) is kept and tried again at the next commit; the operator
// is told once until a write succeeds again, and recording catches up then. A removed or damaged
// archive is begun anew (a damaged file is set aside, never overwritten), and the runs going on
// are begun again in it from that moment.
class ArchiveWriter {
  public:
    static constexpr std::chrono::milliseconds kCommitEvery{1000};
    // Readings kept while the archive cannot be written, at most; beyond, the oldest are dropped
    // and the loss is recorded as an event of the run.
    static constexpr std::size_t kMaxWaitingReadings = 1'000'000;

    // Opens the archive at `path` on the writer's thread and closes the runs a forced end left
    // open (recovered()).
    explicit ArchiveWriter(QString path, RunArchiveOpener opener = &SqliteRunArchive::openArchive);
    // Writes what is left (trying for at most a few seconds) and ends the thread.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    const QString& path() const { return path_; }

    // Any thread, without waiting for the disk.
    std::uint64_t beginRun(ArchivedRunStart start);
    void addReading(std::uint64_t run, ArchivedReading reading);
    void addEvent(std::uint64_t run, ArchivedEvent event);
    void endRun(std::uint64_t run, QString reason, QDateTime at);

    // What the operator is to be told since the last call (each problem once until it is over,
    // and that it is over).
    std::vector<QString> takeProblems();
    // Waits until the archive has been opened (or could not be), at most `timeout`; then returns
    // the runs that had been left without an end and were closed as "ended unexpectedly".
    std::vector<ArchivedRun> recovered(std::chrono::milliseconds timeout);
    // Waits until everything handed over so far is written, at most `timeout`; false when some of
    // it could not be written (at once when the next try fails).
    bool flush(std::chrono::milliseconds timeout);
    // Whether part of a run's record was lost: readings dropped while the archive could not be
    // written for too long, or a file removed or set aside with runs going on.
    bool lost();
    // The database id of a run once it is written (for reports and links).
    std::optional<std::int64_t> idOf(std::uint64_t run);

  private:
    void serve();
    // On the writer's thread: (re)opens the archive; true when it can be written.
    bool openArchive();
    void report(const QString& problem);
    // Keeps at most kMaxWaitingReadings readings of what waits to be written, dropping the oldest.
    void dropOldestBeyondTheLimit();

    QString path_;

    // Guards every member below up to `thread_`. The UI thread (and any caller) hands work in; the
    // writer's thread takes it out, and publishes its state.
    std::mutex mutex_;
    std::condition_variable wake_;     // work handed in, a flush asked, or the end
    std::condition_variable changed_;  // written, opened, failed
    ArchiveBatch waiting_;             // handed in, not yet taken by the writer
    std::size_t waitingReadings_ = 0;
    std::uint64_t nextKey_ = 1;
    std::uint64_t handedIn_ = 0;  // operations handed in
    std::uint64_t written_ = 0;   // operations written
    bool opened_ = false;         // the first opening was tried
    bool failing_ = false;        // the last write failed
    bool lost_ = false;           // see lost()
    std::uint64_t passes_ = 0;    // the writer's passes so far
    bool stop_ = false;
    std::vector<QString> problems_;
    std::vector<ArchivedRun> recovered_;
    std::map<std::uint64_t, std::int64_t> ids_;  // published copy of the archive's ids

    // The writer's thread's own: the archive, what it could not write yet, the runs going on.
    RunArchiveOpener opener_;
    std::unique_ptr<RunArchive> archive_;
    ArchiveBatch retained_;
    std::map<std::uint64_t, ArchivedRunStart> active_;
    QString lastProblem_;        // told last; the same problem is told once
    bool writeFailing_ = false;  // what waits could not be written, or the archive not opened

    std::thread thread_;  // started last
};

}  // namespace lumas
