// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The temperature chart: Clear Chart, coalesced repaints, zooming with the mouse, what a million
// points look like when drawn, and where gaps part the lines.

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/chart_widget.h"

using lumas::ui::ChartGeometry;
using lumas::ui::ChartRange;
using lumas::ui::TemperatureChart;
using Series = lumas::ui::TemperatureChart::Series;

Q_DECLARE_METATYPE(std::optional<lumas::ui::ChartRange>)

namespace {

const QColor kRed(233, 6, 1);
const QColor kBlue(15, 19, 183);

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

void fillBoth(TemperatureChart& chart) {
    for (int second = 0; second < 600; ++second) {
        chart.append(Series::Measured, second / 60.0, 20.0 + second / 100.0);
    }
    chart.append(Series::Target, 0.0, 0.0);
    chart.append(Series::Target, 0.0, 30.0);
    chart.append(Series::Target, 10.0, 30.0);
}

bool nearColour(QRgb pixel, const QColor& colour, int tolerance) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Whether a pixel of about `colour` lies within `radius` pixels of `centre`.
bool colourNear(const QImage& image, QPointF centre, const QColor& colour, int radius) {
    const QPoint middle = centre.toPoint();
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = middle + QPoint(dx, dy);
            if (image.rect().contains(p) && nearColour(image.pixel(p), colour, 60)) {
                return true;
            }
        }
    }
    return false;
}

// Measured readings once a second at `celsius` from `from` to `to` minutes.
void appendReadings(TemperatureChart& chart, double from, double to, double celsius = 25.0) {
    for (int second = qRound(from * 60.0); second <= qRound(to * 60.0); ++second) {
        chart.append(Series::Measured, second / 60.0, celsius);
    }
}

QImage render(const TemperatureChart& chart) {
    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.drawChart(painter, QRectF(image.rect()));
    return image;
}

// Per pixel column of the plot, from its left edge: whether the measured line shows there at
// `celsius`. Only columns wholly inside the plot: one the plot's edge cuts is only partly drawn.
std::vector<bool> redColumnsAlong(const QImage& image, const ChartGeometry& geometry,
                                  double celsius) {
    const int y = qRound(geometry.toPixel(0.0, celsius).y());
    std::vector<bool> red;
    for (int x = qCeil(geometry.plot.left()); x + 1 <= geometry.plot.right(); ++x) {
        red.push_back(colourNear(image, QPointF(x, y), kRed, 0) ||
                      colourNear(image, QPointF(x, y - 1), kRed, 0) ||
                      colourNear(image, QPointF(x, y + 1), kRed, 0));
    }
    return red;
}

}  // namespace

class ChartWidgetTest : public QObject {
    Q_OBJECT

  private slots:
    void clearChartAsksAndClearsOnlyOnYes_data();
    void clearChartAsksAndClearsOnlyOnYes();
    void contextMenuOffersClearChartAndOnlyAsks();
    void appendsCoalesceIntoOneRepaint();
    void dragRightDownZoomsAndDragLeftUpShowsAllAgain();
    void millionPointsDrawWithTheirSpikeAndTheStairs();
    void gapPartsTheMeasuredLineAtAnyZoom_data();
    void gapPartsTheMeasuredLineAtAnyZoom();
    void gapEndsTheTargetStairsWithoutAStep();
    void gapsAtTheEndsOrInARowDrawNothingMoreAndALoneReadingIsADot();
};

void ChartWidgetTest::clearChartAsksAndClearsOnlyOnYes_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void ChartWidgetTest::clearChartAsksAndClearsOnlyOnYes() {
    QFETCH(bool, answer);
    TemperatureChart chart;
    fillBoth(chart);
    QStringList questions;

    const bool cleared = chart.clearIfConfirmed([&](const QString& question) {
        questions << question;
        return answer;
    });

    QCOMPARE(questions, QStringList{"Delete curves?\rWarning: you can not undo this action."});
    QCOMPARE(cleared, answer);
    QCOMPARE(chart.points(Series::Measured).empty(), answer);
    QCOMPARE(chart.points(Series::Target).empty(), answer);
    if (!answer) {
        QCOMPARE(chart.points(Series::Measured).size(), std::size_t{600});
        QCOMPARE(chart.points(Series::Target).size(), std::size_t{3});
    }
}

