// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl runs: the list (text and JSON), a run's record, its CSV in both forms, the seals
// checked and a changed record named, against a small archive written here; an archive is
// only ever read.

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <variant>
#include <vector>

#include "cli/exit_status.h"
#include "cli/runs_command.h"
#include "core/run_csv_export.h"
#include "core/sqlite_run_archive.h"
#include "tests/cli/lumasctl_process.h"

namespace lumas::cli {
namespace {

using namespace std::chrono_literals;
using test::CommandRun;
using test::lumasctl;

// Local time one hour ahead of UTC where the runs were recorded.
const QDateTime kStart(QDate(2026, 12, 10), QTime(9, 0, 0), Qt::OffsetFromUTC, 3600);

ArchivedRunStart runStart(RunKind kind, const QDateTime& at) {
    ArchivedRunStart record;
    record.start.kind = kind;
    if (kind == RunKind::Programme) {
        record.start.programme = std::get<Programme>(Programme::make({{40.0, 10}, {-5.5, 5}}, {}));
    } else {
        record.start.singleSetPoint = 37.5;
    }
    record.start.emergencyThreshold = 280.0;
    record.start.blindStopLimit = 120s;
    record.start.devicePath = QStringLiteral("/dev/ttyUSB0");
    record.start.startedAt = at;
    record.user = QStringLiteral("tech");
    record.host = QStringLiteral("lab-3");
    record.version = QStringLiteral("3.0.3");
    return record;
}

// Run 1: a programme of 2 steps, 6 readings with the link down for two, ended by the cut-off
// 1 h 30 min after its start. Run 2: a single set point that continues run 1, stopped. Run 3: a
// single set point still going on.
const std::vector<ArchivedReading> kFirstReadings = {
    {0, 21.0, 40.0, 1, LinkHealth::State::Live},
    {1500, 21.5, 40.0, 1, LinkHealth::State::Live},
    {3000, std::nullopt, std::nullopt, 1, LinkHealth::State::NoReply},
    {4500, std::nullopt, std::nullopt, 1, LinkHealth::State::NoReply},
    {6000, 39.9, 40.0, 2, LinkHealth::State::Live},
    {7500, -0.5, -5.5, 2, LinkHealth::State::Live},
};

class LumasctlRunsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(path(), SqliteRunArchive::Access::ReadWrite);
        ASSERT_TRUE(opened.archive);
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Begin{1, runStart(RunKind::Programme, kStart)});
        batch.operations.emplace_back(ArchiveBatch::Readings{1, kFirstReadings});
        batch.operations.emplace_back(ArchiveBatch::Events{
            1,
            {{0, QStringLiteral("run started"), QStringLiteral("Programme of 2 step(s), 15 min")},
             {3000, QStringLiteral("link lost"), QStringLiteral("No reply from the controller.")},
             {5400000, QStringLiteral("cut-off"), QStringLiteral("Threshold: 280 °C.")}}});
        batch.operations.emplace_back(
            ArchiveBatch::End{1, QStringLiteral("emergency cut-off"), kStart.addSecs(5400)});
        ArchivedRunStart second = runStart(RunKind::Single, kStart.addDays(1));
        second.continues = 1;
        batch.operations.emplace_back(ArchiveBatch::Begin{2, second});
        batch.operations.emplace_back(
            ArchiveBatch::Readings{2, {{0, 25.0, 37.5, 0, LinkHealth::State::Live}}});
        batch.operations.emplace_back(ArchiveBatch::End{
            2, QStringLiteral("stopped by the operator"), kStart.addDays(1).addSecs(90061)});
        batch.operations.emplace_back(
            ArchiveBatch::Begin{3, runStart(RunKind::Single, kStart.addDays(3))});
        batch.operations.emplace_back(
            ArchiveBatch::Readings{3, {{0, 30.0, 37.5, 0, LinkHealth::State::Live}}});
        ASSERT_EQ(opened.archive->write(batch), std::nullopt);
    }

    QString path() const { return folder.filePath(QStringLiteral("runs.sqlite")); }

    CommandRun runs(QStringList arguments) const {
        arguments.prepend(QStringLiteral("runs"));
        arguments << QStringLiteral("--archive") << path();
        return lumasctl(arguments);
    }

    // Changes the archive behind the program's back.
    void tamper(const QString& statement) const {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
            db.setDatabaseName(path());
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            ASSERT_TRUE(query.exec(statement));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
    }

    QTemporaryDir folder;
};

