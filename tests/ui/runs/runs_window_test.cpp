// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// File > Runs…: the list of a small archive written here and its filters, a missing or damaged
// archive (never made by the window), a run opened and a second one laid over it (read on a
// worker thread, the last one asked for shown), the CSV in both forms and the report written from
// the window (with the names and folders their save dialogs propose), a week-long run read while
// the window goes on answering, and the main window's menu item and Export Chart carrying the
// current run's record.

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>

#include "core/archive_writer.h"
#include "core/clock.h"
#include "core/document_folders.h"
#include "core/run_csv_export.h"
#include "core/sqlite_run_archive.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "runs/run_archive_fixture.h"
#include "ui/chart_report_preview.h"
#include "ui/chart_widget.h"
#include "ui/main_window.h"
#include "ui/runs_window.h"

using lumas::ArchivedEvent;
using lumas::ArchivedReading;
using lumas::RunCsvForm;
using lumas::SqliteRunArchive;
using lumas::test::RecordedMessages;
using lumas::ui::RunsWindow;
using lumas::ui::TemperatureChart;
using Series = TemperatureChart::Series;
using Ids = std::vector<std::int64_t>;

Q_DECLARE_METATYPE(std::optional<QDate>)

namespace {

// How long a read of the small archive may take on a loaded machine.
constexpr int kReadWaitMs = 20000;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class RunsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QVERIFY(lumas::test::writeFixtureArchive(archive()));
    }

    void listsNewestFirstAndFilters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QDate>>("from");
        QTest::addColumn<std::optional<QDate>>("to");
        QTest::addColumn<Ids>("shown");
        const std::optional<QDate> none;
        QTest::newRow("all") << QString() << none << none << Ids{4, 3, 2, 1};
        QTest::newRow("how it ended") << QStringLiteral("cut-off") << none << none << Ids{3};
        QTest::newRow("any case") << QStringLiteral("PROGRAMME OF 2") << none << none << Ids{3, 1};
        QTest::newRow("set point") << QStringLiteral("37.5 °C") << none << none << Ids{2};
        QTest::newRow("still running") << QStringLiteral("still") << none << none << Ids{4};
        QTest::newRow("maximum") << QStringLiteral("281.2") << none << none << Ids{3};
        QTest::newRow("nothing matches") << QStringLiteral("xyz") << none << none << Ids{};
        QTest::newRow("days, both included") << QString() << std::optional(QDate(2026, 12, 2))
                                             << std::optional(QDate(2026, 12, 3)) << Ids{3, 2};
        QTest::newRow("from a day on")
            << QString() << std::optional(QDate(2026, 12, 4)) << none << Ids{4};
        QTest::newRow("up to a day")
            << QString() << none << std::optional(QDate(2026, 12, 1)) << Ids{1};
        QTest::newRow("text and days")
            << QStringLiteral("programme") << std::optional(QDate(2026, 12, 2))
            << std::optional(QDate(2026, 12, 4)) << Ids{3};
    }

    void listsNewestFirstAndFilters() {
        QFETCH(QString, text);
        QFETCH(std::optional<QDate>, from);
        QFETCH(std::optional<QDate>, to);
        QFETCH(Ids, shown);
        RunsWindow window(archive(), &messages_);
        window.refresh();
        window.setTextFilter(text);
        window.setDateRange(from, to);
        QCOMPARE(window.shownRuns(), shown);
        QCOMPARE(window.notice(), QString());
        window.setTextFilter(QString());
        window.setDateRange(std::nullopt, std::nullopt);
        QCOMPARE(window.shownRuns(), (Ids{4, 3, 2, 1}));
    }

    void listShowsEachRunsFacts() {
        RunsWindow window(archive(), &messages_);
        window.refresh();
        const QAbstractItemModel& model = *window.runsTable().model();
        QStringList row;
        for (int column = 0; column < RunsWindow::ColumnCount; ++column) {
            row << model.index(1, column).data().toString();  // run 3
        }
        QCOMPARE(row, (QStringList{"3", "2026-12-03 09:00:00 UTC+01:00", "4 min 03 s",
                                   "Programme of 2 steps, 5 min", "emergency cut-off", "265.0 °C",
                                   "281.2 °C", "1"}));
        QCOMPARE(model.index(0, RunsWindow::DurationColumn).data().toString(),
                 QStringLiteral("13 s"));  // run 4 goes on: up to its last reading
    }

    void missingOrDamagedArchiveIsToldAndNeverMade() {
        const QString missing = folder_.filePath(QStringLiteral("nowhere/runs.sqlite"));
        RunsWindow window(missing, &messages_);
        window.refresh();
        QCOMPARE(window.notice(),
                 QStringLiteral("No runs have been recorded yet: there is no run archive at %1.")
                     .arg(missing));
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("notice"))->isVisibleTo(&window));
        QVERIFY(window.shownRuns().empty());
        window.openRun(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window.loading(), kReadWaitMs);
        QVERIFY(!window.openRunId());
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!QFileInfo::exists(QFileInfo(missing).absolutePath()));

        const QString damaged = folder_.filePath(QStringLiteral("damaged.sqlite"));
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
        file.close();
        RunsWindow onDamaged(damaged, &messages_);
        onDamaged.refresh();
        QVERIFY2(onDamaged.notice().startsWith(QStringLiteral("The run archive ") + damaged),
                 qPrintable(onDamaged.notice()));
        QVERIFY(onDamaged.shownRuns().empty());
        QCOMPARE(fileBytes(damaged), QByteArray(8192, 'x'));
    }

    void opensARunAndLaysAnotherOverIt() {
        RunsWindow window(archive(), &messages_);
        window.resize(1100, 720);
        window.show();
        window.refresh();
        QSignalSpy opened(&window, &RunsWindow::runOpened);
        QSignalSpy overlaid(&window, &RunsWindow::overlayOpened);

        // Only the last run asked for is shown.
        window.openRun(1);
        window.openRun(3);
        QTRY_VERIFY_WITH_TIMEOUT(!window.loading(), kReadWaitMs);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).value<std::int64_t>(), 3);
        QCOMPARE(window.openRunId(), std::optional<std::int64_t>(3));

        TemperatureChart& chart = window.chart();
        QCOMPARE(chart.points(Series::Measured).size(), std::size_t{143});  // 163 less 20 missing
        QCOMPARE(chart.points(Series::Measured).gaps(), std::vector<std::size_t>{40});
        QCOMPARE(chart.points(Series::Target).size(), std::size_t{5});
        QCOMPARE(chart.seriesName(Series::Measured), QStringLiteral("Run 3"));
        QCOMPARE(chart.eventMarks().size(), lumas::test::kCutOffEvents.size());
        QVERIFY(chart.eventMarks()[3].alarm);
        QVERIFY(!chart.eventMarks()[2].alarm);
        const QTableWidget& events = window.eventsTable();
        QCOMPARE(events.rowCount(), static_cast<int>(lumas::test::kCutOffEvents.size()));
        QCOMPARE(events.item(3, 0)->text(), QStringLiteral("0:04:00"));
        QCOMPARE(events.item(3, 1)->text(), QStringLiteral("cut-off"));
        QVERIFY(events.item(3, 2)->font().bold());
        QVERIFY(!events.item(2, 2)->font().bold());

        window.overlayRun(1);
        QTRY_COMPARE_WITH_TIMEOUT(overlaid.size(), 1, kReadWaitMs);
        QCOMPARE(window.overlayRunId(), std::optional<std::int64_t>(1));
        QCOMPARE(chart.points(Series::Overlay).size(), std::size_t{180});
        QCOMPARE(chart.seriesName(Series::Overlay), QStringLiteral("Run 1"));
        QCOMPARE(chart.points(Series::Measured).size(), std::size_t{143});  // still run 3's
        QVERIFY(!lumas::test::saveScreenshot(window, QStringLiteral("runs_window")).isEmpty());

        window.removeOverlay();
        QVERIFY(!window.overlayRunId());
        QVERIFY(chart.points(Series::Overlay).empty());

        // A double-click on a row opens its run.
        QTableView& table = window.runsTable();
        const QModelIndex run2 = table.model()->index(2, 0);
        QCOMPARE(run2.data().toString(), QStringLiteral("2"));
        const QPoint onRun2 = table.visualRect(run2).center();
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, onRun2);
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, onRun2);
        QTRY_COMPARE_WITH_TIMEOUT(window.openRunId(), std::optional<std::int64_t>(2), kReadWaitMs);
        QCOMPARE(window.eventsTable().rowCount(), 0);
        QVERIFY(chart.eventMarks().empty());
    }

    void writesTheOpenRunsCsvAndReport() {
        RunsWindow window(archive(), &messages_);
        window.refresh();
        window.openRun(1);
        QTRY_VERIFY_WITH_TIMEOUT(window.openRunId().has_value(), kReadWaitMs);
        const SqliteRunArchive::Opened opened =
            SqliteRunArchive::open(archive(), SqliteRunArchive::Access::ReadOnly);
        QVERIFY(opened.archive);
        const std::vector<ArchivedReading> readings = opened.archive->readings(1);
        for (const RunCsvForm form : {RunCsvForm::Log, RunCsvForm::Iso}) {
            QBuffer expected;
            expected.open(QIODevice::WriteOnly);
            QVERIFY(lumas::writeRunCsv(*opened.archive->run(1), readings, form, expected));
            const QString path = folder_.filePath(QStringLiteral("run1-%1.csv").arg(int(form)));
            QVERIFY(window.exportCsv(path, form));
            QCOMPARE(fileBytes(path), expected.data());
        }
        QVERIFY(messages_.shown.empty());

        const QString unwritable = archive() + QStringLiteral("/run1.csv");  // under a file
        QVERIFY(!window.exportCsv(unwritable, RunCsvForm::Iso));
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].text,
                 QStringLiteral("The file %1 could not be written.").arg(unwritable));
        messages_.shown.clear();

        const QString pdf = folder_.filePath(QStringLiteral("run1.pdf"));
        QVERIFY(window.exportReport(pdf));
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            QVERIFY(text.waitForFinished(30000));
            const QString shown = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY2(shown.contains(QStringLiteral("Record of run 1")), qPrintable(shown));
            QVERIFY(shown.contains(QStringLiteral("Readings come in.")));
        }
    }

    void saveDialogsProposeTheRunsNameAndRememberEachFolder() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        const QString settings = home.filePath(QStringLiteral(".config/Lumas/Settings.ini"));
        const QString documents = home.filePath(QStringLiteral("Documents/Lumas"));
        const QString exports = home.filePath(QStringLiteral("exports"));
        QVERIFY(QDir().mkpath(exports));

        RunsWindow window(archive(), &messages_, nullptr, settings);
        QList<QUrl> viewed;
        window.openPdf = [&](const QUrl& url) {
            viewed << url;
            return true;
        };
        window.refresh();
        window.openRun(1);
        QTRY_VERIFY_WITH_TIMEOUT(window.openRunId().has_value(), kReadWaitMs);

        // Run 1 started at 09:00 an hour ahead of UTC: its own local time names it.
        const QString name = QStringLiteral("Lumas run 1 2026-12-01 09-00");
        const QString isoForm = QStringLiteral("ISO form, UTC times (*.csv)");
        struct Step {
            const char* button;
            QString folder;      // where the dialog starts
            QString proposed;    // the file name proposed
            QString nameFilter;  // the type of file chosen; empty to cancel
            QString saveAs;      // the file saved
        };
        const std::vector<Step> steps = {
            {"bExportCsv", documents, name + ".csv", isoForm, exports + "/iso.csv"},
            // Reports keep a folder of their own.
            {"bReportPdf", documents, name + ".pdf", QStringLiteral("PDF file (*.pdf)"),
             documents + "/" + name + ".pdf"},
            {"bExportCsv", exports, name + ".csv", {}, {}},
        };
        for (const Step& step : steps) {
            QString folderShown;
            QString proposed;
            lumas::test::ModalWatch<QFileDialog> watch([&](QFileDialog& dialog) {
                folderShown = dialog.directory().absolutePath();
                proposed = QFileInfo(dialog.selectedFiles().value(0)).fileName();
                if (step.nameFilter.isEmpty()) {
                    dialog.reject();
                    return;
                }
                dialog.selectNameFilter(step.nameFilter);
                // Typed into the name field, as the operator does.
                dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(step.saveAs);
                static_cast<QDialog&>(dialog).accept();  // as Save does
            });
            auto* button = window.findChild<QPushButton*>(QLatin1String(step.button));
            QVERIFY(button != nullptr && button->isEnabled());
            button->click();
            QVERIFY2(watch.seen(), step.button);
            QCOMPARE(folderShown, step.folder);
            QCOMPARE(proposed, step.proposed);
            if (!step.saveAs.isEmpty()) {
                QVERIFY(QFileInfo(step.saveAs).size() > 0);
            }
        }
        QVERIFY(messages_.shown.empty());
        QCOMPARE(viewed, QList<QUrl>{QUrl::fromLocalFile(documents + "/" + name + ".pdf")});
        // The ISO form was chosen, and written.
        QVERIFY(fileBytes(exports + "/iso.csv").startsWith(lumas::kRunCsvIsoHeader));
    }

    void aWeekLongRunIsReadWhileTheWindowAnswers() {
        const QString path = folder_.filePath(QStringLiteral("week.sqlite"));
        {
            SqliteRunArchive::Opened opened =
                SqliteRunArchive::open(path, SqliteRunArchive::Access::ReadWrite);
            QVERIFY(opened.archive);
            std::vector<ArchivedReading> readings;
            readings.reserve(403'200);  // 7 days at one reading every 1.5 s
            for (int k = 0; k < 403'200; ++k) {
                readings.push_back(
                    {k * 1500LL, 80.0 + (k % 200) / 10.0, 85.0, 0, lumas::LinkHealth::State::Live});
            }
            lumas::ArchiveBatch batch;
            batch.operations.emplace_back(
                lumas::ArchiveBatch::Begin{1, lumas::test::fixtureStart(0, 85.0)});
            batch.operations.emplace_back(lumas::ArchiveBatch::Readings{1, std::move(readings)});
            QCOMPARE(opened.archive->write(batch), std::nullopt);
        }
        RunsWindow window(path, &messages_);
        window.resize(1100, 720);
        window.show();
        window.refresh();
        // The window's event loop: the longest time between two turns of a 10 ms timer.
        QElapsedTimer sinceTurn;
        qint64 longestStall = 0;
        QTimer turns;
        QObject::connect(&turns, &QTimer::timeout,
                         [&] { longestStall = std::max(longestStall, sinceTurn.restart()); });
        QElapsedTimer total;
        total.start();
        window.openRun(1);
        const qint64 asked = total.elapsed();
        // The read goes on elsewhere: nothing is shown yet when openRun returns.
        QVERIFY(window.loading());
        QVERIFY(!window.openRunId());
        sinceTurn.start();
        turns.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(window.openRunId().has_value(), 60000);
        const qint64 shown = total.elapsed();
        QCoreApplication::processEvents();  // the chart's first drawing
        QTest::qWait(100);
        turns.stop();
        qInfo(
            "7-day run (403,200 readings): openRun returned after %lld ms, shown after %lld ms;"
            " the longest the window did not answer: %lld ms",
            asked, shown, longestStall);
        QCOMPARE(window.chart().points(Series::Measured).size(), std::size_t{403'200});
        QVERIFY2(asked < 100, qPrintable(QString::number(asked)));
        // Generous for a loaded machine; the figure above is what this machine does.
        QVERIFY2(longestStall < 1500, qPrintable(QString::number(longestStall)));
    }

    void mainWindowOpensRunsAndReportsTheCurrentRunsRecord() {
        lumas::MonotonicClock clock;
        QTemporaryDir settings;
        RecordedMessages messages;
        lumas::ui::TForm1 window(clock, settings.filePath(QStringLiteral("Settings.ini")),
                                 &messages);
        window.show();
        const QString path = folder_.filePath(QStringLiteral("current.sqlite"));

        // Before anything is recorded: a report without a record, and the Runs window on the
        // default archive.
        QString title;
        std::optional<lumas::RunRecord> record = lumas::RunRecord{};
        const auto exportChart = [&] {
            lumas::test::ModalWatch<lumas::ui::ChartReportPreview> watch(
                [&](lumas::ui::ChartReportPreview& preview) {
                    record = preview.report().record();
                    preview.reject();
                });
            window.action(QStringLiteral("ExportChart1"))->trigger();
            QVERIFY(watch.seen());
        };
        exportChart();
        QVERIFY(!record);

        lumas::ArchiveWriter writer(path);
        window.logic().recordRunsIn(writer, writer.recovered(std::chrono::seconds(10)));
        lumas::RunStart start;
        start.kind = lumas::RunKind::Single;
        start.singleSetPoint = 42.0;
        start.emergencyThreshold = 280.0;
        start.devicePath = QStringLiteral("/dev/ttyUSB0");
        start.startedAt = QDateTime::currentDateTime();
        window.logic().chamber().run().begin(start, 0);
        exportChart();
        QVERIFY(record);
        QCOMPARE(record->run.singleSetPoint, std::optional<double>(42.0));
        QVERIFY(!record->run.ended);
        QVERIFY(!record->events.empty());
        QCOMPARE(record->events.front().kind, QStringLiteral("run started"));

        QAction* runs = window.action(QStringLiteral("miRuns"));
        QVERIFY(runs);
        QCOMPARE(runs->text(), QStringLiteral("&Runs…"));
        runs->trigger();
        auto* runsWindow = window.findChild<RunsWindow*>();
        QVERIFY(runsWindow);
        QVERIFY(runsWindow->isVisible());
        QCOMPARE(runsWindow->archivePath(), path);
        QCOMPARE(runsWindow->shownRuns(), Ids{record->run.id});
        runs->trigger();  // asked again: the same window
        QCOMPARE(window.findChildren<RunsWindow*>().size(), 1);
    }

  private:
    QString archive() const { return folder_.filePath(QStringLiteral("runs.sqlite")); }

    QTemporaryDir folder_;
    RecordedMessages messages_;
};

QTEST_MAIN(RunsWindowTest)
#include "runs_window_test.moc"
