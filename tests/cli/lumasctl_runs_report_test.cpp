// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl runs report: a run's PDF report written from a small archive made here, read as
// another reader reads it (poppler's pdfinfo and pdftotext), without a display; the arguments and
// the failures refused with their statuses, leaving no file behind and the archive untouched.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <variant>
#include <vector>

#include "cli/exit_status.h"
#include "core/sqlite_run_archive.h"
#include "tests/cli/lumasctl_process.h"

namespace lumas::cli {
namespace {

using namespace std::chrono_literals;
using test::CommandRun;
using test::lumasctl;

// Local time one hour ahead of UTC where the run was recorded.
const QDateTime kStart(QDate(2026, 12, 10), QTime(9, 0, 0), Qt::OffsetFromUTC, 3600);

// Runs a poppler tool; an empty text when it is missing or fails.
QString poppler(const QString& tool, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        ADD_FAILURE() << tool.toStdString() << " (poppler-utils) is needed for this test";
        return {};
    }
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

class LumasctlRunsReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(archivePath(), SqliteRunArchive::Access::ReadWrite);
        ASSERT_TRUE(opened.archive);
        ArchivedRunStart start;
        start.start.kind = RunKind::Programme;
        start.start.programme =
            std::get<Programme>(Programme::make({{40.0, 10}, {-5.5, 5}, {120.0, 45}}, {}));
        start.start.emergencyThreshold = 280.0;
        start.start.blindStopLimit = 120s;
        start.start.devicePath = QStringLiteral("/dev/ttyUSB0");
        start.start.startedAt = kStart;
        start.user = QStringLiteral("tech");
        start.host = QStringLiteral("lab-3");
        start.version = QStringLiteral("3.0.3");
        std::vector<ArchivedReading> readings;
        for (int k = 0; k < 2400; ++k) {  // an hour at 1.5 s, the link down for a minute
            const bool down = k >= 400 && k < 440;
            readings.push_back(
                {k * 1500LL, down ? std::nullopt : std::optional<double>(20.0 + (k % 600) / 10.0),
                 down ? std::nullopt : std::optional<double>(40.0), 1,
                 down ? LinkHealth::State::NoReply : LinkHealth::State::Live});
        }
        std::vector<ArchivedEvent> events{
            {0, QStringLiteral("run started"), QStringLiteral("Programme of 3 step(s), 60 min")}};
        // Enough events to run onto a further page.
        for (int k = 1; k <= 120; ++k) {
            events.push_back({k * 20'000LL, QStringLiteral("link lost"),
                              QStringLiteral("No reply from the controller (%1).").arg(k)});
        }
        events.push_back({3'540'000, QStringLiteral("cut-off"),
                          QStringLiteral("The chamber reached 280.4 °C, above the threshold.")});
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Begin{1, start});
        batch.operations.emplace_back(ArchiveBatch::Readings{1, readings});
        batch.operations.emplace_back(ArchiveBatch::Events{1, events});
        batch.operations.emplace_back(
            ArchiveBatch::End{1, QStringLiteral("emergency cut-off"), kStart.addSecs(3600)});
        ASSERT_EQ(opened.archive->write(batch), std::nullopt);
        ASSERT_EQ(opened.archive->idOf(1), 1);
    }

    QString archivePath() const { return folder.filePath(QStringLiteral("runs.sqlite")); }

    CommandRun report(QStringList arguments) const {
        arguments.prepend(QStringLiteral("report"));
        arguments.prepend(QStringLiteral("runs"));
        return lumasctl(arguments);
    }

    QTemporaryDir folder;
};