TEST_F(LumasctlRunsTest, ListsTheRunsNewestFirstAsTextAndAsJson) {
    const CommandRun text = runs({});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList lines = text.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << text.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("ID  Started"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral(" 3  2026-12-13 09:00")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("no end yet")));
    // Run 2 lasted a day, an hour, a minute and a second.
    EXPECT_TRUE(lines[2].contains(QStringLiteral("1 d 01:01:01  set point 37.5 °C")))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("stopped by the operator")));
    // Run 1: the start in the run's own local time, its programme, minimum and maximum of the
    // readings taken, one alarm, six readings.
    EXPECT_TRUE(lines[3].contains(QRegularExpression(
        QStringLiteral("^ 1  2026-12-10 09:00 +01:30:00  programme, 2 steps +-0.5 +39.9 +1 +6 "
                       " emergency cut-off$"))))
        << lines[3].toStdString();

    const CommandRun json = runs({QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray all = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 3) << json.out.toStdString();
    EXPECT_EQ(all[0][QStringLiteral("id")].toInt(), 3);
    EXPECT_TRUE(all[0][QStringLiteral("ended")].isNull()) << "no end yet";
    EXPECT_TRUE(all[0][QStringLiteral("end_reason")].isNull());
    const QJsonObject first = all[2].toObject();
    EXPECT_EQ(first[QStringLiteral("id")].toInt(), 1);
    EXPECT_EQ(first[QStringLiteral("started")].toString(), "2026-12-10T08:00:00.000Z");
    EXPECT_EQ(first[QStringLiteral("ended")].toString(), "2026-12-10T09:30:00.000Z");
    EXPECT_EQ(first[QStringLiteral("utc_offset_s")].toInt(), 3600);
    EXPECT_EQ(first[QStringLiteral("end_reason")].toString(), "emergency cut-off");
    EXPECT_EQ(first[QStringLiteral("readings")].toInt(), 6);
    EXPECT_EQ(first[QStringLiteral("alarms")].toInt(), 1);
    EXPECT_EQ(first[QStringLiteral("min")].toDouble(), -0.5);
    EXPECT_EQ(first[QStringLiteral("programme")].toArray().size(), 2);
    EXPECT_EQ(first[QStringLiteral("programme")][1][QStringLiteral("temperature")].toDouble(),
              -5.5);
    EXPECT_EQ(all[1][QStringLiteral("continues")].toInt(), 1);
}

TEST_F(LumasctlRunsTest, ShowsARunsRecordAndItsEvents) {
    const CommandRun shown = runs({QStringLiteral("show"), QStringLiteral("1")});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    for (const char* expected : {
             "Started:              2026-12-10 09:00:00 +01:00\n",
             "Ended:                2026-12-10 10:30:00 +01:00, after 01:30:00\n",
             "How it ended:         emergency cut-off\n",
             "Last reading:         2026-12-10 09:00:07 +01:00\n",
             "User:                 tech\n",
             "Host:                 lab-3\n",
             "Port:                 /dev/ttyUSB0\n",
             "Lumas version:        3.0.3\n",
             "Emergency threshold:  280.0 °C\n",
             "Blind-run limit:      120 s\n",
             "Minimum:              -0.5 °C\n",
             "Maximum:              39.9 °C\n",
             "Alarms:               1\n",
             "Readings:             6\n",
             "Seal:                 SHA-256 ",
             "Programme:            2 steps, 15 min in all\n"
             "  Step  Temperature    Hold  Begins after\n"
             "     1      40.0 °C  10 min         0 min\n"
             "     2      -5.5 °C   5 min        10 min\n",
             "  2026-12-10 09:00:03  00:00:03  link lost    No reply from the controller.\n",
             "  2026-12-10 10:30:00  01:30:00  cut-off      Threshold: 280 °C.\n",
         }) {
        EXPECT_TRUE(shown.out.contains(QString::fromUtf8(expected))) << expected << "\nin:\n"
                                                                     << shown.out.toStdString();
    }
    const CommandRun second = runs({QStringLiteral("show"), QStringLiteral("2")});
    EXPECT_TRUE(second.out.contains(QStringLiteral("Continues:            run 1\n")));
    EXPECT_TRUE(second.out.contains(QStringLiteral("Set point:            37.5 °C\n")));
    EXPECT_TRUE(second.out.contains(QStringLiteral("Events: none.")));

    const CommandRun json =
        runs({QStringLiteral("show"), QStringLiteral("1"), QStringLiteral("--json")});
    const QJsonObject record = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(record[QStringLiteral("seal")].toString().size(), 64);
    const QJsonArray events = record[QStringLiteral("events")].toArray();
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events[2][QStringLiteral("at")].toString(), "2026-12-10T09:30:00.000Z");
    EXPECT_EQ(events[2][QStringLiteral("kind")].toString(), "cut-off");

    const CommandRun missing = runs({QStringLiteral("show"), QStringLiteral("9")});
    EXPECT_EQ(missing.exitCode, kExitNoSuchRun);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("holds no run 9")))
        << missing.err.toStdString();
}

