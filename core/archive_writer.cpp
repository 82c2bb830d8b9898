// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/archive_writer.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace lumas {

namespace {

// How long the end waits for what is left to be written.
constexpr std::chrono::seconds kLastWrite{3};

std::uint64_t keyOf(const ArchiveBatch::Operation& operation) {
    return std::visit([](const auto& o) { return o.key; }, operation);
}

}  // namespace

ArchiveWriter::ArchiveWriter(QString path, RunArchiveOpener opener)
    : path_(std::move(path)), opener_(std::move(opener)), thread_([this] { serve(); }) {}

ArchiveWriter::~ArchiveWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t ArchiveWriter::beginRun(ArchivedRunStart start) {
    std::uint64_t key = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        key = nextKey_++;
        waiting_.operations.emplace_back(ArchiveBatch::Begin{key, std::move(start)});
        ++handedIn_;
    }
    wake_.notify_all();
    return key;
}

void ArchiveWriter::addReading(std::uint64_t run, ArchivedReading reading) {
    const std::lock_guard<std::mutex> lock(mutex_);
    // Readings of one run that follow each other share one operation.
    auto* last = waiting_.operations.empty()
                     ? nullptr
                     : std::get_if<ArchiveBatch::Readings>(&waiting_.operations.back());
    if (last != nullptr && last->key == run) {
        last->readings.push_back(reading);
    } else {
        waiting_.operations.emplace_back(ArchiveBatch::Readings{run, {reading}});
        ++handedIn_;
    }
    ++waitingReadings_;
}

void ArchiveWriter::addEvent(std::uint64_t run, ArchivedEvent event) {
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting_.operations.emplace_back(ArchiveBatch::Events{run, {std::move(event)}});
    ++handedIn_;
}

void ArchiveWriter::endRun(std::uint64_t run, QString reason, QDateTime at) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.operations.emplace_back(ArchiveBatch::End{run, std::move(reason), std::move(at)});
        ++handedIn_;
    }
    wake_.notify_all();
}

std::vector<QString> ArchiveWriter::takeProblems() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(problems_, {});
}

std::vector<ArchivedRun> ArchiveWriter::recovered(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return opened_; });
    return recovered_;
}

bool ArchiveWriter::flush(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t target = handedIn_;
    const std::uint64_t tried = passes_ + 1;  // the pass going on may have taken less
    wake_.notify_all();
    changed_.wait_for(lock, timeout,
                      [&] { return written_ >= target || (failing_ && passes_ > tried); });
    return written_ >= target;
}

bool ArchiveWriter::lost() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

std::optional<std::int64_t> ArchiveWriter::idOf(std::uint64_t run) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ids_.find(run);
    if (found == ids_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void ArchiveWriter::report(const QString& problem) {
    if (problem == lastProblem_) {
        return;
    }
    lastProblem_ = problem;
    const std::lock_guard<std::mutex> lock(mutex_);
    problems_.push_back(problem);
}

bool ArchiveWriter::openArchive() {
    // The runs this file already holds, when it is opened again as it was.
    std::map<std::uint64_t, std::int64_t> known = archive_ ? archive_->ids() : ids_;
    const bool existed = QFileInfo::exists(path_);
    archive_.reset();
    OpenedRunArchive opened = opener_(path_, RunArchive::Access::ReadWrite);
    const bool sameFile = existed && QFileInfo::exists(path_) &&
                          !(opened.problem && opened.problem->contains(QLatin1String("damaged")));
    std::vector<ArchivedRun> closed;
    if (opened.archive && !opened.archive->readOnly()) {
        closed = opened.archive->closeUnfinished();
    }
    if (opened.problem) {
        report(*opened.problem);
    }
    archive_ = std::move(opened.archive);
    const bool writable = archive_ && !archive_->readOnly();
    writeFailing_ = writeFailing_ || archive_ == nullptr;
    if (writable && sameFile) {
        archive_->adoptIds(std::move(known));
    } else if (writable) {
        // A new file knows none of the runs going on: they are begun again in it from now on,
        // unless their beginning has not been written yet.
        std::vector<ArchiveBatch::Operation> rebegun;
        bool lostSome = false;
        for (const auto& [runKey, start] : active_) {
            const std::uint64_t key = runKey;
            const bool waiting = std::any_of(
                retained_.operations.begin(), retained_.operations.end(), [&](const auto& op) {
                    const auto* begin = std::get_if<ArchiveBatch::Begin>(&op);
                    return begin != nullptr && begin->key == key;
                });
            if (!waiting) {
                lostSome = true;
                rebegun.emplace_back(ArchiveBatch::Begin{key, start});
                // Its record says where its earlier part went.
                rebegun.emplace_back(ArchiveBatch::Events{
                    key,
                    {{start.start.startedAt.msecsTo(QDateTime::currentDateTime()),
                      QStringLiteral("archive begun again"),
                      QStringLiteral("The run archive %1 was removed or set aside during the run; "
                                     "the run's record before this moment went with it, and it "
                                     "is recorded from here on.")
                          .arg(path_)}}});
            }
        }
        retained_.operations.insert(retained_.operations.begin(), rebegun.begin(), rebegun.end());
        if (lostSome) {
            const std::lock_guard<std::mutex> lock(mutex_);
            lost_ = true;
        }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) {
        opened_ = true;
        recovered_ = std::move(closed);
    }
    changed_.notify_all();
    return writable;
}

void ArchiveWriter::dropOldestBeyondTheLimit() {
    std::vector<ArchiveBatch::Operation> lostEvents;
    std::size_t kept = 0;
    for (const ArchiveBatch::Operation& operation : retained_.operations) {
        if (const auto* readings = std::get_if<ArchiveBatch::Readings>(&operation)) {
            kept += readings->readings.size();
        }
    }
    for (ArchiveBatch::Operation& operation : retained_.operations) {
        if (kept <= kMaxWaitingReadings) {
            break;
        }
        if (auto* readings = std::get_if<ArchiveBatch::Readings>(&operation);
            readings != nullptr && !readings->readings.empty()) {
            const std::size_t drop =
                std::min(kept - kMaxWaitingReadings, readings->readings.size());
            const std::int64_t lostFrom = readings->readings.front().atMs;
            readings->readings.erase(readings->readings.begin(),
                                     readings->readings.begin() + static_cast<long>(drop));
            kept -= drop;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                lost_ = true;
            }
            lostEvents.push_back(ArchiveBatch::Events{
                readings->key,
                {{lostFrom, QStringLiteral("readings lost"),
                  QStringLiteral("%1 reading(s) could not be kept while the run archive could not "
                                 "be written.")
                      .arg(drop)}}});
        }
    }
    retained_.operations.insert(retained_.operations.end(), lostEvents.begin(), lostEvents.end());
}