TEST_F(LumasctlRunsReportTest, WritesTheRunsChartRecordAndEventsWithoutADisplay) {
    const QString pdf = folder.filePath(QStringLiteral("Run 1.pdf"));
    QFile stale(pdf);  // an earlier file is replaced whole
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(50'000, 'x'));
    stale.close();

    // No display and no platform chosen: lumasctl draws offscreen by itself.
    QProcess process;
    QProcessEnvironment environment = test::lumasctlEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LUMASCTL_PATH),
                  {QStringLiteral("runs"), QStringLiteral("report"), QStringLiteral("--archive"),
                   archivePath(), QStringLiteral("1"), QStringLiteral("--pdf=") + pdf});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    ASSERT_EQ(process.exitCode(), 0) << err.toStdString();
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("Report of run 1 written to ") + pdf))
        << out.toStdString();

    // The chart's page, the record's page, and the events that did not fit on it.
    const QString info = poppler(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Run 1\\n"))))
        << info.toStdString();
    const int pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)\\n")).match(info).captured(1).toInt();
    EXPECT_GE(pages, 3) << info.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral(": %1 pages.").arg(pages))) << out.toStdString();
    const QString text = poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    for (const QString& expected : {
             QStringLiteral("Run 1, started 2026-12-10 09:00:00 UTC+01:00, ended 2026-12-10 "
                            "10:00:00 UTC+01:00: emergency cut-off"),
             QStringLiteral("Operator: tech@lab-3"),
             QStringLiteral("Port: /dev/ttyUSB0"),
             QStringLiteral("Programme: 3 steps, 60 min"),
             QStringLiteral("Emergency threshold: 280.0 °C"),
             QStringLiteral("Minimum: 20.0 °C"),
             QStringLiteral("Maximum: 79.9 °C"),
             QStringLiteral("Alarms: 1"),
             QStringLiteral("Run 1"),  // the curve in the legend
             QStringLiteral("Alarm"),  // the cut-off's mark in the legend
             QStringLiteral("Record of run 1"),
             QStringLiteral("-5.5"),     // step 2 of the programme table
             QStringLiteral("0:59:00"),  // the cut-off, since the start
             QStringLiteral("The chamber reached 280.4 °C, above the threshold."),
             QStringLiteral("Events (continued)"),
             QStringLiteral("No reply from the controller (120)."),
         }) {
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in\n"
                                             << text.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral(".Run 1.pdf.writing"))));
}

TEST_F(LumasctlRunsReportTest, RefusesWhatItCannotDoAndLeavesNothingBehind) {
    const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
    const QString missingArchive = folder.filePath(QStringLiteral("none/runs.sqlite"));
    struct Case {
        const char* name;
        QStringList arguments;
        int status;
        QString told;
    };
    const QString archive = archivePath();
    const std::vector<Case> cases = {
        {"no run",
         {QStringLiteral("--pdf"), pdf, QStringLiteral("--archive"), archive},
         kExitUsage,
         QStringLiteral("needs the run's number")},
        {"no file",
         {QStringLiteral("1"), QStringLiteral("--archive"), archive},
         kExitUsage,
         QStringLiteral("needs --pdf FILE")},
        {"standard output",
         {QStringLiteral("1"), QStringLiteral("--pdf"), QStringLiteral("-")},
         kExitUsage,
         QStringLiteral("(standard output) is not taken")},
        {"not a run number",
         {QStringLiteral("1x"), QStringLiteral("--pdf"), pdf},
         kExitUsage,
         QStringLiteral("not \"1x\"")},
        {"unknown option",
         {QStringLiteral("1"), QStringLiteral("--csv"), pdf},
         kExitUsage,
         QStringLiteral("does not take --csv")},
        {"no such run",
         {QStringLiteral("7"), QStringLiteral("--pdf"), pdf, QStringLiteral("--archive"), archive},
         kExitNoSuchRun,
         QStringLiteral("holds no run 7")},
        {"no archive",
         {QStringLiteral("1"), QStringLiteral("--pdf"), pdf, QStringLiteral("--archive"),
          missingArchive},
         kExitNoArchive,
         QStringLiteral("There is no run archive at ") + missingArchive},
        {"a folder that is a file",
         {QStringLiteral("1"), QStringLiteral("--pdf"), archive + QStringLiteral("/report.pdf"),
          QStringLiteral("--archive"), archive},
         kExitFileNotWritten,
         QStringLiteral("The file ") + archive +
             QStringLiteral("/report.pdf could not be written.")},
    };
    const QByteArray archiveBytes = [&] {
        QFile file(archive);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = report(c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.told)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_FALSE(QFileInfo::exists(missingArchive));  // a reader never makes an archive
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(missingArchive).absolutePath()));
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), archiveBytes);
    const QStringList reports =
        QDir(folder.path())
            .entryList({QStringLiteral("*.pdf"), QStringLiteral("*.writing")},
                       QDir::Files | QDir::Hidden);
    EXPECT_TRUE(reports.isEmpty()) << reports.join(u' ').toStdString();
}

}  // namespace
}  // namespace lumas::cli
