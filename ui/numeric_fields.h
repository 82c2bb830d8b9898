// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLineEdit>
#include <QLocale>
#include <QString>
#include <QWidget>

#include <limits>
#include <memory>
#include <variant>

#include "core/window_ports.h"

namespace lumas::ui {

class QtMessageBoxes;

// An entry field for a number that never reinterprets what is typed. Any text may be typed (no
// character is dropped, no length limit cuts it); it becomes the field's value only when it is
// taken: by commit(), which the field runs itself when the operator leaves it for another control
// of the window and when Enter or Return is pressed in it. Text that the field refuses is
// explained in a warning box with OK, and the field shows its last good value again. value() is
// always the last value taken.
//
// Text the program puts in through QLineEdit's own setText or clear (not typed) is taken at once
// when the field would accept it, and otherwise waits for commit() like typed text.
class NumberEntryField : public QLineEdit, public NumericField {
    Q_OBJECT

  public:
    ~NumberEntryField() override;

    double value() const override { return value_; }
    // Takes `value` as the program gives it and shows it in the field's form.
    void setValue(double value) override;
    bool commit() override;

    // The boxes that tell the operator why typed text was refused. Not owned; they must outlive
    // the field. Without them the field tells the operator through boxes of its own over its
    // window.
    void setMessageBoxes(MessageBoxes* messages) { messages_ = messages; }

  signals:
    // The operator left the field for another control of the window (not for another window, a
    // popup or the menu bar), and what was typed was taken (or nothing new was typed).
    void left();
    // Enter or Return was pressed in the field and what was typed was taken.
    void entered();

  protected:
    explicit NumberEntryField(QWidget* parent);

    // What `text` reads as: the value the field takes, or why it is refused (a plain sentence
    // for the operator).
    using Reading = std::variant<double, QString>;
    virtual Reading read(const QString& text) const = 0;
    // `value` as the field shows it, and the value that text stands for.
    virtual QString textOf(double value) const = 0;
    virtual double shownValue(double value) const = 0;
    // Shows 0; run by each field's constructor, where textOf() is its own.
    void showZero();

    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Makes `value` the field's value and shows it.
    void take(double value);
    void textChangedHere();
    MessageBoxes& messages();

    double value_ = 0.0;
    // The text shown is not what was taken: typed since, or put in by the program and not
    // acceptable.
    bool pending_ = false;
    bool typing_ = false;   // the text change being reported was an edit by the operator
    bool writing_ = false;  // the field is writing its own text
    MessageBoxes* messages_ = nullptr;
    std::unique_ptr<QtMessageBoxes> ownMessages_;  // made when first needed without messages_
};

// A decimal entry field for a temperature: a number with at most one decimal, read with a point
// or a comma in every locale (parseTypedNumber), within the field's range and, where the field
// takes no minus sign, not below zero. An empty field reads 0. An accepted value is shown with
// exactly one decimal in the locale's form (oneDecimalText).
class DecimalField final : public NumberEntryField {
    Q_OBJECT

  public:
    struct Rules {
        bool minusAllowed = true;
        // The values the field takes, bounds included (°C).
        double minimum = std::numeric_limits<double>::lowest();
        double maximum = std::numeric_limits<double>::max();
    };

    explicit DecimalField(Rules rules, QWidget* parent = nullptr, MessageBoxes* messages = nullptr);

  protected:
    Reading read(const QString& text) const override;
    QString textOf(double value) const override;
    double shownValue(double value) const override;

  private:
    Rules rules_;
    QLocale locale_;
};

// A whole-number entry field with a range (hold times in minutes, the log interval in seconds):
// digits only, no sign and no decimals, within the range. An empty field reads 0.
class WholeNumberField final : public NumberEntryField {
    Q_OBJECT

  public:
    WholeNumberField(int minimum, int maximum, QWidget* parent = nullptr,
                     MessageBoxes* messages = nullptr);

  protected:
    Reading read(const QString& text) const override;
    QString textOf(double value) const override;
    double shownValue(double value) const override;

  private:
    int minimum_;
    int maximum_;
};

// The texts of the fields' refusals.
namespace field_texts {
QString notATemperature(const QString& typed, const QLocale& locale);
QString moreThanOneDecimal(const QString& typed, double value, const QLocale& locale);
inline const QString kNoMinusSign = QStringLiteral("This field takes no minus sign.");
QString notAWholeNumber(const QString& typed);
QString wholeNumberRange(const QString& typed, int minimum, int maximum);
}  // namespace field_texts

}  // namespace lumas::ui