void ChartWidgetTest::contextMenuOffersClearChartAndOnlyAsks() {
    TemperatureChart chart;
    fillBoth(chart);
    QSignalSpy requests(&chart, &TemperatureChart::clearChartRequested);

    QCOMPARE(chart.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(chart.actions().size(), 1);
    QCOMPARE(chart.actions().constFirst()->text(), QStringLiteral("Clear Chart"));
    chart.actions().constFirst()->trigger();

    QCOMPARE(requests.count(), 1);
    QCOMPARE(chart.points(Series::Measured).size(), std::size_t{600});  // the window decides
}

void ChartWidgetTest::appendsCoalesceIntoOneRepaint() {
    TemperatureChart chart;
    chart.resize(600, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    PaintCounter counter;
    chart.installEventFilter(&counter);
    QTest::qWait(static_cast<int>((2 * TemperatureChart::kRepaintInterval).count()));
    counter.paints = 0;

    for (int second = 0; second < 5000; ++second) {
        chart.append(Series::Measured, second / 60.0, 25.0);
    }
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);  // nothing is drawn at once
    QTRY_COMPARE(counter.paints, 1);
    QTest::qWait(static_cast<int>((3 * TemperatureChart::kRepaintInterval).count()));
    QCOMPARE(counter.paints, 1);
}

void ChartWidgetTest::dragRightDownZoomsAndDragLeftUpShowsAllAgain() {
    TemperatureChart chart;
    chart.resize(800, 500);
    fillBoth(chart);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    const ChartGeometry before = chart.geometryInWidget();
    const QPoint from = before.toPixel(2.0, 24.0).toPoint();
    const QPoint to = before.toPixel(6.0, 21.0).toPoint();

    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&chart, (from + to) / 2);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, to);

    QVERIFY(chart.zoom().has_value());
    const ChartRange zoom = *chart.zoom();
    const double pixelX = (before.axes.xMax - before.axes.xMin) / before.plot.width();
    const double pixelY = (before.axes.yMax - before.axes.yMin) / before.plot.height();
    QVERIFY(std::abs(zoom.xMin - 2.0) <= pixelX && std::abs(zoom.xMax - 6.0) <= pixelX);
    QVERIFY(std::abs(zoom.yMin - 21.0) <= pixelY && std::abs(zoom.yMax - 24.0) <= pixelY);
    // Once the animation has run, the plot shows exactly the zoomed range.
    QTRY_COMPARE(chart.geometryInWidget().axes, zoom);

    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, to);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, from);
    QVERIFY(!chart.zoom().has_value());
    QTRY_COMPARE(chart.geometryInWidget().axes, before.axes);

    // A click without a drag changes nothing.
    QTest::mouseClick(&chart, Qt::LeftButton, Qt::NoModifier, from);
    QVERIFY(!chart.zoom().has_value());
}

