#pragma once

#include <QString>
#include <chrono>

#include <array>
#include <functional>

#include "serial/com_config.h"

namespace lumas {

// The narrow interfaces through which the core drives a window. The desktop program, the
// command-line front end and the tests each implement them. Every member is called on the UI
// thread.

// A label whose text the core sets (read-outs, state labels).
class TextDisplay {
  public:
    virtual ~TextDisplay() = default;
    virtual void setText(const QString& text) = 0;
    // Shows the text in the warning colour while `on` (the connection panel while the controller
    // does not answer). Displays without such a colour ignore it.
    virtual void setAlert(bool /*on*/) {}
};

// A numeric entry field, read and set as a number; an empty field reads 0.
class NumericField {
  public:
    virtual ~NumericField() = default;
    virtual double value() const = 0;
    virtual void setValue(double value) = 0;
};

// A check box the program can set. The window runs the core's change handler on every actual
// change of its state, whether the operator or the program made it.
class CheckBox {
  public:
    virtual ~CheckBox() = default;
    virtual bool checked() const = 0;
    virtual void setChecked(bool checked) = 0;
};

// A chart series: points in minutes (x) and degrees Celsius (y).
class ChartSeries {
  public:
    virtual ~ChartSeries() = default;
    virtual void clear() = 0;
    virtual void append(double minutes, double celsius) = 0;
    // Marks a gap after the points appended so far: the line is not drawn across it, because
    // there was no reading in between.
    virtual void appendGap() = 0;
};

// A repeating timer; the window connects its timeout to the core's handler.
class RepeatingTimer {
  public:
    virtual ~RepeatingTimer() = default;
    virtual void setInterval(std::chrono::milliseconds interval) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
};

// The modal message boxes of the program, each with its fixed buttons.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void warning(const QString& text) = 0;      // warning, OK
    virtual void information(const QString& text) = 0;  // information, OK
    virtual bool confirm(const QString& text) = 0;      // confirmation, Yes (true) and No
    virtual void message(const QString& text) = 0;      // plain message, OK
    // A warning that must not hold up monitoring: the caller goes on at once and the window shows
    // it as a warning box as soon as the current handler has returned. By default it is shown at
    // once, as `warning` shows it.
    virtual void notice(const QString& text) { warning(text); }
};

// The parts of the main window the core uses. The references stay valid for the window's life.
struct MainWindowPorts {
    TextDisplay& lTemp;             // measured temperature read-out
    TextDisplay& lSetPoint;         // set-point read-out
    TextDisplay& lCS;               // run state on the Basic control tab
    TextDisplay& lCS2;              // run state on the Advanced control tab
    TextDisplay& lFinish;           // "Finish in" minutes
    TextDisplay& lTotal;            // "Total Cycles"
    TextDisplay& statusConnection;  // status bar panel 0
    TextDisplay& statusWarning;     // status bar panel 1
    NumericField& fiSingleSP;
    std::array<NumericField*, 12> fiSP;   // T1..T12
    std::array<NumericField*, 12> fiSPt;  // t1..t12
    CheckBox& chkTargetTemp;
    ChartSeries& Series1;  // measured temperature
    ChartSeries& Series2;  // target temperature
    RepeatingTimer& timerMulti;
    RepeatingTimer& timerSingle;
    RepeatingTimer& TimerCSV;
    MessageBoxes& messages;
    // Enable and clear rules of the window's inputs.
    std::function<void()> EnableItems;
    std::function<void()> DisableItems;
    std::function<void()> ClearFormFields;
    std::function<void()> repaint;
    // Shows the port configuration form modally; returns whether it was closed with OK.
    TComConfigDialog::FormRunner runComConfigForm;
};

}  // namespace lumas
