// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The run archive: what a run's record holds and how it comes back, its seal, the runs a forced
// end left open, a damaged or newer file, and the writer that keeps recording through a full disk,
// a removed folder or a damaged file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <chrono>
#include <variant>

#include "core/archive_writer.h"
#include "core/sqlite_run_archive.h"

namespace lumas {
namespace {

using namespace std::chrono_literals;

const QDateTime kStart(QDate(2026, 12, 10), QTime(8, 0, 0), Qt::OffsetFromUTC, 3600);

ArchivedRunStart programmeRun() {
    ArchivedRunStart record;
    record.start.kind = RunKind::Programme;
    record.start.programme = std::get<Programme>(Programme::make({{40.0, 10}, {45.5, 5}}, {}));
    record.start.emergencyThreshold = 280.0;
    record.start.blindStopLimit = 120s;
    record.start.devicePath = QStringLiteral("/dev/ttyUSB0");
    record.start.startedAt = kStart;
    record.user = QStringLiteral("tech");
    record.host = QStringLiteral("lab-3");
    record.version = QStringLiteral("3.0.3");
    return record;
}

// A run of `count` readings 1.5 s apart, the temperature rising a tenth each, the link lost for
// the readings `gapFrom` to `gapTo`.
std::vector<ArchivedReading> readingsOf(int count, int gapFrom = -1, int gapTo = -1) {
    std::vector<ArchivedReading> readings;
    for (int k = 0; k < count; ++k) {
        const bool gap = k >= gapFrom && k <= gapTo;
        readings.push_back({k * 1500LL, gap ? std::nullopt : std::optional<double>(20.0 + k / 10.0),
                            gap ? std::nullopt : std::optional<double>(40.0), 1 + (k * 2) / count,
                            gap ? LinkHealth::State::NoReply : LinkHealth::State::Live});
    }
    return readings;
}

class RunArchiveTest : public ::testing::Test {
  protected:
    QString path() const { return folder.filePath(QStringLiteral("Lumas/runs.sqlite")); }

    std::unique_ptr<SqliteRunArchive> openForWriting() {
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
        EXPECT_FALSE(opened.problem.has_value()) << opened.problem->toStdString();
        return std::move(opened.archive);
    }

