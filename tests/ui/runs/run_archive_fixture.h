// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

// A small run archive written by the tests of the Runs window and the run's report: four runs on
// four days, recorded an hour ahead of UTC.
//   1  Dec 1, programme of 2 steps, finished; 200 readings, the link down for readings 80 to 99
//   2  Dec 2, single set point 37.5 °C, stopped by the operator
//   3  Dec 3, programme of 2 steps, ended by the emergency cut-off (an alarm) at 4 min
//   4  Dec 4, single set point 60.0 °C, still running

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "core/sqlite_run_archive.h"

namespace lumas::test {

inline const QDateTime kFirstStart(QDate(2026, 12, 1), QTime(9, 0, 0), Qt::OffsetFromUTC, 3600);

inline ArchivedRunStart fixtureStart(int day, std::optional<double> single) {
    using namespace std::chrono_literals;
    ArchivedRunStart record;
    if (single) {
        record.start.kind = RunKind::Single;
        record.start.singleSetPoint = single;
    } else {
        record.start.kind = RunKind::Programme;
        record.start.programme =
            std::get<Programme>(Programme::make({{40.0, 3}, {-5.5, 2}}, ProgrammeLimits{}));
    }
    record.start.emergencyThreshold = 280.0;
    record.start.blindStopLimit = 120s;
    record.start.devicePath = QStringLiteral("/dev/ttyUSB0");
    record.start.startedAt = kFirstStart.addDays(day);
    record.user = QStringLiteral("tech");
    record.host = QStringLiteral("lab-3");
    record.version = QStringLiteral("3.0.3");
    return record;
}

// `count` readings 1.5 s apart rising from `from` a tenth each, the link down for readings
// [gapFrom, gapTo).
inline std::vector<ArchivedReading> fixtureReadings(int count, double from, int gapFrom = -1,
                                                    int gapTo = -1) {
    std::vector<ArchivedReading> readings;
    for (int k = 0; k < count; ++k) {
        const bool down = k >= gapFrom && k < gapTo;
        readings.push_back({k * 1500LL,
                            down ? std::nullopt : std::optional<double>(from + k / 10.0),
                            down ? std::nullopt : std::optional<double>(40.0), 1,
                            down ? LinkHealth::State::NoReply : LinkHealth::State::Live});
    }
    return readings;
}

inline const std::vector<ArchivedEvent> kCutOffEvents{
    {0, QStringLiteral("run started"), QStringLiteral("Programme of 2 step(s), 5 min")},
    {60'000, QStringLiteral("link lost"), QStringLiteral("No reply from the controller.")},
    {90'000, QStringLiteral("link up"), QStringLiteral("Readings come in.")},
    {240'000, QStringLiteral("cut-off"),
     QStringLiteral("The chamber reached 281.0 °C, above the emergency threshold of 280 °C.")},
    {243'000, QStringLiteral("run ended"), QStringLiteral("emergency cut-off")},
};

// Writes the four runs into the archive at `path`; the ids are 1 to 4. False when it failed.
inline bool writeFixtureArchive(const QString& path) {
    SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(path, SqliteRunArchive::Access::ReadWrite);
    if (!opened.archive) {
        return false;
    }
    ArchiveBatch batch;
    batch.operations.emplace_back(ArchiveBatch::Begin{1, fixtureStart(0, std::nullopt)});
    batch.operations.emplace_back(ArchiveBatch::Readings{1, fixtureReadings(200, 20.0, 80, 100)});
    batch.operations.emplace_back(ArchiveBatch::Events{
        1,
        {{0, QStringLiteral("run started"), QStringLiteral("Programme of 2 step(s), 5 min")},
         {120'000, QStringLiteral("link lost"), QStringLiteral("No reply from the controller.")},
         {150'000, QStringLiteral("link up"), QStringLiteral("Readings come in.")}}});
    batch.operations.emplace_back(
        ArchiveBatch::End{1, QStringLiteral("finished"), kFirstStart.addSecs(300)});

    batch.operations.emplace_back(ArchiveBatch::Begin{2, fixtureStart(1, 37.5)});
    batch.operations.emplace_back(ArchiveBatch::Readings{2, fixtureReadings(40, 30.0)});
    batch.operations.emplace_back(ArchiveBatch::End{2, QStringLiteral("stopped by the operator"),
                                                    kFirstStart.addDays(1).addSecs(60)});

    batch.operations.emplace_back(ArchiveBatch::Begin{3, fixtureStart(2, std::nullopt)});
    batch.operations.emplace_back(ArchiveBatch::Readings{3, fixtureReadings(163, 265.0, 40, 60)});
    batch.operations.emplace_back(ArchiveBatch::Events{3, kCutOffEvents});
    batch.operations.emplace_back(ArchiveBatch::End{3, QStringLiteral("emergency cut-off"),
                                                    kFirstStart.addDays(2).addSecs(243)});

    batch.operations.emplace_back(ArchiveBatch::Begin{4, fixtureStart(3, 60.0)});
    batch.operations.emplace_back(ArchiveBatch::Readings{4, fixtureReadings(10, 50.0)});
    return !opened.archive->write(batch).has_value() && opened.archive->idOf(4) == 4;
}

}  // namespace lumas::test
