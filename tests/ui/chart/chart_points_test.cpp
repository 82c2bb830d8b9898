// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chart's point store: the column summaries and range extents against brute force, the
// order it keeps, its gaps, and what a point costs in memory.

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ui/chart_points.h"
#include "ui/chart_scale.h"

using lumas::ui::AxisTicks;
using lumas::ui::axisTicks;
using lumas::ui::ChartPoint;
using lumas::ui::ChartPoints;
using lumas::ui::ColumnSummary;
using lumas::ui::YExtent;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

// 12 345 points (three levels of extents): x rises by 1/60 with runs of equal x and one gap from
// 100 to 150 minutes; y is a random walk with a few spikes.
std::vector<ChartPoint> sampleSeries() {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> stepY(-0.5, 0.5);
    std::vector<ChartPoint> points;
    double x = 0.0;
    double y = 25.0;
    for (int i = 0; i < 12345; ++i) {
        if (i % 97 != 0) {
            x += 1.0 / 60.0;
        }
        if (i == 6000) {
            x += 50.0;
        }
        y += stepY(random);
        const double spike = (i % 1000 == 500) ? 40.0 : 0.0;
        // Stored as a float, so compare with that.
        points.push_back({x, static_cast<double>(static_cast<float>(y + spike))});
    }
    return points;
}

ChartPoints storeOf(const std::vector<ChartPoint>& points) {
    ChartPoints store;
    for (const ChartPoint& point : points) {
        store.append(point.x, point.y);
    }
    return store;
}

// The column summaries the slow way: each point is put into its column by comparing it with the
// column bounds, exactly as defined: [x0 + c·w, x0 + (c + 1)·w), the last column closed at x1.
std::vector<ColumnSummary> bruteForceColumns(const std::vector<ChartPoint>& points, double x0,
                                             double x1, int columns) {
    std::vector<ColumnSummary> result;
    if (columns < 1 || x1 < x0) {
        return result;
    }
    const double width = (x1 - x0) / columns;
    int lastColumn = -1;
    for (std::size_t index = 0; index < points.size(); ++index) {
        const ChartPoint& point = points[index];
        if (point.x < x0 || point.x > x1) {
            continue;
        }
        int column = 0;
        while (column + 1 < columns && point.x >= x0 + (column + 1) * width) {
            ++column;
        }
        const auto y = static_cast<float>(point.y);
        if (column != lastColumn) {
            result.push_back({point, point, y, y, index, index});
            lastColumn = column;
        } else {
            ColumnSummary& summary = result.back();
            summary.last = point;
            summary.lastIndex = index;
            summary.minY = std::min(summary.minY, y);
            summary.maxY = std::max(summary.maxY, y);
        }
    }
    return result;
}

}  // namespace

class ChartPointsTest : public QObject {
    Q_OBJECT

  private slots:
    void decimationMatchesBruteForce_data();
    void decimationMatchesBruteForce();
    void rangeExtentsMatchBruteForce();
    void keepsAscendingOrderAndDropsPointsThatAreNotNumbers();
    void gapsLieBetweenPointsOnceEachAndGoWithClear();
    void memoryPerPointStaysWithinSixteenBytes();
    void axisTicksAreRoundSteps_data();
    void axisTicksAreRoundSteps();
};

void ChartPointsTest::decimationMatchesBruteForce_data() {
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<int>("columns");
    const std::vector<ChartPoint> points = sampleSeries();
    const double first = points.front().x;
    const double last = points.back().x;
    QTest::newRow("all points, 1000 columns") << first << last << 1000;
    QTest::newRow("all points, one column") << first << last << 1;
    QTest::newRow("more columns than points") << first << last << 40000;
    QTest::newRow("range beyond the data on both sides") << first - 10.0 << last + 10.0 << 777;
    QTest::newRow("range before all points") << first - 10.0 << first - 1.0 << 100;
    QTest::newRow("range after all points") << last + 1.0 << last + 10.0 << 100;
    QTest::newRow("range inside the gap") << 101.0 << 149.0 << 100;
    QTest::newRow("range around one point")
        << points[5000].x - 0.001 << points[5000].x + 0.001 << 50;
    QTest::newRow("range with equal ends at a run of equal x")
        << points[97].x << points[97].x << 10;
    QTest::newRow("range starting and ending at points") << points[1234].x << points[9876].x << 613;
    QTest::newRow("zero columns") << first << last << 0;
    QTest::newRow("reversed range") << last << first << 100;
}

