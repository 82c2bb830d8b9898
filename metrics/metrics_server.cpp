// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "metrics/metrics_server.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace lumas::metrics {

namespace {

// Accepts connections for the HTTP server within ServerLimits: each socket's read buffer is
// bounded, each is closed when its lifetime is over, and at most maxConnections are open (the
// oldest goes when another comes). Lives on the server's thread.
class GuardedTcpServer final : public QTcpServer {
  public:
    GuardedTcpServer(const ServerLimits& limits, QObject* parent)
        : QTcpServer(parent), limits_(limits) {
        expiry_.setSingleShot(true);
        QObject::connect(&expiry_, &QTimer::timeout, this, &GuardedTcpServer::dropExpired);
    }

    // Closes every connection, so that the HTTP server lets go of each before it ends.
    void closeAll() {
        close();
        for (const Connection& c : open_) {
            drop(c.socket);
        }
        open_.clear();
    }

    // The HTTP server takes its sockets here; only a socket it has taken is dropped, as it frees
    // what it keeps for a socket when that socket disconnects.
    QTcpSocket* nextPendingConnection() override {
        QTcpSocket* const socket = QTcpServer::nextPendingConnection();
        for (Connection& c : open_) {
            if (c.socket == socket) {
                c.taken = true;
            }
        }
        return socket;
    }

  protected:
    void incomingConnection(qintptr descriptor) override {
        // Owned by this server, its parent, from the start; the HTTP server or the guards below
        // delete it once it is closed.
        auto socket = std::make_unique<QTcpSocket>(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            return;
        }
        forgetClosed();
        while (static_cast<int>(open_.size()) >= limits_.maxConnections) {
            const auto oldest = std::find_if(open_.begin(), open_.end(),
                                             [](const Connection& c) { return c.taken; });
            if (oldest == open_.end()) {
                return;  // all are waiting to be taken: this one is refused (closed on return)
            }
            drop(oldest->socket);
            open_.erase(oldest);
        }
        QTcpSocket* const s = socket.release();
        s->setReadBufferSize(limits_.readBufferBytes);
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        open_.push_back({s, Clock::now() + limits_.connectionLifetime, false});
        if (!expiry_.isActive()) {
            expiry_.start(limits_.connectionLifetime);
        }
        addPendingConnection(s);
    }

  private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        QPointer<QTcpSocket> socket;
        Clock::time_point closeAt;
        bool taken = false;  // by the HTTP server
    };

    static void drop(const QPointer<QTcpSocket>& socket) {
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
    }

    void forgetClosed() {
        std::erase_if(open_, [](const Connection& c) {
            return c.socket.isNull() || c.socket->state() == QAbstractSocket::UnconnectedState;
        });
    }

    // Closes the connections whose lifetime is over and waits for the next one to end. All have
    // the same lifetime, so the oldest is the first to end.
    void dropExpired() {
        const Clock::time_point now = Clock::now();
        for (Connection& c : open_) {
            if (c.taken && c.closeAt <= now) {
                drop(c.socket);
            }
        }
        forgetClosed();
        if (!open_.empty()) {
            expiry_.start(
                std::chrono::ceil<std::chrono::milliseconds>(open_.front().closeAt - now));
        }
    }

    ServerLimits limits_;
    std::deque<Connection> open_;  // oldest first
    QTimer expiry_;                // at the oldest open connection's end
};

// The pipe that tells the server's thread to end: the owner writes a byte, the server's thread
// reads it. Both ends are opened before the thread starts and closed after it has been joined.
class StopPipe {
  public:
    StopPipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::system_error(errno, std::generic_category(), "pipe2");
        }
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
    }
    ~StopPipe() {
        ::close(readEnd_);
        ::close(writeEnd_);
    }
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;

    int readEnd() const { return readEnd_; }

    // The owner's: one byte, into an empty pipe.
    void signal() const {
        const char stop = 0;
        while (::write(writeEnd_, &stop, 1) < 0 && errno == EINTR) {
        }
    }

    // The server's thread's.
    void drain() const {
        char stop = 0;
        while (::read(readEnd_, &stop, 1) > 0) {
        }
    }

  private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};

}  // namespace

