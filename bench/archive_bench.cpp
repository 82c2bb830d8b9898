// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The run archive at the sizes a lab reaches. Figures: writing one reading with its commit (median
// and 99th percentile), reopening a 7-day run of 403,200 readings (one every 1.5 s) from its file
// up to its chart drawn, listing 10,000 runs, the bytes a reading takes on disk, and the seal of
// the 7-day run checked again.
//
// The files are written once per program run into a temporary folder; the reopening benchmarks
// read them through the system's file cache, as a reopening soon after the recording does.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "core/sqlite_run_archive.h"
#include "ui/run_chart.h"

namespace {

using lumas::ArchiveBatch;
using lumas::ArchivedEvent;
using lumas::ArchivedReading;
using lumas::ArchivedRunStart;
using lumas::SqliteRunArchive;
using namespace std::chrono_literals;

constexpr std::int64_t kWeekReadings = 403'200;  // 7 days at one reading every 1.5 s
constexpr std::int64_t kReadingEveryMs = 1500;
constexpr int kListedRuns = 10'000;

const QDateTime kStart(QDate(2026, 12, 1), QTime(8, 0, 0), Qt::OffsetFromUTC, 3600);

std::unique_ptr<QTemporaryDir> folder;

// A programme of twelve steps of 840 minutes: seven days.
ArchivedRunStart weekProgramme() {
    std::vector<lumas::ProgrammeStep> steps;
    for (int k = 0; k < 12; ++k) {
        steps.push_back({k % 2 == 0 ? 85.0 : -20.0 + k, 840.0});
    }
    ArchivedRunStart record;
    record.start.kind = lumas::RunKind::Programme;
    record.start.programme = std::get<lumas::Programme>(lumas::Programme::make(steps, {}));
    record.start.emergencyThreshold = 120.0;
    record.start.blindStopLimit = 120s;
    record.start.devicePath = QStringLiteral("/dev/ttyUSB0");
    record.start.startedAt = kStart;
    record.user = QStringLiteral("technician");
    record.host = QStringLiteral("climate-lab-3");
    record.version = QStringLiteral("3.0.3");
    return record;
}

// Reading `k` of a week's programme: the temperature following its step's set point with some
// noise, to a tenth; the link down for a minute every six hours.
ArchivedReading weekReading(std::int64_t k) {
    const std::int64_t atMs = k * kReadingEveryMs;
    const int step = static_cast<int>(std::min<std::int64_t>(atMs / (840LL * 60'000) + 1, 12));
    const double setPoint = step % 2 == 1 ? 85.0 : -20.0 + (step - 1);
    if (atMs % (6LL * 3'600'000) < 60'000 && k > 0) {
        return {atMs, std::nullopt, std::nullopt, step, lumas::LinkHealth::State::NoReply};
    }
    const double t = setPoint -
                     3.0 * std::exp(-static_cast<double>(atMs % (840LL * 60'000)) / 600'000.0) +
                     0.3 * std::sin(static_cast<double>(k) * 0.37);
    return {atMs, std::round(t * 10.0) / 10.0, setPoint, step, lumas::LinkHealth::State::Live};
}

std::unique_ptr<SqliteRunArchive> openArchive(const QString& path,
                                              SqliteRunArchive::Access access) {
    SqliteRunArchive::Opened opened = SqliteRunArchive::open(path, access);
    return std::move(opened.archive);
}

QString weekPath() {
    return folder->filePath(QStringLiteral("week.sqlite"));
}

// The archive of one 7-day run, recorded as the writer does (a batch every second or so, here
// in larger batches to be quick), ended and sealed. Its id, once made.
std::optional<std::int64_t> weekRunId;

std::int64_t weekRun() {
    if (weekRunId) {
        return *weekRunId;
    }
    auto archive = openArchive(weekPath(), SqliteRunArchive::Access::ReadWrite);
    ArchiveBatch begin;
    begin.operations.emplace_back(ArchiveBatch::Begin{1, weekProgramme()});
    archive->write(begin);
    constexpr std::int64_t kPerBatch = 2400;  // an hour
    for (std::int64_t from = 0; from < kWeekReadings; from += kPerBatch) {
        ArchiveBatch batch;
        ArchiveBatch::Readings readings{1, {}};
        for (std::int64_t k = from; k < std::min(from + kPerBatch, kWeekReadings); ++k) {
            readings.readings.push_back(weekReading(k));
        }
        batch.operations.emplace_back(std::move(readings));
        if (from % (6 * 3600 / 3 * 2 * 6) == 0) {
            batch.operations.emplace_back(
                ArchiveBatch::Events{1,
                                     {{from * kReadingEveryMs, QStringLiteral("link lost"),
                                       QStringLiteral("No reply from the controller.")}}});
        }
        archive->write(batch);
    }
    ArchiveBatch end;
    end.operations.emplace_back(ArchiveBatch::End{
        1, QStringLiteral("finished"), kStart.addMSecs(kWeekReadings * kReadingEveryMs)});
    archive->write(end);
    weekRunId = archive->idOf(1);
    return *weekRunId;
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())) - 1.0);
    return values[std::min(index, values.size() - 1)];
}

// One reading written and committed, as the writer commits what came in during the last second
// while a run goes on: a batch of one reading.
void BM_WriteOneReading(benchmark::State& state) {
    QTemporaryDir here;
    auto archive = openArchive(here.filePath(QStringLiteral("runs.sqlite")),
                               SqliteRunArchive::Access::ReadWrite);
    ArchiveBatch begin;
    begin.operations.emplace_back(ArchiveBatch::Begin{1, weekProgramme()});
    archive->write(begin);
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(state.max_iterations));
    std::int64_t k = 0;
    for (auto _ : state) {
        ArchiveBatch batch;
        batch.operations.emplace_back(ArchiveBatch::Readings{1, {weekReading(k++)}});
        const auto from = std::chrono::steady_clock::now();
        if (const auto failure = archive->write(batch)) {
            state.SkipWithError(failure->toStdString().c_str());
            break;
        }
        const auto took = std::chrono::steady_clock::now() - from;
        micros.push_back(std::chrono::duration<double, std::micro>(took).count());
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
    if (!micros.empty()) {
        state.counters["median_us"] = percentile(micros, 0.5);
        state.counters["p99_us"] = percentile(micros, 0.99);
        state.counters["max_us"] = percentile(micros, 1.0);
    }
}

// A 7-day run reopened from its file up to its chart drawn: the archive opened read-only, the
// run, its readings and events read, the chart's points built and the chart drawn at the Runs
// window's size, as the Runs window builds and draws it. The parts' shares are given as counters
// (milliseconds, of the last iteration).
void BM_ReopenWeekRun(benchmark::State& state) {
    const std::int64_t id = weekRun();
    QImage image(1002, 567, QImage::Format_ARGB32_Premultiplied);
    QFont font;
    font.setPixelSize(12);
    double openMs = 0, readMs = 0, pointsMs = 0, paintMs = 0;
    std::size_t readings = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto archive = openArchive(weekPath(), SqliteRunArchive::Access::ReadOnly);
        const auto run = archive->run(id);
        const auto t1 = std::chrono::steady_clock::now();
        const std::vector<ArchivedReading> read = archive->readings(id);
        const std::vector<ArchivedEvent> events = archive->events(id);
        const auto t2 = std::chrono::steady_clock::now();
        const lumas::ui::RunCurves curves = lumas::ui::runCurves(*run, read, events);
        const auto t3 = std::chrono::steady_clock::now();
        {
            QPainter painter(&image);
            lumas::ui::drawRunChart(painter, QRectF(image.rect()), curves.measured, curves.target,
                                    lumas::ui::runCurveName(id), curves.events, font);
        }
        const auto t4 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(run);
        benchmark::DoNotOptimize(events);
        readings = read.size();
        using Ms = std::chrono::duration<double, std::milli>;
        openMs = Ms(t1 - t0).count();
        readMs = Ms(t2 - t1).count();
        pointsMs = Ms(t3 - t2).count();
        paintMs = Ms(t4 - t3).count();
    }
    if (readings != static_cast<std::size_t>(kWeekReadings)) {
        state.SkipWithError("the run did not come back whole");
    }
    state.counters["open_ms"] = openMs;
    state.counters["read_ms"] = readMs;
    state.counters["points_ms"] = pointsMs;
    state.counters["paint_ms"] = paintMs;
}

// The file's size (with its write-ahead log, once closed) over the readings it holds.
void BM_BytesPerReading(benchmark::State& state) {
    weekRun();
    double bytes = 0;
    for (auto _ : state) {
        bytes = static_cast<double>(QFileInfo(weekPath()).size() +
                                    QFileInfo(weekPath() + QStringLiteral("-wal")).size());
    }
    state.counters["bytes"] = bytes;
    state.counters["bytes_per_reading"] = bytes / static_cast<double>(kWeekReadings);
}

// The seal of the 7-day run recomputed, as `lumasctl runs verify` does.
void BM_VerifyWeekRun(benchmark::State& state) {
    const std::int64_t id = weekRun();
    auto archive = openArchive(weekPath(), SqliteRunArchive::Access::ReadOnly);
    for (auto _ : state) {
        if (archive->verify(id) != true) {
            state.SkipWithError("the seal does not hold");
            break;
        }
    }
}

QString listPath() {
    return folder->filePath(QStringLiteral("list.sqlite"));
}

// 10,000 ended runs of twelve-step programmes, each with a few readings and events.
void makeListArchive() {
    if (QFileInfo::exists(listPath())) {
        return;
    }
    auto archive = openArchive(listPath(), SqliteRunArchive::Access::ReadWrite);
    const ArchivedRunStart start = weekProgramme();
    constexpr int kPerBatch = 250;
    for (int from = 0; from < kListedRuns; from += kPerBatch) {
        ArchiveBatch batch;
        for (int k = from; k < from + kPerBatch; ++k) {
            const auto key = static_cast<std::uint64_t>(k + 1);
            ArchivedRunStart run = start;
            run.start.startedAt = kStart.addSecs(3600LL * k);
            batch.operations.emplace_back(ArchiveBatch::Begin{key, run});
            ArchiveBatch::Readings readings{key, {}};
            for (int r = 0; r < 20; ++r) {
                readings.readings.push_back(weekReading(r));
            }
            batch.operations.emplace_back(std::move(readings));
            batch.operations.emplace_back(ArchiveBatch::Events{
                key,
                {{0, QStringLiteral("run started"), QStringLiteral("Programme of 12 step(s)")},
                 {30'000, QStringLiteral("stop asked"), QStringLiteral("Stop")}}});
            batch.operations.emplace_back(ArchiveBatch::End{
                key, QStringLiteral("stopped by the operator"), run.start.startedAt.addSecs(30)});
        }
        archive->write(batch);
    }
}

// The list of all runs, newest first, as `lumasctl runs` and the Runs window read it: the archive
// opened read-only and every run's summary read.
void BM_ListRuns(benchmark::State& state) {
    makeListArchive();
    std::size_t listed = 0;
    for (auto _ : state) {
        auto archive = openArchive(listPath(), SqliteRunArchive::Access::ReadOnly);
        const auto runs = archive->runs();
        listed = runs.size();
        benchmark::DoNotOptimize(runs);
    }
    if (listed != static_cast<std::size_t>(kListedRuns)) {
        state.SkipWithError("not every run was listed");
    }
    state.counters["runs"] = static_cast<double>(listed);
}

BENCHMARK(BM_WriteOneReading)->UseManualTime()->Iterations(20'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReopenWeekRun)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_BytesPerReading)->Iterations(1);
BENCHMARK(BM_VerifyWeekRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListRuns)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    folder = std::make_unique<QTemporaryDir>();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    folder.reset();
    return 0;
}
