#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/scaled_clock.h"
#include "cli/stop_signals.h"
#include "cli/terminal_window.h"
#include "core/controller_link.h"
#include "core/main_form_logic.h"
#include "metrics/metrics_endpoint.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas::cli {

// What the core reports of the link and the run, as lumasctl learns it: told on `out` as one
// line each, and the cut-off's reading kept.
class SessionEvents final : public LinkObserver {
  public:
    explicit SessionEvents(std::ostream& out) : out_(out) {}

    void linkUp() override;
    void linkLost(Loss why) override;
    void portReopened(const QString& devicePath) override;
    void emergencyCutOff(double celsius) override;
    void stopNotConfirmed() override;

    // The reading that fired the emergency cut-off, once it has fired.
    std::optional<double> cutOffReading() const { return cutOffReading_; }

  private:
    std::ostream& out_;
    bool live_ = false;
    int linkLosses_ = 0;
    std::optional<double> cutOffReading_;
};

// The application core run from a terminal the way the main window runs it: one serial port, one
// controller driver, the terminal window and MainFormLogic, driven from the UI thread (the
// QCoreApplication's). Connecting goes through the port selection dialog's path (echo test, first
// reads, monitoring worker); ending goes through Disconnect, which stops and joins the worker and
// closes the port without sending a stop command. The settings file is not written.
class CoreSession {
  public:
    // `timeScale` (in the range of ScaledClock) speeds up the core's clock once the link is made;
    // messages go to standard error.
    // `stopSignals` must outlive the session.
    CoreSession(double timeScale, StopSignals& stopSignals);
    // Closes the session when that has not been done.
    ~CoreSession();
    CoreSession(const CoreSession&) = delete;
    CoreSession& operator=(const CoreSession&) = delete;

    // The core; valid until close().
    MainFormLogic& logic() { return *logic_; }
    TerminalWindow& window() { return window_; }
    TOmronCom& driver() { return driver_; }
    const std::string& devicePath() const { return devicePath_; }
    const SessionEvents& events() const { return events_; }
    const ScaledClock& clock() const { return clock_; }

    // Connects to `portName` and waits (a few seconds of real time at most) until the echo test
    // has confirmed the controller and the read-outs show the values of a first poll cycle. Throws
    // SessionError with kExitPort when the port cannot be used and kExitController when the
    // controller does not confirm the link. A stop signal cuts the waiting short (see
    // StopSignals::first()).
    void connect(const std::string& portName);

    // How a wait ended.
    enum class WaitEnd { Done, Signalled, TimedOut };

    // Runs the event loop until `done()` holds, tested now and after every hand-over from a
    // background thread (worker updates and received bytes); until a stop signal arrives, when
    // `endOnSignal`; or until `timeout` of real time has passed (nothing: no limit).
    WaitEnd waitUntil(const std::function<bool()>& done,
                      std::optional<std::chrono::milliseconds> timeout, bool endOnSignal);

    // Serves /metrics at `where` until close() and prints where on standard output ("Metrics:
    // http://127.0.0.1:PORT/metrics"). Throws SessionError with kExitUsage when it cannot listen.
    void serveMetrics(const metrics::ListenAddress& where);

    // Runs `observer` on the UI thread after every hand-over from a background thread, until
    // close(). A worker update is one such hand-over.
    void observeHandOvers(std::function<void()> observer);

    // Ends the session as the window ends its link: the observers are dropped, Disconnect stops
    // and joins the worker and closes the port, and the core is let go (which also joins a worker
    // that Disconnect leaves alone because the port has failed). No stop command is sent.
    void close();

  private:
    std::string portFailure();

    StopSignals& signals_;
    double timeScale_;
    ScaledClock clock_;  // real time until the link is made, then timeScale_
    ControllerLink link_;
    TComPort& port_ = link_.port;
    TOmronCom& driver_ = link_.driver;
    TerminalWindow window_;
    SessionEvents events_;
    // Destroyed before the window, driver and port it uses: its destructor joins the worker.
    std::unique_ptr<MainFormLogic> logic_;
    std::unique_ptr<QObject> observers_;  // context of the hand-over observers
    // Let go before the core: its collector is one of the core's observers.
    std::unique_ptr<metrics::MetricsEndpoint> metrics_;
    std::string devicePath_;
    // Set by the worker updates: the poll cycle has reached its last step, and an update has shown
    // the values of a whole cycle.
    bool lastPollStepSeen_ = false;
    bool firstCycleShown_ = false;
};

}  // namespace lumas::cli