void ChartPointsTest::decimationMatchesBruteForce() {
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(int, columns);
    const std::vector<ChartPoint> points = sampleSeries();
    const ChartPoints store = storeOf(points);

    const std::vector<ColumnSummary> expected = bruteForceColumns(points, x0, x1, columns);
    const std::vector<ColumnSummary> actual = store.decimate(x0, x1, columns);

    QCOMPARE(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(actual[i].first, expected[i].first);
        QCOMPARE(actual[i].last, expected[i].last);
        QCOMPARE(actual[i].minY, expected[i].minY);
        QCOMPARE(actual[i].maxY, expected[i].maxY);
        QCOMPARE(actual[i].firstIndex, expected[i].firstIndex);
        QCOMPARE(actual[i].lastIndex, expected[i].lastIndex);
    }
}

void ChartPointsTest::rangeExtentsMatchBruteForce() {
    const std::vector<ChartPoint> points = sampleSeries();
    const ChartPoints store = storeOf(points);
    std::mt19937 random(11);
    std::uniform_int_distribution<std::size_t> index(0, points.size() - 1);
    std::vector<std::pair<std::size_t, std::size_t>> ranges{
        {0, points.size()}, {0, 1}, {63, 65}, {64, 128}, {4095, 4097}, {0, 4096}, {4096, 8192}};
    for (int i = 0; i < 400; ++i) {
        const std::size_t a = index(random);
        const std::size_t b = index(random);
        ranges.emplace_back(std::min(a, b), std::max(a, b) + 1);
    }
    for (const auto& [begin, end] : ranges) {
        float min = std::numeric_limits<float>::infinity();
        float max = -min;
        for (std::size_t i = begin; i < end; ++i) {
            min = std::min(min, static_cast<float>(points[i].y));
            max = std::max(max, static_cast<float>(points[i].y));
        }
        const YExtent extent = store.yExtent(begin, end);
        QVERIFY2(extent.min == min && extent.max == max,
                 qPrintable(QStringLiteral("range %1..%2").arg(begin).arg(end)));
    }
    const YExtent all = *store.yExtent();
    QCOMPARE(all.min, store.yExtent(0, store.size()).min);
    QCOMPARE(all.max, store.yExtent(0, store.size()).max);
}

void ChartPointsTest::keepsAscendingOrderAndDropsPointsThatAreNotNumbers() {
    ChartPoints store;
    QVERIFY(!store.yExtent().has_value());
    QVERIFY(store.append(1.0, 20.5));
    QVERIFY(store.append(2.0, 21.0));
    QVERIFY(store.append(1.5, 22.0));  // before the last x: kept at x 2.0
    QVERIFY(!store.append(std::nan(""), 23.0));
    QVERIFY(!store.append(3.0, std::numeric_limits<double>::infinity()));
    QVERIFY(store.append(3.0, -70.25));

    QCOMPARE(store.size(), std::size_t{4});
    QCOMPARE(store.at(0), (ChartPoint{1.0, 20.5}));
    QCOMPARE(store.at(2), (ChartPoint{2.0, 22.0}));
    QCOMPARE(store.at(3), (ChartPoint{3.0, -70.25}));
    QCOMPARE(store.lowerBound(2.0), std::size_t{1});
    QCOMPARE(store.upperBound(2.0), std::size_t{3});
    QCOMPARE(store.yExtent()->min, -70.25F);
    QCOMPARE(store.yExtent()->max, 22.0F);

    store.clear();
    QVERIFY(store.empty());
    QVERIFY(!store.yExtent().has_value());
    QVERIFY(store.decimate(0.0, 10.0, 100).empty());
    QVERIFY(store.append(0.5, 1.0));  // a cleared series starts again at any x
    QCOMPARE(store.at(0), (ChartPoint{0.5, 1.0}));
}