// The server's thread: a plain std::thread (its start and join are what ThreadSanitizer follows)
// running an event loop of its own. Everything Qt in it is created, used and destroyed there, and
// the owner touches none of it: not even a queued call to the loop, since posting an event wakes
// the receiving thread's event dispatcher after the event is queued, and the server's thread may
// take the event in the meantime, end, and close and free that dispatcher (its wake-up descriptor
// with it) while the owner is still waking it. The owner ends the loop through the stop pipe
// instead, which belongs to neither side's Qt.
class MetricsServer::Thread {
  public:
    Thread(const MetricsStore& store, const ListenAddress& where, const ServerLimits& limits) {
        std::future<ListenAddress> listening = listening_.get_future();
        thread_ = std::thread([this, &store, where, limits] { run(store, where, limits); });
        try {
            listeningAt_ = listening.get();
        } catch (...) {
            thread_.join();
            throw;
        }
    }
    // Ends the loop, which closes every connection, and joins; the stop pipe is closed after.
    ~Thread() {
        stop_.signal();
        thread_.join();
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    const ListenAddress& listening() const { return listeningAt_; }

  private:
    void run(const MetricsStore& store, const ListenAddress& where, const ServerLimits& limits) {
        QEventLoop loop;
        // Watched from before the loop runs, so that a stop asked for at any time after the
        // constructor returns is seen: the byte stays in the pipe until it is read.
        QSocketNotifier stopAsked(stop_.readEnd(), QSocketNotifier::Read);
        QObject::connect(&stopAsked, &QSocketNotifier::activated, &loop, [this, &loop] {
            stop_.drain();
            loop.quit();
        });
        QHttpServer http;
        http.route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [&store] {
            return QHttpServerResponse(
                kPrometheusContentType,
                QByteArray::fromStdString(renderPrometheus(store.snapshot())));
        });
        auto* tcp = new GuardedTcpServer(limits, &http);
        if (!tcp->listen(where.address, where.port)) {
            listening_.set_exception(std::make_exception_ptr(std::runtime_error(
                "Cannot listen for metrics on " + where.address.toString().toStdString() + ":" +
                std::to_string(where.port) + ": " + tcp->errorString().toStdString())));
            return;
        }
        http.bind(tcp);
        listening_.set_value({tcp->serverAddress(), tcp->serverPort()});
        loop.exec();
        tcp->closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opened by the owner before the thread starts and closed after it has been joined; the owner
    // writes it, the server's thread reads it.
    const StopPipe stop_;
    std::promise<ListenAddress> listening_;  // fulfilled by the server's thread, read by the owner
    ListenAddress listeningAt_;              // the owner's
    std::thread thread_;
};

std::optional<ListenAddress> parseListenAddress(const std::string& text) {
    const QString t = QString::fromStdString(text);
    QString host = QStringLiteral("127.0.0.1");
    QString portText = t;
    const qsizetype colon = t.lastIndexOf(u':');
    if (colon >= 0) {
        host = t.left(colon);
        portText = t.mid(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']')) {
            host = host.mid(1, host.size() - 2);
        } else if (host.contains(u':')) {
            return std::nullopt;  // an IPv6 address goes in brackets
        }
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535 || portText.isEmpty() || !portText.front().isDigit()) {
        return std::nullopt;
    }
    const QHostAddress address(host);
    if (address.isNull()) {
        return std::nullopt;
    }
    return ListenAddress{address, static_cast<quint16>(port)};
}

MetricsServer::MetricsServer(const MetricsStore& store, const ListenAddress& where,
                             ServerLimits limits)
    : thread_(std::make_unique<Thread>(store, where, limits)), listening_(thread_->listening()) {}

MetricsServer::~MetricsServer() = default;

QString MetricsServer::url() const {
    const QHostAddress& a = listening_.address;
    const QString host =
        a.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + a.toString() + u']' : a.toString();
    return QStringLiteral("http://%1:%2/metrics").arg(host).arg(listening_.port);
}

}  // namespace lumas::metrics

// Qt HTTP Server brings in Qt's TLS backend, which loads OpenSSL; OpenSSL keeps state of its own
// that the leak checker of sanitizer builds reports at exit when the server's thread has used it.
// Not memory of this program; the checker reads this list (a weak hook) and nothing else does.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libcrypto.so\n";
}
