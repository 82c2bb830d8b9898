// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chart's axes: the time axis in minutes, hours or days with round steps whose labels never
// crowd, from the smallest window to a full screen and the report's page, and the axes of an empty
// chart or one just after Start.

#include <QFont>
#include <QLocale>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "ui/chart_painter.h"
#include "ui/chart_report.h"
#include "ui/chart_scale.h"

using lumas::ui::ChartGeometry;
using lumas::ui::ChartLine;
using lumas::ui::ChartPoints;
using lumas::ui::ChartReport;
using lumas::ui::layoutChart;
using lumas::ui::TimeUnit;

namespace {

constexpr double kHour = 60.0;
constexpr double kDay = 24.0 * kHour;

// A measured curve from 0 to `minutes`, and a target line across it.
struct Curves {
    ChartPoints measured;
    ChartPoints target;

    std::vector<ChartLine> lines() const {
        return {ChartLine{QStringLiteral("Current Temp."), {}, false, &measured},
                ChartLine{QStringLiteral("Target Temp."), {}, false, &target}};
    }
};

void fill(Curves& curves, double minutes) {
    constexpr int kPoints = 500;
    for (int i = 0; i <= kPoints; ++i) {
        const double x = minutes * i / kPoints;
        curves.measured.append(x, 20.0 + 30.0 * std::sin(i / 40.0));
    }
    curves.target.append(0.0, 50.0);
    curves.target.append(minutes, 50.0);
}

ChartGeometry layOut(const Curves& curves, const QSizeF& size) {
    const std::vector<ChartLine> lines = curves.lines();
    return layoutChart(QRectF(QPointF(0.0, 0.0), size), lines, std::nullopt, QFont());
}

// The round steps each unit may take.
std::vector<double> roundSteps(TimeUnit unit) {
    switch (unit) {
        case TimeUnit::Hours:
            return {0.5, 1, 2, 3, 4, 6, 12, 24};
        case TimeUnit::Days:
            return {0.5, 1, 2, 5, 7, 14, 30};
        case TimeUnit::Minutes:
            break;
    }
    return {1, 2, 5, 10, 15, 20, 30, 60};
}

QString describe(const ChartGeometry& geometry) {
    QStringList labels;
    for (const QString& label : geometry.xTicks.labels) {
        labels << label;
    }
    return QStringLiteral("%1 over %2 units: %3")
        .arg(lumas::ui::timeAxisTitle(geometry.xTicks.unit))
        .arg(geometry.plot.width())
        .arg(labels.join(u' '));
}

}  // namespace

Q_DECLARE_METATYPE(TimeUnit)

class ChartAxesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void timeAxisReadsInTheUnitOfItsSpanWithoutCrowding_data();
    void timeAxisReadsInTheUnitOfItsSpanWithoutCrowding();
    void labelsUseTheLocalesDecimalSeparatorOnlyForFractionalSteps_data();
    void labelsUseTheLocalesDecimalSeparatorOnlyForFractionalSteps();
    void emptyChartAndJustAfterStartReadZeroToTenMinutes_data();
    void emptyChartAndJustAfterStartReadZeroToTenMinutes();
    void zoomKeepsItsRangeAndReadsInTheUnitOfItsSpan();
};

void ChartAxesTest::timeAxisReadsInTheUnitOfItsSpanWithoutCrowding_data() {
    QTest::addColumn<double>("span");  // minutes of data
    QTest::addColumn<TimeUnit>("unit");
    QTest::addColumn<QString>("title");
    const struct {
        const char* name;
        double span;
        TimeUnit unit;
        const char* title;
    } spans[] = {
        {"nothing yet", 0.0, TimeUnit::Minutes, "Time [min]"},
        {"5 min", 5.0, TimeUnit::Minutes, "Time [min]"},
        {"1 h", kHour, TimeUnit::Minutes, "Time [min]"},
        {"3 h", 3.0 * kHour, TimeUnit::Hours, "Time [h]"},
        {"1 d", kDay, TimeUnit::Hours, "Time [h]"},
        {"7 d", 7.0 * kDay, TimeUnit::Days, "Time [d]"},
        {"30 d", 30.0 * kDay, TimeUnit::Days, "Time [d]"},
    };
    for (const auto& s : spans) {
        QTest::newRow(s.name) << s.span << s.unit << QString::fromLatin1(s.title);
    }
}