void ArchiveWriter::serve() {
    bool writable = openArchive();
    auto lastCommit = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> stoppedAt;
    for (;;) {
        ArchiveBatch taken;
        std::uint64_t takenCount = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!stoppedAt) {
                wake_.wait_until(lock, lastCommit + kCommitEvery, [this] { return stop_; });
            } else {
                // Stopping with something that could not be written: try again a little later.
                wake_.wait_for(lock, std::chrono::milliseconds(200));
            }
            if (stop_ && !stoppedAt) {
                stoppedAt = std::chrono::steady_clock::now();
            }
            taken = std::exchange(waiting_, {});
            takenCount = handedIn_;
            waitingReadings_ = 0;
        }
        lastCommit = std::chrono::steady_clock::now();
        for (ArchiveBatch::Operation& operation : taken.operations) {
            if (const auto* begin = std::get_if<ArchiveBatch::Begin>(&operation)) {
                active_[begin->key] = begin->start;
            }
            retained_.operations.push_back(std::move(operation));
        }
        dropOldestBeyondTheLimit();
        // A file or folder removed under the recording: begun anew where it was.
        if (archive_ && !QFileInfo::exists(path_)) {
            report(QStringLiteral("The run archive %1 was removed; a new one is begun there and "
                                  "the runs going on are recorded from now on.")
                       .arg(path_));
            writable = openArchive();
        }
        if (!writable && (archive_ == nullptr || !archive_->readOnly())) {
            writable = openArchive();
        }
        bool ok = retained_.empty();
        if (writable && !retained_.empty()) {
            const std::optional<QString> failure = archive_->write(retained_);
            ok = !failure;
            if (ok) {
                // A run is forgotten once its end is written: until then a new file (the old one
                // removed or set aside) begins it again.
                for (const ArchiveBatch::Operation& operation : retained_.operations) {
                    if (std::holds_alternative<ArchiveBatch::End>(operation)) {
                        active_.erase(keyOf(operation));
                    }
                }
                retained_ = {};
                if (std::exchange(writeFailing_, false)) {
                    report(QStringLiteral("The run archive %1 can be written again; what was "
                                          "waiting is recorded.")
                               .arg(path_));
                    lastProblem_.clear();
                }
            } else {
                writeFailing_ = true;
                report(QStringLiteral("The run archive %1 cannot be written (%2). The run goes "
                                      "on; its record is kept and written when it can be.")
                           .arg(path_, *failure));
                if (archive_->damaged(*failure)) {
                    // Opening it again sets the damaged file aside and begins a new one.
                    writable = openArchive();
                }
            }
        }
        if (archive_ && archive_->readOnly()) {
            retained_ = {};  // a newer program's archive is never written; the operator was told
            ok = true;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            failing_ = !ok;
            ++passes_;
            if (ok) {
                written_ = takenCount;
            }
            if (archive_) {
                for (const auto& [key, id] : archive_->ids()) {
                    ids_[key] = id;
                }
            }
        }
        changed_.notify_all();
        if (stoppedAt && (ok || std::chrono::steady_clock::now() - *stoppedAt > kLastWrite)) {
            archive_.reset();  // its connection belongs to this thread
            return;
        }
    }
}

}  // namespace lumas
