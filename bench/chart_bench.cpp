// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chart at the sizes a run reaches: 10^4 points (under three hours at one a second), 10^6 and
// 7.2 · 10^6 (twelve steps of 9999 minutes). Figures: drawing a 1000 × 600 chart into an image,
// also with a gap in the measured line every ten minutes, appending, memory per point, and
// writing the PDF report.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdint>
#include <memory>

#include "ui/chart_report.h"
#include "ui/chart_widget.h"

using lumas::ui::ChartReport;
using lumas::ui::TemperatureChart;
using Series = lumas::ui::TemperatureChart::Series;

namespace {

// With `gapEvery`, the measured line has a gap before every gapEvery-th reading.
void appendRun(TemperatureChart& chart, std::int64_t seconds, std::int64_t gapEvery = 0) {
    for (std::int64_t second = 0; second < seconds; ++second) {
        if (gapEvery > 0 && second > 0 && second % gapEvery == 0) {
            chart.appendGap(Series::Measured);
        }
        const double minutes = static_cast<double>(second) / 60.0;
        chart.append(Series::Measured, minutes,
                     25.0 + 60.0 * std::sin(minutes / 900.0) + 0.3 * std::sin(minutes * 7.0));
    }
    const double end = static_cast<double>(seconds) / 60.0;
    chart.append(Series::Target, 0.0, 0.0);
    chart.append(Series::Target, 0.0, 80.0);
    chart.append(Series::Target, end / 2.0, 80.0);
    chart.append(Series::Target, end / 2.0, -20.0);
    chart.append(Series::Target, end, -20.0);
}

// One chart of the size asked for, kept between benchmarks of the same size; released before
// the application ends.
std::unique_ptr<TemperatureChart> heldChart;
std::int64_t heldGapEvery = 0;

TemperatureChart& chartWith(std::int64_t seconds, std::int64_t gapEvery = 0) {
    if (!heldChart || heldChart->points(Series::Measured).size() != std::size_t(seconds) ||
        heldGapEvery != gapEvery) {
        heldChart.reset();
        heldChart = std::make_unique<TemperatureChart>();
        heldChart->resize(1000, 600);
        appendRun(*heldChart, seconds, gapEvery);
        heldGapEvery = gapEvery;
    }
    return *heldChart;
}

void BM_ChartDraw(benchmark::State& state) {
    const TemperatureChart& chart = chartWith(state.range(0));
    QImage image(1000, 600, QImage::Format_ARGB32_Premultiplied);
    while (state.KeepRunning()) {
        QPainter painter(&image);
        chart.drawChart(painter, QRectF(image.rect()));
    }
    state.counters["points"] = static_cast<double>(state.range(0));
}

void BM_ChartDrawWithGaps(benchmark::State& state) {
    const TemperatureChart& chart = chartWith(state.range(0), 600);
    QImage image(1000, 600, QImage::Format_ARGB32_Premultiplied);
    while (state.KeepRunning()) {
        QPainter painter(&image);
        chart.drawChart(painter, QRectF(image.rect()));
    }
    state.counters["points"] = static_cast<double>(state.range(0));
    state.counters["gaps"] = static_cast<double>(chart.points(Series::Measured).gaps().size());
}

// The chart as the main window repaints it: a shown widget at the chart's size in a
// 1158 × 652 window (903 × 610), painted into the window's backing store.
void BM_ChartRepaintInWindow(benchmark::State& state) {
    TemperatureChart& chart = chartWith(state.range(0));
    chart.resize(903, 610);
    chart.show();
    QApplication::processEvents();
    while (state.KeepRunning()) {
        chart.repaint();
    }
    chart.hide();
    chart.resize(1000, 600);
    state.counters["points"] = static_cast<double>(state.range(0));
}

void BM_ChartAppend(benchmark::State& state) {
    double bytesPerPoint = 0.0;
    while (state.KeepRunning()) {
        state.PauseTiming();
        auto chart = std::make_unique<TemperatureChart>();
        state.ResumeTiming();
        appendRun(*chart, state.range(0));
        state.PauseTiming();
        bytesPerPoint = static_cast<double>(chart->points(Series::Measured).bytesUsed()) /
                        static_cast<double>(state.range(0));
        chart.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_point"] = bytesPerPoint;
}

void BM_ChartPdfExport(benchmark::State& state) {
    const TemperatureChart& chart = chartWith(state.range(0));
    const QString path = QDir::temp().filePath(QStringLiteral("lumas_chart_bench.pdf"));
    while (state.KeepRunning()) {
        const ChartReport report(chart);
        if (!report.exportPdf(path)) {
            state.SkipWithError("the PDF could not be written");
            break;
        }
    }
    QFile::remove(path);
}

void pointCounts(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(10'000)->Arg(1'000'000)->Arg(7'200'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ChartDraw)->Apply(pointCounts);
BENCHMARK(BM_ChartDrawWithGaps)->Apply(pointCounts);
BENCHMARK(BM_ChartRepaintInWindow)->Apply(pointCounts);
BENCHMARK(BM_ChartAppend)->Apply(pointCounts);
BENCHMARK(BM_ChartPdfExport)->Apply(pointCounts);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    heldChart.reset();
    return 0;
}