    QTemporaryDir folder;
};

TEST_F(RunArchiveTest, ARunsRecordComesBackAsItWasWrittenAndIsSealed) {
    auto archive = openForWriting();
    ASSERT_TRUE(archive);
    ArchiveBatch batch;
    batch.operations.emplace_back(ArchiveBatch::Begin{7, programmeRun()});
    batch.operations.emplace_back(ArchiveBatch::Readings{7, readingsOf(100, 40, 45)});
    batch.operations.emplace_back(ArchiveBatch::Events{
        7,
        {{0, QStringLiteral("run started"), QStringLiteral("Programme of 2 step(s)")},
         {61000, QStringLiteral("link lost"), QStringLiteral("No reply from the controller.")},
         {90000, QStringLiteral("cut-off"), QStringLiteral("Threshold: 280 °C.")}}});
    batch.operations.emplace_back(
        ArchiveBatch::End{7, QStringLiteral("emergency cut-off"), kStart.addSecs(150)});
    ASSERT_EQ(archive->write(batch), std::nullopt);
    const std::int64_t id = *archive->idOf(7);

    const std::vector<ArchivedRun> runs = archive->runs();
    ASSERT_EQ(runs.size(), 1u);
    const ArchivedRun& run = runs[0];
    EXPECT_EQ(run.id, id);
    EXPECT_EQ(run.started, kStart.toUTC());
    EXPECT_EQ(run.utcOffsetSeconds, 3600);
    EXPECT_EQ(run.ended, kStart.addSecs(150).toUTC());
    EXPECT_EQ(run.endReason, "emergency cut-off");
    EXPECT_EQ(run.kind, RunKind::Programme);
    ASSERT_TRUE(run.programme.has_value());
    EXPECT_EQ(run.programme->steps(), programmeRun().start.programme->steps());
    EXPECT_EQ(run.threshold, 280.0);
    EXPECT_EQ(run.blindStopSeconds, 120);
    EXPECT_EQ(run.port, "/dev/ttyUSB0");
    EXPECT_EQ(run.user, "tech");
    EXPECT_EQ(run.host, "lab-3");
    EXPECT_EQ(run.version, "3.0.3");
    EXPECT_EQ(run.readings, 100);
    EXPECT_EQ(run.minimum, 20.0);
    EXPECT_DOUBLE_EQ(*run.maximum, 29.9);
    EXPECT_EQ(run.alarms, 1) << "the cut-off";
    EXPECT_EQ(run.lastReading, kStart.addMSecs(99 * 1500).toUTC());
    EXPECT_EQ(run.seal.size(), 64);

    EXPECT_EQ(archive->readings(id), readingsOf(100, 40, 45)) << "gaps stay gaps";
    EXPECT_EQ(archive->events(id).size(), 3u);
    EXPECT_EQ(archive->verify(id), true);

    // A record changed behind the program's back no longer gives its seal.
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
    db.setDatabaseName(path());
    ASSERT_TRUE(db.open());
    QSqlQuery(db).exec(QStringLiteral("UPDATE readings SET temp = 250 WHERE t_ms = 3000"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
    EXPECT_EQ(archive->verify(id), false);
}

TEST_F(RunArchiveTest, ARunLeftOpenByAForcedEndIsClosedAtItsLastReading) {
    {
        auto archive = openForWriting();
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Begin{1, programmeRun()});
        batch.operations.emplace_back(ArchiveBatch::Readings{1, readingsOf(10, 8, 9)});
        ASSERT_EQ(archive->write(batch), std::nullopt);
    }  // the program ends without an end of the run
    auto archive = openForWriting();
    const std::vector<ArchivedRun> closed = archive->closeUnfinished();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].endReason, kEndedUnexpectedly);
    EXPECT_EQ(closed[0].ended, kStart.addMSecs(7 * 1500).toUTC()) << "the last reading, not a gap";
    EXPECT_EQ(archive->verify(closed[0].id), true);
    EXPECT_TRUE(archive->closeUnfinished().empty());
}

TEST_F(RunArchiveTest, ADamagedFileIsSetAsideAndANewArchiveBegun) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
    QFile damaged(path());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, 'x'));
    damaged.close();

    SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
    ASSERT_TRUE(opened.archive);
    ASSERT_TRUE(opened.problem.has_value());
    EXPECT_TRUE(opened.problem->contains("was damaged")) << opened.problem->toStdString();
    const QStringList aside =
        QDir(QFileInfo(path()).absolutePath()).entryList({QStringLiteral("runs.sqlite.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(path()).absolutePath() + u'/' + aside[0]);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray(8192, 'x')) << "kept as it was";
    ArchiveBatch batch;
    batch.operations.emplace_back(ArchiveBatch::Begin{1, programmeRun()});
    EXPECT_EQ(opened.archive->write(batch), std::nullopt);
}

TEST_F(RunArchiveTest, AnArchiveOfANewerSchemaIsOpenedReadOnly) {
    openForWriting().reset();
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 9"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
    ASSERT_TRUE(opened.archive);
    EXPECT_TRUE(opened.archive->readOnly());
    ASSERT_TRUE(opened.problem.has_value());
    EXPECT_TRUE(opened.problem->contains("newer Lumas")) << opened.problem->toStdString();
    ArchiveBatch batch;
    batch.operations.emplace_back(ArchiveBatch::Begin{1, programmeRun()});
    EXPECT_TRUE(opened.archive->write(batch).has_value());
    EXPECT_TRUE(opened.archive->runs().empty()) << "what it holds can still be read";
}

TEST_F(RunArchiveTest, AReadingTakesAtMostFortyBytesOnDisk) {
    auto archive = openForWriting();
    ArchiveBatch batch;
    batch.operations.emplace_back(ArchiveBatch::Begin{1, programmeRun()});
    batch.operations.emplace_back(ArchiveBatch::Readings{1, readingsOf(100000)});
    ASSERT_EQ(archive->write(batch), std::nullopt);
    archive.reset();
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("size"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("size"));
    const double perReading = static_cast<double>(QFileInfo(path()).size()) / 100000.0;
    RecordProperty("bytes_per_reading", QString::number(perReading, 'f', 1).toStdString());
    EXPECT_LE(perReading, 40.0);
}

// The writer keeps the record of a run through a folder that cannot be written and a removed
// archive, tells of each once, and catches up.
TEST_F(RunArchiveTest, TheWriterCatchesUpAfterTheArchiveCouldNotBeWritten) {
    ArchiveWriter writer(path());
    EXPECT_TRUE(writer.recovered(5s).empty());
    const std::uint64_t run = writer.beginRun(programmeRun());
    const std::vector<ArchivedReading> all = readingsOf(30);
    for (int k = 0; k < 10; ++k) {
        writer.addReading(run, all[static_cast<std::size_t>(k)]);
    }
    ASSERT_TRUE(writer.flush(5s));

    // The archive removed with its folder under the recording: begun anew, the run goes on in it.
    ASSERT_TRUE(QDir(QFileInfo(path()).absolutePath()).removeRecursively());
    for (int k = 10; k < 20; ++k) {
        writer.addReading(run, all[static_cast<std::size_t>(k)]);
    }
    ASSERT_TRUE(writer.flush(5s));
    std::vector<QString> told = writer.takeProblems();
    ASSERT_FALSE(told.empty());
    EXPECT_TRUE(told[0].contains("was removed")) << told[0].toStdString();
    for (int k = 20; k < 30; ++k) {
        writer.addReading(run, all[static_cast<std::size_t>(k)]);
    }
    writer.endRun(run, QStringLiteral("finished"), kStart.addSecs(60));
    ASSERT_TRUE(writer.flush(5s));
    SqliteRunArchive::Opened reread =
        SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadOnly);
    ASSERT_TRUE(reread.archive);
    const std::vector<ArchivedRun> runs = reread.archive->runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].readings, 20) << "recorded again from the moment it was removed";
    EXPECT_EQ(runs[0].endReason, "finished");
}

}  // namespace
}  // namespace lumas
