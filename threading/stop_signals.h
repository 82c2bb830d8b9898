// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace lumas {

// Signals that end the program (by default SIGINT and SIGTERM) as events of the UI thread's event
// loop. The handler only writes the signal's number to a pipe; a QSocketNotifier on the UI thread
// reads it there. Any thread may take the signal. One instance at a time; its destruction restores
// the default actions.
class StopSignals final {
  public:
    // Installs the handlers of the signals `handled`; throws std::system_error when it cannot.
    explicit StopSignals(std::initializer_list<int> handled = {kInterrupt, kTerminate});
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first stop signal received, or 0. UI thread.
    int first() const { return first_; }

    // Runs `call` on the UI thread whenever stop signals have arrived, after first() has been
    // set, for as long as `context` lives.
    void whenReceived(QObject* context, std::function<void()> call);

    // SIGINT and SIGTERM, the default.
    static constexpr int kInterrupt = 2;
    static constexpr int kTerminate = 15;
    // Every signal whose default action ends the program and that a user or the system sends to
    // end it: SIGHUP, SIGQUIT, SIGINT, SIGTERM, SIGPIPE, SIGUSR1 and SIGUSR2.
    static std::initializer_list<int> endingSignals();
    // The signal's name, such as "SIGHUP" ("Ctrl-C (SIGINT)" for SIGINT).
    static std::string name(int signalNumber);

  private:
    void readPipe();

    std::vector<int> signals_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int first_ = 0;  // UI thread only
};

}  // namespace lumas
