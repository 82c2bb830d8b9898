#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
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

// The end reason of a run that had no end when the archive was opened again: the program was
// ended by force (a crash, a power cut, kill -9) while it recorded.
inline const QString kEndedUnexpectedly = QStringLiteral("ended unexpectedly");

}  // namespace lumas