void ChartWidgetTest::millionPointsDrawWithTheirSpikeAndTheStairs() {
    TemperatureChart chart;
    chart.resize(1000, 600);
    const int count = 1'000'000;
    const int spikeAt = 500'000;
    for (int second = 0; second < count; ++second) {
        chart.append(Series::Measured, second / 60.0, second == spikeAt ? 80.0 : 20.0);
    }
    chart.append(Series::Target, 0.0, 20.0);
    chart.append(Series::Target, 5000.0, 20.0);
    chart.append(Series::Target, 5000.0, 50.0);
    chart.append(Series::Target, 15000.0, 50.0);

    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.drawChart(painter, QRectF(image.rect()));
    painter.end();
    const ChartGeometry geometry = chart.geometryInWidget();

    // The largest value sits 30 pixels below the top of the plot and the smallest as far above
    // its bottom: neither runs along the frame.
    QCOMPARE(geometry.toPixel(0.0, 80.0).y(), geometry.plot.top() + 30.0);
    QCOMPARE(geometry.toPixel(0.0, 20.0).y(), geometry.plot.bottom() - 30.0);
    const QColor red(233, 6, 1);
    const QColor blue(15, 19, 183);
    // One point in a million still reaches its height; the flat parts are there too (along the
    // bottom edge, where the smallest value lies).
    QVERIFY(colourNear(image, geometry.toPixel(spikeAt / 60.0, 79.0), red, 1));
    QVERIFY(colourNear(image, geometry.toPixel(1000.0, 20.0), red, 2));
    QVERIFY(!colourNear(image, geometry.toPixel(1000.0, 50.0), red, 3));
    // The stairs hold 50 °C from 5000 to 15000 minutes, the line is dotted.
    QVERIFY(colourNear(image, geometry.toPixel(10000.0, 50.0), blue, 4));
    QVERIFY(colourNear(image, geometry.toPixel(5000.0, 35.0), blue, 4));
    QVERIFY(!colourNear(image, geometry.toPixel(2500.0, 35.0), blue, 4));
}

void ChartWidgetTest::gapPartsTheMeasuredLineAtAnyZoom_data() {
    QTest::addColumn<double>("stop");    // the last reading before the pause, minutes
    QTest::addColumn<double>("resume");  // the first one after it
    QTest::addColumn<double>("last");
    QTest::addColumn<bool>("markGap");
    QTest::addColumn<std::optional<ChartRange>>("zoom");
    QTest::addColumn<bool>("hole");  // whether the line stops between stop and resume
    const std::optional<ChartRange> all;
    QTest::newRow("gap") << 4.0 << 6.0 << 10.0 << true << all << true;
    QTest::newRow("same pause without a gap: joined")
        << 4.0 << 6.0 << 10.0 << false << all << false;
    QTest::newRow("zoomed across the gap")
        << 4.0 << 6.0 << 10.0 << true << std::optional(ChartRange{3.0, 7.0, 20.0, 30.0}) << true;
    QTest::newRow("zoomed into the gap: no point in view")
        << 4.0 << 6.0 << 10.0 << true << std::optional(ChartRange{4.5, 5.5, 20.0, 30.0}) << true;
    QTest::newRow("zoomed into the pause without a gap")
        << 4.0 << 6.0 << 10.0 << false << std::optional(ChartRange{4.5, 5.5, 20.0, 30.0}) << false;
    // 100 minutes over some 700 columns: the second between the readings is inside a column.
    QTest::newRow("gap narrower than a column: drawn through")
        << 50.0 << 50.0 + 1.0 / 60.0 << 100.0 << true << all << false;
}

void ChartWidgetTest::gapPartsTheMeasuredLineAtAnyZoom() {
    QFETCH(double, stop);
    QFETCH(double, resume);
    QFETCH(double, last);
    QFETCH(bool, markGap);
    QFETCH(std::optional<ChartRange>, zoom);
    QFETCH(bool, hole);
    TemperatureChart chart;
    chart.resize(800, 500);
    appendReadings(chart, 0.0, stop);
    if (markGap) {
        chart.appendGap(Series::Measured);
    }
    appendReadings(chart, resume, last);
    if (zoom) {
        chart.zoomTo(*zoom);
    }

    const ChartGeometry geometry = chart.geometryInWidget();
    const std::vector<bool> red = redColumnsAlong(render(chart), geometry, 25.0);
    // Columns within the line's width of the ends of the readings and of the pause may go either
    // way.
    const auto column = [&](double minutes) {
        return geometry.toPixel(minutes, 25.0).x() - qCeil(geometry.plot.left());
    };
    const double holeLeft = column(stop);
    const double holeRight = column(resume);
    for (std::size_t x = 0; x < red.size(); ++x) {
        const auto at = static_cast<double>(x);
        const bool inHole = at > holeLeft + 3.0 && at < holeRight - 3.0;
        const bool nearEnd = (at >= holeLeft - 3.0 && at <= holeRight + 3.0 && !inHole) ||
                             at <= column(0.0) + 3.0 || at >= column(last) - 3.0;
        if (!nearEnd) {
            QVERIFY2(red[x] == !(hole && inHole),
                     qPrintable(QStringLiteral("column %1 of %2").arg(x).arg(red.size())));
        }
    }
}