// Every span at the smallest window's plot (about 350 units), a full-HD screen and the report's
// canvas: the unit follows the span, the step is one of the unit's round steps, 0 has a tick and
// a label, the labels name multiples of the step and no two label boxes touch.
void ChartAxesTest::timeAxisReadsInTheUnitOfItsSpanWithoutCrowding() {
    QFETCH(double, span);
    QFETCH(TimeUnit, unit);
    QFETCH(QString, title);
    Curves curves;
    if (span > 0.0) {
        fill(curves, span);
    }
    for (const QSizeF& size :
         {QSizeF(430, 300), QSizeF(1920, 1000), QSizeF(ChartReport::chartCanvas())}) {
        const ChartGeometry geometry = layOut(curves, size);
        const lumas::ui::TimeTicks& ticks = geometry.xTicks;
        const QString what = describe(geometry);
        if (size.width() < 500) {
            QVERIFY2(geometry.plot.width() > 330 && geometry.plot.width() < 370, qPrintable(what));
        }
        QCOMPARE(ticks.unit, unit);
        QCOMPARE(lumas::ui::timeAxisTitle(ticks.unit), title);
        const std::vector<double> steps = roundSteps(unit);
        QVERIFY2(std::find(steps.begin(), steps.end(), ticks.inUnit.step) != steps.end(),
                 qPrintable(what));
        QVERIFY2(geometry.axes.xMin == 0.0 && geometry.axes.xMax >= span, qPrintable(what));

        QVERIFY2(ticks.minutes.size() >= 3, qPrintable(what));
        QCOMPARE(ticks.labels.size(), ticks.minutes.size());
        QCOMPARE(geometry.xLabelBoxes.size(), ticks.minutes.size());
        QCOMPARE(ticks.minutes.front(), 0.0);
        QCOMPARE(ticks.labels.front(), QStringLiteral("0"));
        const double perUnit = lumas::ui::minutesPerUnit(unit);
        for (std::size_t i = 0; i < ticks.minutes.size(); ++i) {
            const double inUnit = ticks.minutes[i] / perUnit;
            const double multiple = inUnit / ticks.inUnit.step;
            QVERIFY2(std::abs(multiple - std::round(multiple)) < 1e-9, qPrintable(what));
            QVERIFY2(ticks.minutes[i] <= geometry.axes.xMax, qPrintable(what));
            QCOMPARE(ticks.labels[i].toDouble(), inUnit);  // English: "1.5", whole steps "12"
            const QRectF& box = geometry.xLabelBoxes[i];
            QVERIFY2(box.left() >= geometry.target.left() && box.right() <= geometry.target.right(),
                     qPrintable(what));
            QVERIFY2(std::abs(box.center().x() - geometry.toPixel(ticks.minutes[i], 0.0).x()) < 0.5,
                     qPrintable(what));
            if (i > 0) {
                const double between = box.left() - geometry.xLabelBoxes[i - 1].right();
                QVERIFY2(between >= 8.0,
                         qPrintable(QStringLiteral("%1 apart: %2").arg(between).arg(what)));
            }
        }
    }
}

void ChartAxesTest::labelsUseTheLocalesDecimalSeparatorOnlyForFractionalSteps_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("span");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("someLabels");
    QTest::addColumn<QString>("neverIn");  // a separator no label holds
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("German halves of an hour")
        << german << 3.0 * kHour << 1920.0 << QStringList{"0", "0,5", "1,5", "3"} << ".";
    QTest::newRow("English halves of an hour")
        << english << 3.0 * kHour << 1920.0 << QStringList{"0", "0.5", "1.5", "3"} << ",";
    QTest::newRow("German whole hours") << german << kDay << 430.0 << QStringList{"0", "12"} << ",";
    QTest::newRow("German whole days")
        << german << 30.0 * kDay << 1920.0 << QStringList{"0", "10"} << ",";
}

void ChartAxesTest::labelsUseTheLocalesDecimalSeparatorOnlyForFractionalSteps() {
    QFETCH(QLocale, locale);
    QFETCH(double, span);
    QFETCH(double, width);
    QFETCH(QStringList, someLabels);
    QFETCH(QString, neverIn);
    QLocale::setDefault(locale);
    Curves curves;
    fill(curves, span);
    const ChartGeometry geometry = layOut(curves, QSizeF(width, 600));
    const std::vector<QString>& labels = geometry.xTicks.labels;
    for (const QString& label : someLabels) {
        QVERIFY2(std::find(labels.begin(), labels.end(), label) != labels.end(),
                 qPrintable(label + QStringLiteral(" not in ") + describe(geometry)));
    }
    for (const QString& label : labels) {
        QVERIFY2(!label.contains(neverIn), qPrintable(describe(geometry)));
    }
}

