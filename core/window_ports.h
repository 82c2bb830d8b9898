// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

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
//
// What the operator types becomes the field's value only when it is taken (commit): the text is
// read as a number with a decimal point or a decimal comma, whatever the locale, and nothing in it
// is dropped or guessed at. Text that is not such a number, or lies outside the field's range, is
// refused: the operator is told why in a plain message and the field shows its last good value
// again. value() is always the last value taken.
class NumericField {
  public:
    virtual ~NumericField() = default;
    virtual double value() const = 0;
    virtual void setValue(double value) = 0;
    // Takes what has been typed since the last commit. True when it was taken (or nothing new was
    // typed); false when it was refused and the operator told why. Fields that cannot be typed
    // into take nothing and return true.
    virtual bool commit() { return true; }
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
    // A question with two answers named by their buttons: true for `accept`. `reject` is the
    // default and the answer of Esc. By default it is asked as `confirm` asks (Yes accepts).
    virtual bool choose(const QString& text, const QString& /*accept*/, const QString& /*reject*/) {
        return confirm(text);
    }
    // Names a notice, so that it can be withdrawn once what it reports is over. 0 names none.
    using NoticeId = std::uint64_t;

    // A warning that must not hold up monitoring: the caller goes on at once and the window shows
    // it as a warning box as soon as the current handler has returned (one after another when
    // several are given). By default it is shown at once, as `warning` shows it.
    virtual NoticeId notice(const QString& text) {
        warning(text);
        return 0;
    }
    // What notice `id` reported is over (the link is back): the notice is closed if it is still
    // open, or dropped if it has not been shown yet; a non-empty `replacement` is then given as a
    // notice of its own in its place. Does nothing for a notice already closed by the operator
    // (except give the replacement) or for id 0.
    virtual void withdrawNotice(NoticeId /*id*/, const QString& replacement = QString()) {
        if (!replacement.isEmpty()) {
            notice(replacement);
        }
    }
    // An alarm the operator must acknowledge: a warning box like a notice (the caller goes on at
    // once), and `acknowledged` runs on the UI thread once the operator has closed it with OK. By
    // default it is shown at once, as `warning` shows it, and acknowledged when that returns.
    virtual void alarm(const QString& text, std::function<void()> acknowledged) {
        const std::function<void()> whenClosed = std::move(acknowledged);
        warning(text);
        if (whenClosed) {
            whenClosed();
        }
    }
};

// What the Advanced tab shows of a programme loaded from a file that the twelve fields cannot
// hold: its name, its rows as written (one line each), and its steps, total and end.
struct ProgrammeSummary {
    QString name;
    QStringList rows;
    QString totals;  // "21 steps, 5 h 30 min planned"
    QString end;     // what happens after the last step
};

// The Advanced tab's programme: the twelve fields, or a loaded programme shown read-only in their
// place. The window registers it with the core (MainFormLogic::setProgrammeView).
class ProgrammeView {
  public:
    virtual ~ProgrammeView() = default;
    // Shows the loaded programme read-only in place of the fields.
    virtual void showLoaded(const ProgrammeSummary& summary) = 0;
    // The twelve fields are the programme again.
    virtual void showFields() = 0;
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
    TextDisplay& statusRun;         // status bar panel 2: the run's state and progress
    TextDisplay& lStep;             // the programme's step and the time left in it
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
