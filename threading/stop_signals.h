#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace lumas::cli {

// SIGINT and SIGTERM as events of the UI thread's event loop. The handler only writes the signal's
// number to a pipe; a QSocketNotifier on the UI thread reads it there. Any thread may take the
// signal. One instance at a time; its destruction restores the default actions.
class StopSignals final {
  public:
    // Installs the handlers; throws std::system_error when it cannot.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first stop signal received, or 0. UI thread.
    int first() const { return first_; }

    // Runs `call` on the UI thread whenever stop signals have arrived, after first() has been
    // set, for as long as `context` lives.
    void whenReceived(QObject* context, std::function<void()> call);

  private:
    void readPipe();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int first_ = 0;  // UI thread only
};

}  // namespace lumas::cli
