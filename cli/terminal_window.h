#pragma once

#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>

#include "cli/scaled_clock.h"
#include "core/target_curve.h"
#include "core/window_ports.h"

namespace lumas {
class MainFormLogic;
}

namespace lumas::cli {

// The main window's parts as a terminal program has them. Everything here lives on the UI thread,
// where the core calls it.

// A label: keeps the text the core last set. `onSet`, when given, runs after every setText.
class TerminalText final : public TextDisplay {
  public:
    void setText(const QString& text) override;
    const QString& text() const { return text_; }

    std::function<void()> onSet;

  private:
    QString text_;
};

// A numeric field: keeps its number (0 until set).
class TerminalNumber final : public NumericField {
  public:
    double value() const override { return value_; }
    void setValue(double value) override { value_ = value; }

  private:
    double value_ = 0.0;
};

// A check box that runs `onChange` on every actual change of its state, as the window's does.
class TerminalCheckBox final : public CheckBox {
  public:
    bool checked() const override { return checked_; }
    void setChecked(bool checked) override;

    std::function<void()> onChange;

  private:
    bool checked_ = false;
};

// A chart series where no chart is drawn: the points are counted and let go.
class UndrawnSeries final : public ChartSeries {
  public:
    void clear() override { pointCount_ = 0; }
    void append(double /*minutes*/, double /*celsius*/) override { ++pointCount_; }
    void appendGap() override {}
    std::size_t pointCount() const { return pointCount_; }

  private:
    std::size_t pointCount_ = 0;
};

// A repeating timer on the event loop. Its interval is measured on the session's clock, so it
// keeps pace with the core's time when that runs faster than real time (at the clock's pace when
// the timer is started). Enabling a running timer
// leaves it running without restarting it. `onTimeout` runs at each expiry.
class TerminalTimer final : public RepeatingTimer {
  public:
    TerminalTimer(const ScaledClock& clock, std::chrono::milliseconds interval);

    void setInterval(std::chrono::milliseconds interval) override;
    void setEnabled(bool enabled) override;
    bool enabled() const override { return timer_.isActive(); }
    // On the session's clock.
    std::chrono::milliseconds interval() const { return interval_; }

    std::function<void()> onTimeout;

  private:
    const ScaledClock& clock_;
    std::chrono::milliseconds interval_;
    QTimer timer_;
};

// The message boxes on a terminal: each text goes to `out` with its kind in front, a "\r" in it
// becoming a line break. A confirmation has nobody to answer it and is answered No.
class TerminalMessages final : public MessageBoxes {
  public:
    explicit TerminalMessages(std::ostream& out) : out_(out) {}

    void warning(const QString& text) override;
    void information(const QString& text) override;
    bool confirm(const QString& text) override;
    void message(const QString& text) override;

  private:
    void show(const char* kind, const QString& text);

    std::ostream& out_;
};

// The main window of a terminal program: every part the core drives, with the window's timer
// intervals (1 s for the chart timers, 30 s for the CSV timer until it is set). The input
// rules (enable, disable, clear) and the repaint have nothing to act on, and the port
// configuration form cannot be shown (it counts as cancelled). Messages go to `messageOut`.
class TerminalWindow {
  public:
    TerminalWindow(const ScaledClock& clock, std::ostream& messageOut);
    TerminalWindow(const TerminalWindow&) = delete;
    TerminalWindow& operator=(const TerminalWindow&) = delete;

    MainWindowPorts& ports() { return ports_; }
    // Runs the core's handlers on the check box's changes and the timers' expiries, as the
    // window's bindings do. `logic` must outlive this window's use.
    void bindHandlers(MainFormLogic& logic);

    TerminalText lTemp;
    TerminalText lSetPoint;
    TerminalText lCS;
    TerminalText lCS2;
    TerminalText lFinish;
    TerminalText lTotal;
    TerminalText statusConnection;
    TerminalText statusWarning;
    TerminalNumber fiSingleSP;
    std::array<TerminalNumber, kProgrammeSteps> fiSP;   // T1..T12
    std::array<TerminalNumber, kProgrammeSteps> fiSPt;  // t1..t12
    TerminalCheckBox chkTargetTemp;
    UndrawnSeries Series1;
    UndrawnSeries Series2;
    TerminalTimer timerMulti;
    TerminalTimer timerSingle;
    TerminalTimer TimerCSV;
    TerminalMessages messages;

  private:
    MainWindowPorts ports_;
};

}  // namespace lumas::cli