void ChartAxesTest::emptyChartAndJustAfterStartReadZeroToTenMinutes_data() {
    QTest::addColumn<QList<QPointF>>("measured");
    QTest::addColumn<QList<QPointF>>("target");
    QTest::addColumn<double>("lowest");   // the temperature axis reaches at least this low ...
    QTest::addColumn<double>("highest");  // ... and this high
    QTest::newRow("nothing recorded") << QList<QPointF>{} << QList<QPointF>{} << 0.0 << 100.0;
    QTest::newRow("one reading at the start")
        << QList<QPointF>{{0.0, 23.4}} << QList<QPointF>{} << 23.4 << 23.4;
    QTest::newRow("first reading a second in")
        << QList<QPointF>{{1.0 / 60.0, 23.4}} << QList<QPointF>{} << 23.4 << 23.4;
    QTest::newRow("the set point alone at Start")
        << QList<QPointF>{} << QList<QPointF>{{0.0, 40.0}, {0.0, 40.0}} << 40.0 << 40.0;
    QTest::newRow("a reading and the set point")
        << QList<QPointF>{{0.0, 22.0}} << QList<QPointF>{{0.0, 60.0}, {0.05, 60.0}} << 22.0 << 60.0;
}

// Never -1 … 1 °C or 1 … 2 min: the time axis reads 0 to 10 min with a tick at each end, and the
// temperatures span at least ten degrees around what is known.
void ChartAxesTest::emptyChartAndJustAfterStartReadZeroToTenMinutes() {
    QFETCH(QList<QPointF>, measured);
    QFETCH(QList<QPointF>, target);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    Curves curves;
    for (const QPointF& point : measured) {
        curves.measured.append(point.x(), point.y());
    }
    for (const QPointF& point : target) {
        curves.target.append(point.x(), point.y());
    }
    for (const QSizeF& size : {QSizeF(430, 300), QSizeF(1920, 1000)}) {
        const ChartGeometry geometry = layOut(curves, size);
        const QString what = describe(geometry);
        QCOMPARE(geometry.axes.xMin, 0.0);
        QCOMPARE(geometry.axes.xMax, 10.0);
        QCOMPARE(geometry.xTicks.unit, TimeUnit::Minutes);
        QCOMPARE(geometry.xTicks.labels.front(), QStringLiteral("0"));
        QVERIFY2(geometry.xTicks.labels.back() == QStringLiteral("10"), qPrintable(what));
        QVERIFY(geometry.xTicks.labels.size() >= 3);

        QVERIFY(geometry.axes.yMin <= lowest);
        QVERIFY(geometry.axes.yMax >= highest);
        QVERIFY(geometry.axes.yMax - geometry.axes.yMin >= 10.0);
        QVERIFY(geometry.yTicks.values.size() >= 3);
        if (measured.isEmpty() && target.isEmpty()) {
            QCOMPARE(geometry.yTicks.values.front(), 0.0);
        } else {
            QVERIFY2(
                geometry.axes.yMin > lowest - 12.5 && geometry.axes.yMax < highest + 15.0,
                qPrintable(
                    QStringLiteral("%1 … %2 °C").arg(geometry.axes.yMin).arg(geometry.axes.yMax)));
        }
    }
}

// A zoom shows exactly its range, in the unit of its own span: an hour out of a week reads in
// minutes, and a minute and a half in tenths of a minute.
void ChartAxesTest::zoomKeepsItsRangeAndReadsInTheUnitOfItsSpan() {
    Curves curves;
    fill(curves, 7.0 * kDay);
    const std::vector<ChartLine> lines = curves.lines();
    const lumas::ui::ChartRange hour{3.0 * kDay, 3.0 * kDay + kHour, 0.0, 60.0};
    const ChartGeometry zoomed = layoutChart(QRectF(0, 0, 1920, 1000), lines, hour, QFont());
    QCOMPARE(zoomed.axes, hour);
    QCOMPARE(zoomed.xTicks.unit, TimeUnit::Minutes);
    QCOMPARE(zoomed.xTicks.labels.front(), QStringLiteral("4,320"));  // 3 d in minutes
    QVERIFY(zoomed.xTicks.inUnit.step >= 1.0);

    const lumas::ui::ChartRange moment{10.0, 11.5, 0.0, 60.0};
    const ChartGeometry close = layoutChart(QRectF(0, 0, 1920, 1000), lines, moment, QFont());
    QCOMPARE(close.xTicks.unit, TimeUnit::Minutes);
    QVERIFY2(close.xTicks.inUnit.step < 1.0 && close.xTicks.labels.size() >= 4,
             qPrintable(describe(close)));
    QCOMPARE(close.xTicks.labels.front(), QStringLiteral("10"));
}

QTEST_MAIN(ChartAxesTest)
#include "chart_axes_test.moc"
