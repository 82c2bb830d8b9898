// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The desktop window's resident memory over a long programme: the window on the simulated
// controller, with the run archive on, runs twelve steps of LUMAS_BENCH_DAYS/12 days each (7 days
// in all by default) with the programme's clock LUMAS_BENCH_TIME_SCALE times faster (1000 by
// default, so a week lasts about ten minutes). The poll cycle, the chart's timer and the archive
// keep real time, as they do in the program. Reports the resident memory when the run began and
// when it ended, and its growth per hour of real time; the table of samples goes to stderr.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/archive_writer.h"
#include "core/clock.h"
#include "core/scaled_clock.h"
#include "serial/port_discovery.h"
#include "sim/simulated_controller.h"
#include "threading/event_wait.h"
#include "ui/main_window.h"

namespace {

double environmentNumber(const char* name, double fallback) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const double read = value.toDouble(&ok);
    return ok && read > 0 ? read : fallback;
}

// The process's resident memory in KiB.
double residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// The heap in use (allocated, not freed), in KiB.
double heapKiB() {
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1024.0;
}

void BM_WindowMemoryOverALongProgramme(benchmark::State& state) {
    const double factor = environmentNumber("LUMAS_BENCH_TIME_SCALE", 1000.0);
    const double days = environmentNumber("LUMAS_BENCH_DAYS", 7.0);
    const int holdMinutes = static_cast<int>(days * 24.0 * 60.0 / 12.0);
    for (auto _ : state) {
        lumas::sim::SimulatedControllerOptions chamber;
        chamber.timeScale = factor;
        lumas::sim::SimulatedController simulator(chamber);
        QTemporaryDir folder;
        lumas::ArchiveWriter archive(folder.filePath(QStringLiteral("runs.sqlite")));
        lumas::MonotonicClock clock;
        lumas::ScaledClock runClock(factor);
        lumas::ui::TForm1 window(clock, folder.filePath(QStringLiteral("Settings.ini")), nullptr,
                                 nullptr, &runClock);
        window.show();
        window.logic().recordRunsIn(archive, archive.recovered(std::chrono::seconds(10)));
        lumas::setAdditionalPortNames({simulator.portPath()});
        if (const auto failure = window.logic().ConnectToPort(simulator.portPath())) {
            state.SkipWithError(failure->toStdString().c_str());
            return;
        }
        for (int step = 0; step < 12; ++step) {
            window.findChild<QLineEdit*>(QStringLiteral("fiSP%1").arg(step))
                ->setText(QString::number(30 + step * 5));
            window.findChild<QLineEdit*>(QStringLiteral("fiSP%1t").arg(step))
                ->setText(QString::number(holdMinutes));
        }
        window.findChild<QPushButton*>(QStringLiteral("bStartMulti"))->click();
        lumas::serveEventsFor(std::chrono::seconds(5));  // settled: the run and its first writes
        const double atStart = residentKiB();
        const auto began = std::chrono::steady_clock::now();
        const double heapAtStart = heapKiB();
        std::fprintf(stderr, "%8s %12s %12s\n", "real s", "resident KiB", "heap KiB");
        while (window.logic().run().active()) {
            lumas::serveEventsFor(std::chrono::seconds(30));
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            std::fprintf(stderr, "%8.0f %12.0f %12.0f\n", seconds, residentKiB(), heapKiB());
        }
        if (qEnvironmentVariableIsSet("LUMAS_BENCH_EXIT_AT_END")) {
            // Ends here, with everything the run holds still allocated: a heap profiler then
            // lists it as not freed, with where it was allocated.
            std::exit(0);
        }
        const double atEnd = residentKiB();
        const double heapAtEnd = heapKiB();
        const double hours =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() /
            3600.0;
        state.counters["rss_start_KiB"] = atStart;
        state.counters["heap_start_KiB"] = heapAtStart;
        state.counters["heap_end_KiB"] = heapAtEnd;
        state.counters["rss_end_KiB"] = atEnd;
        state.counters["growth_KiB_per_real_hour"] = (atEnd - atStart) / hours;
        state.counters["programme_days"] = days;
        window.close();
        lumas::setAdditionalPortNames({});
    }
}
BENCHMARK(BM_WindowMemoryOverALongProgramme)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
