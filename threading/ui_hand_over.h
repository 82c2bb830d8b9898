// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace lumas {

// Carries calls from background threads (the port's event thread, the monitoring worker) over to
// the UI thread, the thread of the QCoreApplication, and blocks the caller until the call has run.
// The UI thread serves pending calls whenever its event loop runs and inside waitServing(), which
// lets it wait for a background thread to end while that thread is itself waiting for a
// hand-over. A background thread wakes the event loop through an eventfd watched on the UI
// thread; the calls themselves travel only under `mutex_`, so the hand-over is plain to see for
// ThreadSanitizer (which cannot see Qt's own cross-thread event posting).
class UiHandOver final : public QObject {
    Q_OBJECT

  public:
    // The one instance, bound to the application's thread. A QCoreApplication must exist, and the
    // first call must come from the application's thread (the serial port's Open does).
    static UiHandOver& instance();

    // Runs `call` on the UI thread and returns once it has run. Called on the UI thread itself it
    // runs the call directly. An exception thrown by the call is rethrown to the caller.
    void run(std::function<void()> call);

    // On the UI thread: runs every call that is waiting now.
    void runPending();

    // On the UI thread: blocks until `done()` holds, running hand-overs meanwhile. `done` is tested
    // again after each hand-over and after each wake().
    void waitServing(const std::function<bool()>& done);

    // Wakes waitServing() so that it tests its condition again; any thread.
    void wake();

    bool onUiThread() const;

  signals:
    // Emitted on the UI thread after each handed-over call has run.
    void handedOver();

  private:
    UiHandOver();

    struct Call {
        std::function<void()> body;
        std::exception_ptr failure;
        bool finished = false;
    };

    // Pops one waiting call and runs it; false when none was waiting. Caller holds no lock.
    bool runOne();

    // Guards queue_ and the `finished`/`failure` fields of every queued Call.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Call>> queue_;
    unsigned wakeCount_ = 0;  // guarded by mutex_; bumped by wake() so waiters notice it

    // An eventfd written by run() and drained on the UI thread by `notifier_`; set up once.
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;  // owned by this object, lives on the UI thread
};

}  // namespace lumas
