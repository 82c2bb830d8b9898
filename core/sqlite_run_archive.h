// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "core/run_archive.h"

namespace lumas {

// The run archive in one SQLite database (Qt SQL's driver), in WAL mode, so that a reader (the
// Runs window, lumasctl runs) never waits for the recording and a power cut loses at most what was
// not yet committed. The schema carries a version (PRAGMA user_version) and is migrated forward
// on open; a database of a newer version is opened read-only. A damaged database is set aside
// under a name of its own and a new one begun, never overwritten.
//
// Schema 1:
//   runs(id, started_utc, utc_offset_s, ended_utc, end_reason, last_reading_utc, kind,
//        single_set_point, programme, threshold, blind_stop_s, port, user_name, host, version,
//        continues, min_temp, max_temp, alarms, readings, seal)
//   readings(run, t_ms, temp, sp, step, link)  -- WITHOUT ROWID, key (run, t_ms); temperatures in
//                                                 tenths of a degree, NULL when there was none
//   events(run, t_ms, kind, text)
//
// One object is one connection, used on the thread that made it.
class SqliteRunArchive final : public RunArchive {
  public:
    static constexpr int kSchemaVersion = 1;

    struct Opened {
        std::unique_ptr<SqliteRunArchive> archive;  // none when it could not be opened at all
        // What the operator is to be told: why it is read-only, or that a damaged file was set
        // aside, or why it could not be opened.
        std::optional<QString> problem;
    };

    // Opens (and, for ReadWrite, creates with its folder) the archive at `path`.
    static Opened open(const QString& path, Access access);

    // An opener of SQLite archives for the recording (ArchiveWriter).
    static OpenedRunArchive openArchive(const QString& path, Access access);

    ~SqliteRunArchive() override;
    SqliteRunArchive(const SqliteRunArchive&) = delete;
    SqliteRunArchive& operator=(const SqliteRunArchive&) = delete;

    bool readOnly() const override { return readOnly_; }
    const QString& path() const override { return path_; }

    // Writes `batch` in one transaction; on failure nothing of it is kept and the reason is
    // returned (the caller keeps the batch and tries again).
    std::optional<QString> write(const ArchiveBatch& batch) override;
    // The database id of the run the writer named `key`, once a batch that began it was written.
    std::optional<std::int64_t> idOf(std::uint64_t key) const;
    const std::map<std::uint64_t, std::int64_t>& ids() const override { return ids_; }
    // The writer's keys of runs this file already holds, from an earlier connection to it.
    void adoptIds(std::map<std::uint64_t, std::int64_t> ids) override { ids_ = std::move(ids); }
    bool damaged(const QString& failure) const override;

    // Runs without an end (the program ended by force while recording) end as "ended
    // unexpectedly" at their last reading, and are sealed. Returns them.
    std::vector<ArchivedRun> closeUnfinished() override;

    // Newest first.
    std::vector<ArchivedRun> runs() override;
    std::optional<ArchivedRun> run(std::int64_t id) override;
    std::vector<ArchivedReading> readings(std::int64_t id) override;
    std::vector<ArchivedEvent> events(std::int64_t id) override;
    // Whether the run's rows still give its seal: nothing for a run without a seal (or none), or
    // when its rows could not be read (readFailure() says why).
    std::optional<bool> verify(std::int64_t id) override;
    // Why the last of the reads above came back empty or short (the database's error), or nothing
    // when it was read whole: a run that is not there and a file that cannot be read look the same
    // otherwise.
    const std::optional<QString>& readFailure() const override { return readFailure_; }

  private:
    SqliteRunArchive(QString path, QString connection, bool readOnly);

    std::optional<QString> migrate();
    std::optional<QString> apply(const ArchiveBatch::Operation& operation,
                                 std::map<std::uint64_t, std::int64_t>& ids);
    std::optional<QString> seal(std::int64_t id);
    QByteArray sealOf(std::int64_t id);
    QSqlDatabase database() const;

    QString path_;
    QString connection_;
    bool readOnly_ = false;
    std::map<std::uint64_t, std::int64_t> ids_;  // the writer's keys and the runs' ids
    std::optional<QString> readFailure_;         // of the last read
};

// Whether an SQLite error says that the file is damaged (not a full disk, a lock or a missing
// folder, which pass).
bool isDamage(const QString& sqliteError);

// The run archive's file by default: $XDG_DATA_HOME/Lumas/runs.sqlite
// (~/.local/share/Lumas/runs.sqlite).
QString defaultArchivePath();

}  // namespace lumas