void ChartPointsTest::gapsLieBetweenPointsOnceEachAndGoWithClear() {
    ChartPoints store;
    store.appendGap();  // nothing to part yet
    QVERIFY(store.gaps().empty());
    QVERIFY(!store.gapBefore(0));

    store.append(1.0, 20.0);
    store.append(2.0, 21.0);
    store.appendGap();
    store.appendGap();  // the same stretch without readings
    QCOMPARE(store.gaps(), (std::vector<std::size_t>{2}));
    QVERIFY(store.gapBefore(2));  // after the last point, before the next one
    QVERIFY(!store.append(std::nan(""), 22.0));
    store.append(5.0, 22.0);
    QVERIFY(!store.gapBefore(1));
    QVERIFY(store.gapBefore(2));
    QVERIFY(!store.gapBefore(3));
    store.append(6.0, 23.0);
    store.appendGap();
    QCOMPARE(store.gaps(), (std::vector<std::size_t>{2, 4}));
    QVERIFY(store.gapBefore(4));

    store.clear();
    QVERIFY(store.gaps().empty());
    QVERIFY(!store.gapBefore(2));
    store.appendGap();
    store.append(1.0, 20.0);
    QVERIFY(store.gaps().empty());
}

void ChartPointsTest::memoryPerPointStaysWithinSixteenBytes() {
    ChartPoints store;
    const std::size_t count = 1'000'000;
    for (std::size_t i = 0; i < count; ++i) {
        store.append(static_cast<double>(i) / 60.0, 20.0 + static_cast<double>(i % 100) / 10.0);
    }
    const double perPoint = static_cast<double>(store.bytesUsed()) / static_cast<double>(count);
    qInfo("%zu points: %.2f bytes per point", count, perPoint);
    QVERIFY(perPoint >= 12.0);  // an x double and a y float at least
    QVERIFY(perPoint <= 16.0);
    store.clear();
    QVERIFY(store.bytesUsed() < 1024);
}

void ChartPointsTest::axisTicksAreRoundSteps_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<int>("maxSteps");
    QTest::addColumn<double>("minimumStep");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<std::vector<double>>("values");
    QTest::newRow("0 to 100 in ten")
        << 0.0 << 100.0 << 10 << 0.0 << 10.0 << 0
        << std::vector<double>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    QTest::newRow("uneven ends") << 18.3 << 31.9 << 6 << 0.0 << 5.0 << 0
                                 << std::vector<double>{20, 25, 30};
    QTest::newRow("tenths across zero")
        << -0.3 << 0.3 << 6 << 0.0 << 0.1 << 1
        << std::vector<double>{-0.3, -0.2, -0.1, 0.0, 0.1, 0.2, 0.3};
    QTest::newRow("minutes never finer than one")
        << 0.0 << 2.5 << 50 << 1.0 << 1.0 << 0 << std::vector<double>{0, 1, 2};
    QTest::newRow("a long programme")
        << 0.0 << 120000.0 << 8 << 1.0 << 20000.0 << 0
        << std::vector<double>{0, 20000, 40000, 60000, 80000, 100000, 120000};
    QTest::newRow("empty range") << 5.0 << 5.0 << 10 << 0.0 << 1.0 << 0 << std::vector<double>{};
}

void ChartPointsTest::axisTicksAreRoundSteps() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(int, maxSteps);
    QFETCH(double, minimumStep);
    QFETCH(double, step);
    QFETCH(int, decimals);
    QFETCH(std::vector<double>, values);
    const AxisTicks ticks = axisTicks(low, high, maxSteps, minimumStep);
    QCOMPARE(ticks.step, step);
    QCOMPARE(ticks.decimals, decimals);
    QCOMPARE(ticks.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        QVERIFY(std::abs(ticks.values[i] - values[i]) < 1e-9);
        QVERIFY(!std::signbit(ticks.values[i]) || ticks.values[i] < 0.0);  // no "-0" label
    }
}

QTEST_GUILESS_MAIN(ChartPointsTest)
#include "chart_points_test.moc"