TEST_F(LumasctlRunsTest, ExportsARunInTheLogsFormAndInTheIsoForm) {
    // The ISO form to standard output, and nothing else there.
    const CommandRun iso =
        runs({QStringLiteral("export"), QStringLiteral("1"), QStringLiteral("--csv"),
              QStringLiteral("-"), QStringLiteral("--iso")});
    ASSERT_EQ(iso.exitCode, 0) << iso.err.toStdString();
    EXPECT_EQ(iso.out, QStringLiteral("time_utc,elapsed_s,temperature_c,set_point_c,step,link\r\n"
                                      "2026-12-10T08:00:00.000Z,0.000,21.0,40.0,1,live\r\n"
                                      "2026-12-10T08:00:01.500Z,1.500,21.5,40.0,1,live\r\n"
                                      "2026-12-10T08:00:03.000Z,3.000,,,1,no reply\r\n"
                                      "2026-12-10T08:00:04.500Z,4.500,,,1,no reply\r\n"
                                      "2026-12-10T08:00:06.000Z,6.000,39.9,40.0,2,live\r\n"
                                      "2026-12-10T08:00:07.500Z,7.500,-0.5,-5.5,2,live\r\n"));

    // The log's own form to a file: the rows of the readings with a temperature, as the log
    // writes them in the locale lumasctl runs under (C here).
    const QString file = folder.filePath(QStringLiteral("run1.csv"));
    const CommandRun log =
        runs({QStringLiteral("export"), QStringLiteral("1"), QStringLiteral("--csv"), file});
    ASSERT_EQ(log.exitCode, 0) << log.err.toStdString();
    EXPECT_EQ(
        log.out,
        QStringLiteral("Run 1 written to %1: 4 rows in the temperature log's form.\n").arg(file));
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray rows = written.readAll();
    EXPECT_TRUE(rows.startsWith("\xEF\xBB\xBF[Date Time], [Temperature]\r\n"));
    EXPECT_EQ(rows.count("\r\n"), 5) << rows.toStdString();
    EXPECT_TRUE(rows.endsWith(", \"-0.5\"\r\n")) << rows.toStdString();

    // A folder that is not there: nothing is left under the name, and the status says so.
    const QString nowhere = folder.filePath(QStringLiteral("no/such/folder/run1.csv"));
    const CommandRun refused =
        runs({QStringLiteral("export"), QStringLiteral("1"), QStringLiteral("--csv"), nowhere});
    EXPECT_EQ(refused.exitCode, kExitFileNotWritten);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("could not be written")))
        << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(LumasctlRunsTest, VerifyNamesEveryRunWhoseRecordChanged) {
    const CommandRun intact = runs({QStringLiteral("verify")});
    EXPECT_EQ(intact.exitCode, 0) << intact.out.toStdString();
    EXPECT_EQ(intact.out, QStringLiteral("Run 3 (started 2026-12-13 09:00:00 +01:00) has no seal "
                                         "yet: it has no end.\n"
                                         "All 2 sealed runs hold their seals.\n"));

    // Any change to run 1's record: a reading, an event, the summary the list shows, its end.
    const QString pristine = folder.filePath(QStringLiteral("pristine.sqlite"));
    ASSERT_TRUE(QFile::copy(path(), pristine));
    for (const char* change : {
             "UPDATE readings SET temp = 215 WHERE run = 1 AND t_ms = 6000",
             "UPDATE readings SET link = 2 WHERE run = 1 AND t_ms = 3000",
             "UPDATE events SET text = 'Nothing happened.' WHERE kind = 'cut-off'",
             "UPDATE runs SET max_temp = 30.0 WHERE id = 1",
             "UPDATE runs SET alarms = 0 WHERE id = 1",
             "UPDATE runs SET end_reason = 'finished' WHERE id = 1",
         }) {
        SCOPED_TRACE(change);
        for (const QString& sidecar : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile::remove(path() + sidecar);
        }
        ASSERT_TRUE(QFile::remove(path()) && QFile::copy(pristine, path()));
        tamper(QString::fromUtf8(change));
        const CommandRun changed = runs({QStringLiteral("verify"), QStringLiteral("1")});
        EXPECT_EQ(changed.exitCode, kExitRecordChanged);
        EXPECT_EQ(changed.out, QStringLiteral("Run 1 (started 2026-12-10 09:00:00 +01:00) has "
                                              "changed since it was sealed.\n"));
    }

    // With run 2 removed as well: each named, and the count.
    tamper(QStringLiteral("DELETE FROM runs WHERE id = 2"));
    const CommandRun changed = runs({QStringLiteral("verify")});
    EXPECT_EQ(changed.exitCode, kExitRecordChanged);
    EXPECT_EQ(changed.out,
              QStringLiteral("Run 1 (started 2026-12-10 09:00:00 +01:00) has changed since it was "
                             "sealed.\n"
                             "Run 2 is missing from the archive.\n"
                             "Run 3 (started 2026-12-13 09:00:00 +01:00) has no seal yet: it has "
                             "no end.\n"
                             "2 runs checked: 0 hold their seal, 1 changed, 1 missing, 1 without a "
                             "seal yet.\n"));
}

