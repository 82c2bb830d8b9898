// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "core/link_health.h"
#include "core/run_events.h"

namespace lumas {

// One reading of a run as the archive keeps it, `atMs` milliseconds after the run's start: the
// temperature and set point to a tenth, none while the link was down.
struct ArchivedReading {
    std::int64_t atMs = 0;
    std::optional<double> temperature;
    std::optional<double> setPoint;
    int step = 0;
    LinkHealth::State link = LinkHealth::State::Live;

    friend bool operator==(const ArchivedReading&, const ArchivedReading&) = default;
};

// One event of a run, `atMs` milliseconds after its start: what happened (kind, such as
// "stop asked" or "notice") and what the operator was told or what it carried.
struct ArchivedEvent {
    std::int64_t atMs = 0;
    QString kind;
    QString text;

    friend bool operator==(const ArchivedEvent&, const ArchivedEvent&) = default;
};

// What the archive keeps of a run when it begins.
struct ArchivedRunStart {
    RunStart start;
    QString user;
    QString host;
    QString version;
    std::optional<std::int64_t> continues;  // the interrupted run it goes on watching
};

// A run as the archive lists and reopens it.
struct ArchivedRun {
    std::int64_t id = 0;
    QDateTime started;  // UTC
    int utcOffsetSeconds = 0;
    std::optional<QDateTime> ended;  // UTC; none while the run goes on
    QString endReason;
    std::optional<QDateTime> lastReading;  // UTC
    RunKind kind = RunKind::Single;
    std::optional<double> singleSetPoint;
    std::optional<Programme> programme;
    double threshold = 0.0;
    std::int64_t blindStopSeconds = 0;
    QString port;
    QString user;
    QString host;
    QString version;
    std::optional<std::int64_t> continues;
    std::optional<double> minimum;
    std::optional<double> maximum;
    int alarms = 0;
    std::int64_t readings = 0;
    QString seal;  // SHA-256 of the run's rows, once it has ended
};

// A run's record as a report shows it: the run and its events.
struct RunRecord {
    ArchivedRun run;
    std::vector<ArchivedEvent> events;
};

// What a recording writes at one commit: runs begun, readings and events added, runs ended. A run
// is named by a key of the writer's own until the database has given it its id.
struct ArchiveBatch {
    struct Begin {
        std::uint64_t key = 0;
        ArchivedRunStart start;
    };
    struct Readings {
        std::uint64_t key = 0;
        std::vector<ArchivedReading> readings;
    };
    struct Events {
        std::uint64_t key = 0;
        std::vector<ArchivedEvent> events;
    };
    struct End {
        std::uint64_t key = 0;
        QString reason;
        QDateTime at;
    };
    using Operation = std::variant<Begin, Readings, Events, End>;
    std::vector<Operation> operations;

    bool empty() const { return operations.empty(); }
};

// Where runs are kept: one SQLite file today (SqliteRunArchive), a lab-wide server database
// later. The recording (ArchiveWriter) and what reads runs back know only this. One object is one
// connection, used on the thread that made it.
class RunArchive {
  public:
    enum class Access { ReadWrite, ReadOnly };

    virtual ~RunArchive() = default;

    // Whether runs may be written (an archive of a newer program's schema may only be read).
    virtual bool readOnly() const = 0;
    // Where it is, as the operator is told (a file's path, a server's address).
    virtual const QString& path() const = 0;

    // Writes `batch` at once, all or nothing; on failure the reason is returned (the caller keeps
    // the batch and tries again).
    virtual std::optional<QString> write(const ArchiveBatch& batch) = 0;
    // The ids of the runs the writer's keys name, once a batch that began them was written.
    virtual const std::map<std::uint64_t, std::int64_t>& ids() const = 0;
    // The writer's keys of runs this archive already holds, from an earlier connection to it.
    virtual void adoptIds(std::map<std::uint64_t, std::int64_t> ids) = 0;
    // Whether a write's failure says that the archive is damaged (to be set aside and begun anew
    // by opening it again), not merely full or busy.
    virtual bool damaged(const QString& failure) const = 0;

    // Runs without an end (the program ended by force while recording) end as "ended
    // unexpectedly" at their last reading, and are sealed. Returns them.
    virtual std::vector<ArchivedRun> closeUnfinished() = 0;

    // Newest first.
    virtual std::vector<ArchivedRun> runs() = 0;
    virtual std::optional<ArchivedRun> run(std::int64_t id) = 0;
    virtual std::vector<ArchivedReading> readings(std::int64_t id) = 0;
    virtual std::vector<ArchivedEvent> events(std::int64_t id) = 0;
    // Whether the run's rows still give its seal: nothing for a run without a seal (or none), or
    // when its rows could not be read (readFailure() says why).
    virtual std::optional<bool> verify(std::int64_t id) = 0;
    // Why the last read came back empty or short, or nothing when it was read whole.
    virtual const std::optional<QString>& readFailure() const = 0;
};

// An archive as it was opened: none when it could not be opened at all, and what the operator is
// to be told (why it is read-only, that a damaged one was set aside, why it could not be opened).
struct OpenedRunArchive {
    std::unique_ptr<RunArchive> archive;
    std::optional<QString> problem;
};
// Opens the archive at `where` (creating it for ReadWrite).
using RunArchiveOpener = std::function<OpenedRunArchive(const QString& where, RunArchive::Access)>;

// Whether an event of this kind is an alarm of its run: the emergency cut-off, the stop of a run
// without readings, a Stop the controller never confirmed, a controller found stopped. The
// archive counts them; the chart and the report mark them.
inline bool isAlarmEvent(const QString& kind) {
    return kind == QLatin1String("cut-off") || kind == QLatin1String("blind stop") ||
           kind == QLatin1String("stop not confirmed") ||
           kind == QLatin1String("controller found stopped");
}

// The end reason of a run that had no end when the archive was opened again: the program was
// ended by force (a crash, a power cut, kill -9) while it recorded.
inline const QString kEndedUnexpectedly = QStringLiteral("ended unexpectedly");

}  // namespace lumas
