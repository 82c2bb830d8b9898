// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QHostAddress>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "metrics/metrics_snapshot.h"

namespace lumas::metrics {

// Where the server listens.
struct ListenAddress {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;  // 0: a free port, chosen when listening
};

// "ADDRESS:PORT", "[IPv6]:PORT" or "PORT" (then on 127.0.0.1); port 0 picks a free port. Empty
// when the text is none of these.
std::optional<ListenAddress> parseListenAddress(const std::string& text);

// What one client may cost the server, so that a slow or hostile client costs a bounded number of
// sockets and bytes and is dropped in bounded time.
struct ServerLimits {
    int maxConnections = 16;  // the oldest connection is dropped to make room for a new one
    std::chrono::milliseconds connectionLifetime{10000};  // a connection is closed after this
    qint64 readBufferBytes = 16 * 1024;  // a request must fit; a larger one never completes
};

// Serves GET /metrics (the Prometheus text of the store's snapshot) on a thread of its own with
// its own event loop, so that neither the UI thread nor the poll cycle ever waits for a client.
// Anything else is answered with 404.
//
// Threads: the constructor and destructor run on the owner's thread; the HTTP server, its sockets,
// timers and event loop live on and are touched only by the server's thread (the destructor ends
// that thread through a pipe, not through Qt). `store` is read there, under its own lock, and must
// outlive the server.
class MetricsServer {
  public:
    // Starts the thread and listens; throws std::runtime_error when it cannot listen, and
    // std::system_error when it cannot open the pipe that ends the thread.
    MetricsServer(const MetricsStore& store, const ListenAddress& where, ServerLimits limits = {});
    // Ends the thread's event loop, closing every connection, and joins the thread.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // The address and port listened on (the chosen port when 0 was asked for).
    const ListenAddress& listening() const { return listening_; }
    // "http://127.0.0.1:PORT/metrics" ("http://[::1]:PORT/metrics" for IPv6).
    QString url() const;

  private:
    class Thread;
    std::unique_ptr<Thread> thread_;
    ListenAddress listening_;
};

}  // namespace lumas::metrics
