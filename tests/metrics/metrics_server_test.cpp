// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The /metrics endpoint: what it answers, and that slow or hostile clients cost it bounded
// resources and are dropped in bounded time.

#include <QDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "metrics/metrics_server.h"
#include "metrics/metrics_snapshot.h"
#include "tests/metrics/http_client.h"

namespace {

using lumas::metrics::ListenAddress;
using lumas::metrics::MetricsServer;
using lumas::metrics::MetricsStore;
using lumas::metrics::ServerLimits;
using lumas::test::httpRequest;
using lumas::test::TcpClient;
using Clock = std::chrono::steady_clock;

constexpr const char* kScrape = "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n";

MetricsStore& storeWithAReading() {
    static MetricsStore store;
    lumas::metrics::MetricsSnapshot s;
    s.temperatureCelsius = 23.4;
    s.linkUp = true;
    store.publish(s);
    return store;
}

std::string statusLine(const std::string& response) {
    return response.substr(0, response.find("\r\n"));
}

std::string bodyOf(const std::string& response) {
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

long openFileDescriptors() {
    return static_cast<long>(QDir(QStringLiteral("/proc/self/fd")).count()) - 2;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(MetricsServer, ServesGetMetricsAndNothingElse) {
    MetricsStore& store = storeWithAReading();
    const MetricsServer server(store, ListenAddress{});
    const quint16 port = server.listening().port;
    ASSERT_NE(port, 0);
    EXPECT_EQ(server.listening().address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(server.url(), QStringLiteral("http://127.0.0.1:%1/metrics").arg(port));

    const std::string response = httpRequest(port, kScrape);
    EXPECT_EQ(statusLine(response), "HTTP/1.1 200 OK") << response;
    EXPECT_NE(response.find("text/plain; version=0.0.4"), std::string::npos) << response;
    EXPECT_EQ(bodyOf(response), lumas::metrics::renderPrometheus(store.snapshot()));

    const std::vector<std::string> refused = {
        "GET / HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /metrics/ HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /metricsx HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /other/metrics HTTP/1.1\r\nHost: x\r\n\r\n",
        "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nab",
        "PUT /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n",
        "DELETE /metrics HTTP/1.1\r\nHost: x\r\n\r\n",
    };
    for (const std::string& request : refused) {
        SCOPED_TRACE(request);
        EXPECT_EQ(statusLine(httpRequest(port, request)), "HTTP/1.1 404 Not Found");
    }
}

// The server's thread is often still busy with a connection that has just closed when the server
// is stopped; the stop must reach it every time, end the thread and close the port.
TEST(MetricsServer, StopsRightAfterAClientHasGone) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        quint16 port = 0;
        {
            const MetricsServer server(storeWithAReading(), ListenAddress{});
            port = server.listening().port;
            ASSERT_EQ(statusLine(httpRequest(port, kScrape)), "HTTP/1.1 200 OK");
        }
        EXPECT_FALSE(TcpClient(port).connected());
    }
}

TEST(MetricsServer, ListenAddressIsAddressColonPort) {
    struct Case {
        const char* text;
        const char* address;  // nullptr: refused
        quint16 port;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1:9100", "127.0.0.1", 9100},
        {"0.0.0.0:0", "0.0.0.0", 0},
        {"9100", "127.0.0.1", 9100},
        {"[::1]:9100", "::1", 9100},
        {"::1:9100", nullptr, 0},
        {"127.0.0.1:65536", nullptr, 0},
        {"127.0.0.1:", nullptr, 0},
        {"127.0.0.1:-1", nullptr, 0},
        {"127.0.0.1:+80", nullptr, 0},
        {"example:80", nullptr, 0},
        {"", nullptr, 0},
        {"127.0.0.1", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = lumas::metrics::parseListenAddress(c.text);
        ASSERT_EQ(parsed.has_value(), c.address != nullptr);
        if (parsed) {
            EXPECT_EQ(parsed->address, QHostAddress(QString::fromLatin1(c.address)));
            EXPECT_EQ(parsed->port, c.port);
        }
    }
}

TEST(MetricsServer, AnAddressInUseIsAnError) {
    const MetricsServer first(storeWithAReading(), ListenAddress{});
    EXPECT_THROW(MetricsServer(storeWithAReading(), first.listening()), std::runtime_error);
}

// 200 connections that trickle a request byte by byte, one that never finishes its request and
// one with a header of a megabyte: the server keeps at most its limit of connections open, drops
// each hostile one within its lifetime, and answers a scrape at once all the while.
TEST(MetricsServer, SlowAndHostileClientsCostBoundedResources) {
    ServerLimits limits;
    limits.maxConnections = 8;
    limits.connectionLifetime = std::chrono::milliseconds(1500);
    const MetricsServer server(storeWithAReading(), ListenAddress{}, limits);
    const quint16 port = server.listening().port;
    const long baseline = openFileDescriptors();

    constexpr int kSlowClients = 200;
    std::vector<std::unique_ptr<TcpClient>> slow;
    for (int i = 0; i < kSlowClients; ++i) {
        slow.push_back(std::make_unique<TcpClient>(port));
        ASSERT_TRUE(slow.back()->connected());
    }
    const std::string request = kScrape;
    for (std::size_t byte = 0; byte < 5; ++byte) {
        for (auto& client : slow) {
            client->send(request.substr(byte, 1), 100);  // may fail: the server dropped it
        }
        const auto start = Clock::now();
        EXPECT_EQ(statusLine(httpRequest(port, kScrape)), "HTTP/1.1 200 OK");
        EXPECT_LT(secondsSince(start), 0.5) << "a scrape waits behind slow clients";
    }
    // Our 200 sockets, the server's at most 8 and the scrape's that may be closing.
    EXPECT_LE(openFileDescriptors(), baseline + kSlowClients + limits.maxConnections + 4);

    TcpClient unfinished(port);
    ASSERT_TRUE(unfinished.send("GET /metr"));
    TcpClient huge(port);
    const std::string hugeHeader =
        "GET /metrics HTTP/1.1\r\nX-Filler: " + std::string(1024 * 1024, 'a') + "\r\n\r\n";
    const auto start = Clock::now();
    // The server stops reading at its buffer's limit; whatever was sent, no answer comes.
    huge.send(hugeHeader, 3000);
    EXPECT_TRUE(unfinished.waitForClose(3000));
    EXPECT_TRUE(huge.waitForClose(3000));
    EXPECT_LT(secondsSince(start), 1.5 + 3.0);
    EXPECT_EQ(statusLine(httpRequest(port, kScrape)), "HTTP/1.1 200 OK");
}

TEST(MetricsServer, EndsWithClientsStillConnected) {
    auto server = std::make_unique<MetricsServer>(storeWithAReading(), ListenAddress{});
    TcpClient idle(server->listening().port);
    ASSERT_TRUE(idle.send("GET /me"));
    const auto start = Clock::now();
    server.reset();
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_TRUE(idle.waitForClose(1000));
}

}  // namespace
