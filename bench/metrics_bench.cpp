// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// What a Prometheus scrape costs Lumas: the rendering of the exposition text, the copy of the
// snapshot under its lock (the only moment a scrape and the UI thread meet), and a whole GET
// /metrics over loopback against the server's thread.

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <string>

#include "metrics/metrics_server.h"
#include "metrics/metrics_snapshot.h"

namespace {

using lumas::metrics::MetricsSnapshot;

MetricsSnapshot runningProgramme() {
    MetricsSnapshot s;
    s.temperatureCelsius = 123.4;
    s.setPointCelsius = 125.0;
    s.linkUp = true;
    s.runActive = true;
    s.programmeStep = 7;
    s.programmeRemainingMinutes = 5432;
    s.emergencyThresholdCelsius = 280.0;
    s.linkLosses = {{"no_reply", 3}, {"port_failed", 1}};
    s.failedReplies = {{"wrong_bcc", 12}, {"end_code", 0},  {"response_code", 2},
                       {"bad_data", 0},   {"no_reply", 40}, {"stale", 5}};
    s.temperatureReadings = 123456789;
    return s;
}

void BM_RenderScrape(benchmark::State& state) {
    const MetricsSnapshot snapshot = runningProgramme();
    for (auto _ : state) {
        benchmark::DoNotOptimize(lumas::metrics::renderPrometheus(snapshot));
    }
}
BENCHMARK(BM_RenderScrape);

void BM_PublishSnapshot(benchmark::State& state) {
    lumas::metrics::MetricsStore store;
    const MetricsSnapshot snapshot = runningProgramme();
    for (auto _ : state) {
        store.publish(snapshot);
    }
}
BENCHMARK(BM_PublishSnapshot);

// One GET /metrics on a new connection of its own (the worst case: Prometheus keeps its
// connection open between scrapes).
void BM_ScrapeOverLoopback(benchmark::State& state) {
    lumas::metrics::MetricsStore store;
    store.publish(runningProgramme());
    const lumas::metrics::MetricsServer server(store, lumas::metrics::ListenAddress{});
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.listening().port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n";
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
            state.SkipWithError("no connection");
            ::close(fd);
            break;
        }
        // Read up to the end of the body: the server keeps the connection open.
        std::string response;
        char buffer[8192];
        std::size_t total = std::string::npos;
        while (response.size() < total) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            response.append(buffer, static_cast<std::size_t>(got));
            const std::size_t end = response.find("\r\n\r\n");
            const std::size_t length = response.find("Content-Length: ");
            if (end != std::string::npos && length != std::string::npos) {
                total = end + 4 + std::stoul(response.substr(length + 16));
            }
        }
        ::close(fd);
        benchmark::DoNotOptimize(response);
    }
}
BENCHMARK(BM_ScrapeOverLoopback)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