void ChartWidgetTest::gapEndsTheTargetStairsWithoutAStep() {
    TemperatureChart chart;
    chart.resize(800, 500);
    chart.append(Series::Target, 0.0, 30.0);
    chart.append(Series::Target, 4.0, 30.0);
    chart.appendGap(Series::Target);
    chart.append(Series::Target, 6.0, 50.0);
    chart.append(Series::Target, 10.0, 50.0);

    const QImage image = render(chart);
    const ChartGeometry geometry = chart.geometryInWidget();
    QVERIFY(colourNear(image, geometry.toPixel(2.0, 30.0), kBlue, 4));
    QVERIFY(colourNear(image, geometry.toPixel(8.0, 50.0), kBlue, 4));
    // Neither the old value held into the gap nor the step up at its end.
    QVERIFY(!colourNear(image, geometry.toPixel(5.0, 30.0), kBlue, 4));
    QVERIFY(!colourNear(image, geometry.toPixel(6.0, 40.0), kBlue, 4));
}

void ChartWidgetTest::gapsAtTheEndsOrInARowDrawNothingMoreAndALoneReadingIsADot() {
    const auto chartOf = [](const std::function<void(TemperatureChart&)>& fill) {
        auto chart = std::make_unique<TemperatureChart>();
        chart->resize(800, 500);
        fill(*chart);
        return chart;
    };
    const auto once = chartOf([](TemperatureChart& chart) {
        appendReadings(chart, 0.0, 4.0);
        chart.appendGap(Series::Measured);
        appendReadings(chart, 6.0, 10.0);
    });
    const auto edgesAndRepeats = chartOf([](TemperatureChart& chart) {
        chart.appendGap(Series::Measured);
        chart.appendGap(Series::Measured);
        appendReadings(chart, 0.0, 4.0);
        chart.appendGap(Series::Measured);
        chart.appendGap(Series::Measured);
        appendReadings(chart, 6.0, 10.0);
        chart.appendGap(Series::Measured);
    });
    const auto onlyGaps = chartOf([](TemperatureChart& chart) {
        chart.appendGap(Series::Measured);
        chart.appendGap(Series::Target);
    });
    const auto empty = chartOf([](TemperatureChart&) {});
    QCOMPARE(render(*edgesAndRepeats), render(*once));
    QCOMPARE(render(*onlyGaps), render(*empty));

    const auto lone = chartOf([](TemperatureChart& chart) {
        appendReadings(chart, 0.0, 4.0);
        chart.appendGap(Series::Measured);
        chart.append(Series::Measured, 7.0, 25.0);
        chart.appendGap(Series::Measured);
        appendReadings(chart, 10.0, 14.0);
    });
    const QImage image = render(*lone);
    const ChartGeometry geometry = lone->geometryInWidget();
    QVERIFY(image.save(QStringLiteral("chart_gaps_and_a_lone_reading.png")));  // for the eye
    QVERIFY(colourNear(image, geometry.toPixel(7.0, 25.0), kRed, 1));
    QVERIFY(!colourNear(image, geometry.toPixel(6.7, 25.0), kRed, 2));
    QVERIFY(!colourNear(image, geometry.toPixel(7.3, 25.0), kRed, 2));
}

QTEST_MAIN(ChartWidgetTest)
#include "chart_widget_test.moc"
