// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "core/chamber_control.h"
#include "core/clock.h"
#include "core/controller_link.h"
#include "core/scaled_clock.h"
#include "metrics/metrics_endpoint.h"
#include "threading/stop_signals.h"

namespace lumas::cli {

// What the chamber's control reports of the link and of stops, as lumasctl tells it: one line
// each on `out`.
class SessionEvents final : public LinkObserver, public RunObserver {
  public:
    explicit SessionEvents(std::ostream& out) : out_(out) {}

    void linkUp() override;
    void linkLost(Loss why) override;
    void portReopened(const QString& devicePath) override;
    void stopNotConfirmed() override;

  private:
    std::ostream& out_;
    bool live_ = false;
    int linkLosses_ = 0;
};

// The chamber's control run from a terminal: one serial port, one controller driver and the
// ChamberControl on them, driven from the UI thread (the QCoreApplication's) with the control's
// plain calls; what happens is learnt from its events. The line keeps real time; the run clock
// runs `timeScale` times faster (for trials against lumas-sim --time-scale). The settings file is
// not written.
class CoreSession {
  public:
    // `stopSignals` must outlive the session.
    CoreSession(double timeScale, StopSignals& stopSignals);
    // Closes the session when that has not been done.
    ~CoreSession();
    CoreSession(const CoreSession&) = delete;
    CoreSession& operator=(const CoreSession&) = delete;

    ChamberControl& chamber() { return *chamber_; }
    TOmronCom& driver() { return driver_; }
    const std::string& devicePath() const { return devicePath_; }
    const ScaledClock& runClock() const { return runClock_; }

    // Connects to `portName` and waits (a few seconds at most) until the echo test has confirmed
    // the controller and a first poll cycle has read the temperature, the set point and the run
    // state. Throws SessionError with kExitPort when the port cannot be used and kExitController
    // when the controller does not confirm the link. A stop signal cuts the waiting short (see
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

    // Ends the session: the link is let go (the worker stopped and joined, the port closed)
    // without a Stop; a run still going on ends for `reason`.
    void close(RunEndReason reason = RunEndReason::Disconnected);

  private:
    std::string portFailure();

    StopSignals& signals_;
    MonotonicClock lineClock_;
    ScaledClock runClock_;
    ControllerLink link_;
    TComPort& port_ = link_.port;
    TOmronCom& driver_ = link_.driver;
    SessionEvents events_;
    // Destroyed before the driver and port it uses: its destructor joins the worker.
    std::unique_ptr<ChamberControl> chamber_;
    // Let go before the chamber's control: its collector is one of the control's observers.
    std::unique_ptr<metrics::MetricsEndpoint> metrics_;
    std::string devicePath_;
};

}  // namespace lumas::cli
