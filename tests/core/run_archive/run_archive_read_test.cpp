// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The run archive's reading side: every value a reading can hold comes back as it was written,
// a programme comes back with every field, one stored in another JSON form still reads, and a
// reader never creates an archive.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <chrono>
#include <variant>

#include "core/sqlite_run_archive.h"

namespace lumas {
namespace {

using namespace std::chrono_literals;
using State = LinkHealth::State;

ArchivedRunStart programmeRun() {
    ArchivedRunStart record;
    record.start.kind = RunKind::Programme;
    record.start.programme =
        std::get<Programme>(Programme::make({{-40.0, 10}, {0.0, 5}, {85.5, 9999}}, {}));
    record.start.emergencyThreshold = 280.0;
    record.start.blindStopLimit = 120s;
    record.start.devicePath = QStringLiteral("/dev/ttyUSB0");
    record.start.startedAt =
        QDateTime(QDate(2026, 12, 10), QTime(8, 0, 0, 250), Qt::OffsetFromUTC, -18000);
    return record;
}

class RunArchiveReadTest : public ::testing::Test {
  protected:
    QString path() const { return folder.filePath(QStringLiteral("runs.sqlite")); }

    // Writes one run with `readings` and returns its id.
    std::int64_t written(const std::vector<ArchivedReading>& readings) {
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
        EXPECT_TRUE(opened.archive);
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Begin{1, programmeRun()});
        batch.operations.emplace_back(ArchiveBatch::Readings{1, readings});
        EXPECT_EQ(opened.archive->write(batch), std::nullopt);
        return *opened.archive->idOf(1);
    }

    std::unique_ptr<SqliteRunArchive> reader() {
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadOnly);
        EXPECT_FALSE(opened.problem.has_value()) << opened.problem->toStdString();
        return std::move(opened.archive);
    }

    QTemporaryDir folder;
};

// Readings come back through one packed column: each field must keep its own range, a zero must
// stay apart from none, a negative value keep its sign, and no field spill into the next.
TEST_F(RunArchiveReadTest, EveryValueOfAReadingComesBackAsWritten) {
    const std::vector<ArchivedReading> readings = {
        {0, 0.0, 0.0, 0, State::Offline},
        {1500, -0.1, -70.0, 1, State::Waiting},
        {3000, -70.0, 500.0, 12, State::Live},
        {4500, std::nullopt, 40.0, 3, State::NoReply},
        {6000, 40.0, std::nullopt, 3, State::PortFailed},
        {7500, std::nullopt, std::nullopt, 255, State::Live},
        {9000, 99999.9, -99999.9, 7, State::Live},
        {7'200'000'000, 25.3, 25.4, 12, State::Live},  // the end of the longest programme
    };
    const std::int64_t id = written(readings);
    EXPECT_EQ(reader()->readings(id), readings);
}

TEST_F(RunArchiveReadTest, TheRunsTimesAndProgrammeComeBackAsWritten) {
    const std::int64_t id = written({});
    const std::optional<ArchivedRun> run = reader()->run(id);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->started, programmeRun().start.startedAt);
    EXPECT_EQ(run->started.timeSpec(), Qt::UTC);
    EXPECT_EQ(run->started.time().msec(), 250);
    EXPECT_EQ(run->utcOffsetSeconds, -18000);
    ASSERT_TRUE(run->programme);
    EXPECT_EQ(run->programme->steps(), programmeRun().start.programme->steps());

    // A programme written by another hand, in another JSON layout, reads the same.
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral(
            "UPDATE runs SET programme = '{ \"format\": \"lumas-programme\", \"version\": 1, "
            "\"steps\": [ {\"temperature\": -40, \"hold\": 10}, {\"temperature\": 0, \"hold\": "
            "5}, {\"temperature\": 85.5, \"hold\": 9999} ] }'"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    const std::optional<ArchivedRun> edited = reader()->run(id);
    ASSERT_TRUE(edited && edited->programme);
    EXPECT_EQ(edited->programme->steps(), programmeRun().start.programme->steps());
}

// A programme with a name, ramps, bands, repeats and a held end comes back whole; a run recorded
// before programmes had them, in the form the archive wrote then, still reads.
TEST_F(RunArchiveReadTest, EveryFieldOfAProgrammeComesBackAndEarlierRunsStillRead) {
    ProgrammeDocument document;
    document.name = QStringLiteral("Cycling -40/85 °C");
    ProgrammeStep cold{-40.0, 15};
    cold.rate = 5.0;
    cold.band = 2.0;
    ProgrammeStep hot{85.0, 0.5};
    hot.rampMinutes = 20;
    document.rows = {ProgrammeStep{25, 10}, cold, hot, ProgrammeRepeat{2, 3, 10}};
    document.end = ProgrammeEnd::Hold;
    ArchivedRunStart start = programmeRun();
    start.start.programme = std::get<Programme>(Programme::fromDocument(document, {}));
    {
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
        ASSERT_TRUE(opened.archive);
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Begin{1, start});
        ASSERT_EQ(opened.archive->write(batch), std::nullopt);
    }
    const std::optional<ArchivedRun> run = reader()->run(1);
    ASSERT_TRUE(run && run->programme);
    EXPECT_EQ(*run->programme, *start.start.programme);

    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("earlier"));
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral(
            "UPDATE runs SET programme = '{\"end\":\"stop\",\"format\":\"lumas-programme\","
            "\"steps\":[{\"hold\":10,\"temperature\":-40},{\"hold\":5,\"temperature\":0},"
            "{\"hold\":9999,\"temperature\":85.5}],\"version\":1}'"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("earlier"));
    const std::optional<ArchivedRun> earlier = reader()->run(1);
    ASSERT_TRUE(earlier && earlier->programme);
    EXPECT_EQ(*earlier->programme, *programmeRun().start.programme);
}

TEST_F(RunArchiveReadTest, AReaderNeverCreatesAnArchive) {
    SqliteRunArchive::Opened opened = SqliteRunArchive::open(
        folder.filePath(QStringLiteral("none/runs.sqlite")), SqliteRunArchive::Access::ReadOnly);
    EXPECT_FALSE(opened.archive);
    ASSERT_TRUE(opened.problem.has_value());
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("none"))));
}

}  // namespace
}  // namespace lumas
