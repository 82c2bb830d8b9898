// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// A run on the chart and in its report: the events' marks on the time axis (an alarm in its own
// colour, at its time) and their tooltips, an archived run's curves, and the report that carries
// the run's record, its programme and every one of its events across as many pages as they need.

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <array>

#include "core/sqlite_run_archive.h"
#include "runs/run_archive_fixture.h"
#include "ui/chart_report.h"
#include "ui/chart_widget.h"
#include "ui/run_chart.h"

using lumas::ArchivedEvent;
using lumas::ArchivedReading;
using lumas::ArchivedRun;
using lumas::RunRecord;
using lumas::SqliteRunArchive;
using namespace lumas::ui;
using Series = TemperatureChart::Series;

namespace {

QString pdfText(const QString& path) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        qWarning("pdftotext (poppler-utils) is needed for this test");
        return {};
    }
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The archive's run `id` with its readings and events, as the Runs window reads it.
struct ReadRun {
    ArchivedRun run;
    std::vector<ArchivedReading> readings;
    std::vector<ArchivedEvent> events;
};

std::optional<ReadRun> readRun(const QString& path, std::int64_t id) {
    const SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(path, SqliteRunArchive::Access::ReadOnly);
    if (!opened.archive || !opened.archive->run(id)) {
        return std::nullopt;
    }
    return ReadRun{*opened.archive->run(id), opened.archive->readings(id),
                   opened.archive->events(id)};
}

}  // namespace

class RunReportTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QVERIFY(lumas::test::writeFixtureArchive(archive()));
    }

    void alarmMarkIsDrawnAtItsTimeInItsOwnColour() {
        ChartPoints measured;
        for (int second = 0; second <= 600; ++second) {
            measured.append(second / 60.0, 25.0);
        }
        ChartPoints target;
        const std::array<ChartLine, 2> lines{
            ChartLine{QStringLiteral("Run 1"), seriesPen(kMeasuredColour, Qt::SolidLine), false,
                      &measured},
            ChartLine{QStringLiteral("Target Temp."), seriesPen(kTargetColour, Qt::DotLine), true,
                      &target}};
        const std::vector<ChartEventMark> marks{
            {0.0, QStringLiteral("run started"), QString(), false},
            {2.0, QStringLiteral("link lost"), QString(), false},
            {5.0, QStringLiteral("cut-off"), QString(), true},
            {60.0, QStringLiteral("late"), QString(), true},  // beyond the axis: not drawn
        };
        QImage image(800, 400, QImage::Format_RGB32);
        const ChartGeometry geometry =
            layoutChart(QRectF(image.rect()), lines, std::nullopt, QFont());
        {
            QPainter painter(&image);
            paintChart(painter, geometry, lines, QFont(), marks);
        }
        // A mark stands on the time axis, its middle a few pixels above it.
        const auto markPixel = [&](double minutes) {
            const std::optional<QRectF> rect = eventMarkRect(geometry, minutes);
            return rect ? image.pixelColor(
                              QPointF(rect->center().x(), rect->bottom() - 3.0).toPoint())
                        : QColor();
        };
        QCOMPARE(markPixel(5.0), kAlarmEventColour);
        QCOMPARE(markPixel(2.0), kEventColour);
        QCOMPARE(markPixel(0.0), kEventColour);  // at the axis' very start
        QCOMPARE(markPixel(3.5), QColor(Qt::white));
        QVERIFY(!eventMarkRect(geometry, 60.0).has_value());
        // The alarm's line runs up through the plot above its mark.
        const double alarmX = eventMarkRect(geometry, 5.0)->center().x();
        int alarmPixels = 0;
        for (int y = static_cast<int>(geometry.plot.top()) + 2;
             y < static_cast<int>(geometry.plot.bottom()) - 12; ++y) {
            for (const int x : {qFloor(alarmX), qCeil(alarmX)}) {
                const QColor pixel = image.pixelColor(x, y);
                // Drawn smooth, the thin line may be blended with the white beside it.
                if (pixel.red() > 230 && pixel.green() > 120 && pixel.green() < 215 &&
                    pixel.blue() < 150) {
                    ++alarmPixels;
                    break;
                }
            }
        }
        QVERIFY2(alarmPixels > geometry.plot.height() / 4,
                 qPrintable(QString::number(alarmPixels)));
    }

    void markTooltipNamesItsEvents() {
        TemperatureChart chart;
        chart.resize(600, 400);
        for (int second = 0; second <= 600; ++second) {
            chart.append(Series::Measured, second / 60.0, 25.0);
        }
        chart.setEventMarks(
            {{4.0, QStringLiteral("cut-off"), QStringLiteral("Above 280 °C."), true},
             {4.0, QStringLiteral("stop asked"), QStringLiteral("emergency cut-off"), false},
             {8.0, QStringLiteral("link lost"), QStringLiteral("No reply."), false}});
        const ChartGeometry geometry = chart.geometryInWidget();
        const QPoint atCutOff = eventMarkRect(geometry, 4.0)->center().toPoint();
        QCOMPARE(chart.eventToolTipAt(atCutOff),
                 QStringLiteral("0:04:00 cut-off: Above 280 °C.\n"
                                "0:04:00 stop asked: emergency cut-off"));
        QCOMPARE(chart.eventToolTipAt(eventMarkRect(geometry, 8.0)->center().toPoint()),
                 QStringLiteral("0:08:00 link lost: No reply."));
        QCOMPARE(chart.eventToolTipAt(atCutOff - QPoint(0, 60)), QString());  // above the mark
        QCOMPARE(chart.eventToolTipAt(eventMarkRect(geometry, 6.0)->center().toPoint()), QString());
    }

    void archivedRunsCurvesHaveItsGapsAndItsTarget() {
        for (const std::int64_t id : {1, 2, 4}) {
            const std::optional<ReadRun> read = readRun(archive(), id);
            QVERIFY(read);
            const RunCurves curves = runCurves(read->run, read->readings, read->events);
            std::size_t withTemperature = 0;
            for (const ArchivedReading& reading : read->readings) {
                withTemperature += reading.temperature ? 1 : 0;
            }
            QCOMPARE(curves.measured.size(), withTemperature);
            QCOMPARE(curves.events.size(), read->events.size());
            if (id == 1) {
                // The link was down for readings 80 to 99: one gap, before the 81st point.
                QCOMPARE(curves.measured.gaps(), std::vector<std::size_t>{80});
                QCOMPARE(curves.measured.at(80).x, 100 * 1.5 / 60.0);
                QCOMPARE(curves.target.size(), std::size_t{5});  // 2 steps: 2N + 1 points
                QCOMPARE(curves.target.at(4), (ChartPoint{5.0, -5.5}));
            } else {
                QVERIFY(curves.measured.gaps().empty());
                // A single set point, held from the start to the last reading.
                const double set = id == 2 ? 37.5 : 60.0;
                const double last = (read->readings.size() - 1) * 1.5 / 60.0;
                QCOMPARE(curves.target.size(), std::size_t{2});
                QCOMPARE(curves.target.at(0), (ChartPoint{0.0, set}));
                QCOMPARE(curves.target.at(1), (ChartPoint{last, set}));
            }
        }
    }

    // A programme whose clock did not keep the line's time (held for a while, or a trial run
    // faster): its target is drawn from the times its steps began, not from the plan.
    void aProgrammesTargetFollowsTheTimesItsStepsBegan() {
        ArchivedRun run;
        run.kind = lumas::RunKind::Programme;
        run.programme =
            std::get<lumas::Programme>(lumas::Programme::make({{40.0, 10.0}, {55.0, 20.0}}, {}));
        const std::vector<ArchivedReading> readings{
            {0, 22.0, 40.0, 1, lumas::LinkHealth::State::Live},
            {150'000, 54.0, 55.0, 2, lumas::LinkHealth::State::Live}};
        const std::vector<ArchivedEvent> events{
            {0, QStringLiteral("step"), QStringLiteral("Step 1: 40.0 °C for 10 min")},
            {90'000, QStringLiteral("step"), QStringLiteral("Step 2: 55.0 °C for 20 min")}};
        const RunCurves curves = runCurves(run, readings, events);
        QCOMPARE(curves.target.size(), std::size_t{4});
        QCOMPARE(curves.target.at(0), (ChartPoint{0.0, 40.0}));
        QCOMPARE(curves.target.at(1), (ChartPoint{1.5, 40.0}));
        QCOMPARE(curves.target.at(2), (ChartPoint{1.5, 55.0}));
        QCOMPARE(curves.target.at(3), (ChartPoint{2.5, 55.0}));
    }

    void reportCarriesTheRunsRecordAndEveryEvent_data() {
        QTest::addColumn<int>("extraEvents");
        QTest::newRow("the record on one page") << 0;
        QTest::newRow("events continued over pages") << 230;
    }

    void reportCarriesTheRunsRecordAndEveryEvent() {
        QFETCH(int, extraEvents);
        std::optional<ReadRun> read = readRun(archive(), 3);
        QVERIFY(read);
        for (int k = 0; k < extraEvents; ++k) {
            read->events.push_back({300'000 + k * 1000LL, QStringLiteral("notice"),
                                    QStringLiteral("Notice number %1 of the run.").arg(k)});
        }
        const RunCurves curves = runCurves(read->run, read->readings, read->events);
        const ChartReport report(
            [&](QPainter& painter, const QRectF& target, std::span<const ChartEventMark> marks) {
                drawRunChart(painter, target, curves.measured, curves.target,
                             runCurveName(read->run.id), marks);
            },
            QDateTime(QDate(2026, 12, 11), QTime(10, 0, 0)), QLocale::c(),
            RunRecord{read->run, read->events});
        QCOMPARE(report.pageCount() > 2, extraEvents > 0);
        QVERIFY(report.pageCount() >= 2);
        const QString path = folder_.filePath(QStringLiteral("run-%1.pdf").arg(extraEvents));
        QVERIFY(report.exportPdf(path));
        // Texts wrapped in their cells read as one line.
        const QString text = pdfText(path).simplified();
        for (const QString& expected :
             {QStringLiteral("Run 3, started 2026-12-03 09:00:00 UTC+01:00, ended 2026-12-03 "
                             "09:04:03 UTC+01:00: emergency cut-off"),
              QStringLiteral("Operator: tech@lab-3"), QStringLiteral("Port: /dev/ttyUSB0"),
              QStringLiteral("Programme: 2 steps, 5 min"),
              QStringLiteral("Emergency threshold: 280.0 °C"), QStringLiteral("Minimum: 265.0 °C"),
              QStringLiteral("Maximum: 281.2 °C"), QStringLiteral("Alarms: 1"),
              QStringLiteral("Record of run 3"), QStringLiteral("Blind-run limit"),
              QStringLiteral("120 s"), QStringLiteral("Step"), QStringLiteral("-5.5"),
              QStringLiteral("0:04:00"), read->run.seal.left(32)}) {
            QVERIFY2(text.contains(expected),
                     qPrintable(expected + QStringLiteral(" in\n") + text));
        }
        // Every event once, in order, whatever page it landed on.
        qsizetype at = text.indexOf(QStringLiteral("Record of run 3"));
        for (const ArchivedEvent& event : read->events) {
            const qsizetype found = text.indexOf(event.text, at);
            QVERIFY2(found >= 0, qPrintable(event.text));
            QCOMPARE(text.indexOf(event.text, found + 1), -1);
            at = found + event.text.size();
        }
        QCOMPARE(text.contains(QStringLiteral("Events (continued)")), extraEvents > 0);
    }

    void chartPageKeepsItsLayoutWithARecord() {
        const std::optional<ReadRun> read = readRun(archive(), 2);
        QVERIFY(read);
        TemperatureChart chart;
        const ChartReport report(chart, QDateTime::currentDateTime(), QLocale::c(),
                                 RunRecord{read->run, read->events});
        QImage page(1047, 718, QImage::Format_RGB32);  // the printable area at 96 dpi
        page.fill(Qt::yellow);
        {
            QPainter painter(&page);
            report.paintPage(painter, 0);
        }
        const auto mm = [](double millimetres) { return qRound(millimetres * 96.0 / 25.4); };
        const QRgb white = QColor(Qt::white).rgb();
        const QRgb yellow = QColor(Qt::yellow).rgb();
        QCOMPARE(page.pixel(mm(5) + 1, mm(20) + 1), white);
        QCOMPARE(page.pixel(mm(270) - 2, mm(170) - 2), white);
        QCOMPARE(page.pixel(mm(5) - 2, mm(20) + 1), yellow);
        QCOMPARE(page.pixel(mm(270) + 1, mm(170) + 1), yellow);
        // The run in the title band, its facts below the chart: text where the page had none.
        const auto dark = [&](const QRect& area) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    if (qGray(page.pixel(x, y)) < 128) {
                        return true;
                    }
                }
            }
            return false;
        };
        QVERIFY(dark(QRect(mm(60), mm(2), mm(100), mm(6))));
        QVERIFY(dark(QRect(mm(5), mm(172), mm(100), mm(9))));
        QVERIFY(!dark(QRect(mm(5), mm(12), mm(260), mm(7))));  // between band and frame
    }

  private:
    QString archive() const { return folder_.filePath(QStringLiteral("runs.sqlite")); }

    QTemporaryDir folder_;
};

QTEST_MAIN(RunReportTest)
#include "run_report_test.moc"
