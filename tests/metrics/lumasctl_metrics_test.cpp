// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumasctl --metrics as a user runs it, against the simulated controller: what a scraper sees of
// the readings and the link, and that scrapers, slow or not, never slow the poll cycle down.

#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulated_controller.h"
#include "tests/cli/lumasctl_process.h"
#include "tests/metrics/http_client.h"

namespace {

using lumas::test::httpRequest;
using lumas::test::LumasctlProcess;
using lumas::test::TcpClient;
using Clock = std::chrono::steady_clock;

constexpr const char* kScrape = "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n";

lumas::sim::SimulatedControllerOptions steadyChamber(double celsius) {
    lumas::sim::SimulatedControllerOptions options;
    options.ambient = celsius;
    options.timeScale = 0.0;
    return options;
}

// The value of the sample `series` (a name, with its labels if any) in a scrape; empty when
// there is no such sample.
std::optional<double> sampleIn(const std::string& scrape, const std::string& series) {
    const std::string line = "\n" + series + " ";
    const std::size_t at = scrape.find(line);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::stod(scrape.substr(at + line.size()));
}

std::optional<double> scrapeSample(quint16 port, const std::string& series) {
    return sampleIn(httpRequest(port, kScrape), series);
}

// Scrapes every 100 ms until `series` has `value`; returns the seconds it took, or empty after
// `timeoutMs`.
std::optional<double> awaitSample(quint16 port, const std::string& series,
                                  std::optional<double> value, int timeoutMs) {
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (scrapeSample(port, series) == value) {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
}

// Starts `lumasctl watch` on the simulator with /metrics on a free port; the port it printed.
quint16 startWatch(LumasctlProcess& watch) {
    if (!watch.waitForOutput(QStringLiteral("Watching "), 10000)) {
        ADD_FAILURE() << watch.outputSoFar().toStdString();
        return 0;
    }
    const QRegularExpressionMatch printed =
        QRegularExpression(QStringLiteral("Metrics: http://127\\.0\\.0\\.1:(\\d+)/metrics\\n"))
            .match(watch.outputSoFar());
    EXPECT_TRUE(printed.hasMatch()) << watch.outputSoFar().toStdString();
    return printed.hasMatch() ? static_cast<quint16>(printed.captured(1).toUInt()) : 0;
}

TEST(LumasctlMetrics, ScrapesShowTheReadingsAndTheLinkGoingDownAndUp) {
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    sim.setSetPoint(40.0);
    const QTemporaryDir config;
    LumasctlProcess watch(
        {"watch", QString::fromStdString(sim.portPath()), "--metrics", "127.0.0.1:0"},
        config.path());
    const quint16 port = startWatch(watch);
    ASSERT_NE(port, 0);

    ASSERT_TRUE(awaitSample(port, "lumas_link_up", 1.0, 5000));
    const std::string live = httpRequest(port, kScrape);
    EXPECT_EQ(sampleIn(live, "lumas_temperature_celsius"), 23.4) << live;
    EXPECT_EQ(sampleIn(live, "lumas_set_point_celsius"), 40.0) << live;
    EXPECT_EQ(sampleIn(live, "lumas_run_active"), 0.0) << live;
    EXPECT_EQ(sampleIn(live, "lumas_link_losses_total{reason=\"no_reply\"}"), 0.0) << live;

    // The link is judged lost after 4 s without a reading; each update is at most a poll pass
    // (about 0.3 s) late, and the scrapes come every 0.1 s.
    sim.silenceFor(std::chrono::seconds(30));
    const std::optional<double> down = awaitSample(port, "lumas_link_up", 0.0, 10000);
    ASSERT_TRUE(down.has_value());
    EXPECT_LT(*down, 4.0 + 1.5);
    const std::string silent = httpRequest(port, kScrape);
    EXPECT_EQ(sampleIn(silent, "lumas_temperature_celsius"), std::nullopt) << silent;
    EXPECT_EQ(sampleIn(silent, "lumas_set_point_celsius"), std::nullopt) << silent;
    EXPECT_EQ(sampleIn(silent, "lumas_link_losses_total{reason=\"no_reply\"}"), 1.0) << silent;

    sim.silenceFor(std::chrono::milliseconds::zero());
    EXPECT_TRUE(awaitSample(port, "lumas_link_up", 1.0, 10000));
    EXPECT_EQ(scrapeSample(port, "lumas_temperature_celsius"), 23.4);

    watch.signal(SIGINT);
    const lumas::test::CommandRun run = watch.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

// 200 clients trickle their requests a byte at a time while the poll cycle is timed by the
// requests the controller receives (lumasctl's UI thread serves every update of the cycle): the
// cycle keeps its pace and every scrape is answered at once.
TEST(LumasctlMetrics, SlowClientsDoNotSlowThePollCycle) {
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    const QTemporaryDir config;
    // The line keeps real time whatever --time-scale says: a request every other pass of 250 ms,
    // so a stall of the UI thread shows in their count.
    LumasctlProcess watch(
        {"watch", QString::fromStdString(sim.portPath()), "--metrics", "0", "--time-scale", "10"},
        config.path());
    const quint16 port = startWatch(watch);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(awaitSample(port, "lumas_link_up", 1.0, 5000));

    constexpr auto kWindow = std::chrono::seconds(6);
    const auto requestsDuring = [&sim, kWindow](const std::function<void()>& meanwhile) {
        const std::size_t before = sim.requestCount();
        const auto end = Clock::now() + kWindow;
        while (Clock::now() < end) {
            meanwhile();
        }
        return sim.requestCount() - before;
    };
    const std::optional<double> readingsBefore =
        scrapeSample(port, "lumas_temperature_readings_total");
    const std::size_t quiet =
        requestsDuring([] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });

    std::vector<std::unique_ptr<TcpClient>> slow;
    for (int i = 0; i < 200; ++i) {
        slow.push_back(std::make_unique<TcpClient>(port));
    }
    const std::string request = kScrape;
    std::size_t byte = 0;
    double slowestScrape = 0.0;
    const std::size_t attacked = requestsDuring([&] {
        for (auto& client : slow) {
            client->send(request.substr(byte % request.size(), 1), 10);
        }
        ++byte;
        const auto start = Clock::now();
        EXPECT_EQ(httpRequest(port, kScrape).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
        slowestScrape =
            std::max(slowestScrape, std::chrono::duration<double>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    const std::optional<double> readingsAfter =
        scrapeSample(port, "lumas_temperature_readings_total");

    EXPECT_GE(quiet, 9u) << "the poll cycle's pace could not be measured";
    EXPECT_GE(static_cast<double>(attacked), 0.85 * static_cast<double>(quiet))
        << quiet << " requests in 6 s without slow clients, " << attacked << " with them";
    EXPECT_LT(slowestScrape, 0.5);
    ASSERT_TRUE(readingsBefore && readingsAfter);
    EXPECT_GE(*readingsAfter - *readingsBefore, 6.0);  // a reading every sixth pass

    watch.signal(SIGTERM);
    EXPECT_EQ(watch.finish().exitCode, 0);
}

TEST(LumasctlMetrics, AnAddressThatCannotBeServedIsAUsageError) {
    const QTemporaryDir config;
    lumas::sim::SimulatedController sim(steadyChamber(23.4));
    LumasctlProcess first({"watch", QString::fromStdString(sim.portPath()), "--metrics", "0"},
                          config.path());
    const quint16 inUse = startWatch(first);
    ASSERT_NE(inUse, 0);

    const std::vector<QStringList> cases = {
        {"watch", "/dev/lumas-no-such-port", "--metrics", "nowhere:80"},
        {"watch", "/dev/lumas-no-such-port", "--metrics", "127.0.0.1:65536"},
        {"program", "/dev/lumas-no-such-port", "--step", "25,10", "--metrics", "::1:9100"},
        {"watch", "/dev/lumas-no-such-port", "--metrics", QString::number(inUse)},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const lumas::test::CommandRun run = lumas::test::lumasctl(arguments, config.path());
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("--metrics takes ADDRESS:PORT") ||
                    run.err.contains("Cannot listen for metrics"))
            << run.err.toStdString();
    }
    first.signal(SIGTERM);
    EXPECT_EQ(first.finish().exitCode, 0);
}

}  // namespace