// A reader never creates an archive or its folder, and leaves an archive as it found it: the
// database file unchanged and no file beside it but SQLite's own shared-memory and write-ahead
// files, which a reader of a database in WAL mode needs.
TEST_F(LumasctlRunsTest, TheArchiveIsOnlyRead) {
    const QString missing = folder.filePath(QStringLiteral("none/runs.sqlite"));
    const CommandRun none =
        lumasctl({QStringLiteral("runs"), QStringLiteral("--archive"), missing});
    EXPECT_EQ(none.exitCode, kExitNoArchive);
    EXPECT_TRUE(none.err.startsWith(QStringLiteral("lumasctl: There is no run archive at ")))
        << none.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("none"))));

    const auto databaseHash = [this] {
        QFile archive(path());
        EXPECT_TRUE(archive.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(archive.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = databaseHash();
    for (const QStringList& arguments :
         {QStringList{}, QStringList{QStringLiteral("show"), QStringLiteral("1")},
          QStringList{QStringLiteral("verify")}}) {
        EXPECT_EQ(runs(arguments).exitCode, 0);
    }
    EXPECT_EQ(databaseHash(), before);
    for (const QString& file : QDir(folder.path()).entryList(QDir::Files)) {
        EXPECT_TRUE(file == "runs.sqlite" || file == "runs.sqlite-wal" || file == "runs.sqlite-shm")
            << file.toStdString();
    }
    EXPECT_EQ(QFileInfo(path() + QStringLiteral("-wal")).size(), 0) << "nothing written";
}

// What the command line refuses, before the archive is opened.
TEST(RunsArguments, RefusesWhatCannotBeUsed) {
    struct Case {
        std::vector<std::string> arguments;
        const char* said;
    };
    const Case cases[] = {
        {{"show"}, "needs the run's number"},
        {{"show", "twelve"}, "named by its number"},
        {{"show", "0"}, "named by its number"},
        {{"show", "1", "2"}, "\"2\" is one too many"},
        {{"export", "1"}, "needs --csv FILE"},
        {{"export", "1", "--csv"}, "--csv needs a value"},
        {{"--iso"}, "--iso goes with runs export"},
        {{"verify", "--json"}, "--json goes with"},
        {{"list", "3"}, "takes no run"},
        {{"frob"}, "not \"frob\""},
        {{"--archive="}, "--archive needs a file"},
        {{"--force"}, "Unknown option --force"},
    };
    for (const Case& c : cases) {
        try {
            parseRunsArguments(c.arguments);
            ADD_FAILURE() << c.said << ": accepted";
        } catch (const SessionError& error) {
            EXPECT_EQ(error.exitStatus(), kExitUsage);
            EXPECT_NE(std::string(error.what()).find(c.said), std::string::npos) << error.what();
        }
    }
    const RunsArguments exported =
        parseRunsArguments({"export", "--archive=/tmp/a.sqlite", "12", "--csv", "-", "--iso"});
    EXPECT_EQ(exported.action, RunsArguments::Action::Export);
    EXPECT_EQ(exported.id, 12);
    EXPECT_EQ(exported.archive, "/tmp/a.sqlite");
    EXPECT_EQ(exported.csvFile, "-");
    EXPECT_TRUE(exported.iso);
}

}  // namespace
}  // namespace lumas::cli
