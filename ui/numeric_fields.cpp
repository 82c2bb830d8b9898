// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/numeric_fields.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <cmath>

#include "core/number_text.h"
#include "core/operator_texts.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

namespace {

// What was typed, as a message quotes it: without the blanks around it, and cut short when it is
// too long to read in a box.
QString quoted(const QString& typed) {
    constexpr int kLongest = 40;
    const QString trimmed = typed.trimmed();
    const QString shown =
        trimmed.size() > kLongest ? trimmed.left(kLongest) + QStringLiteral("...") : trimmed;
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

bool isDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace field_texts {

QString notATemperature(const QString& typed, const QLocale& locale) {
    return quoted(typed) + QStringLiteral(" is not a temperature. Enter a number such as ") +
           oneDecimalText(40.5, locale) +
           QStringLiteral("; the decimals may follow a point or a comma.");
}

QString moreThanOneDecimal(const QString& typed, double value, const QLocale& locale) {
    return quoted(typed) +
           QStringLiteral(
               " has more than one decimal. Enter the temperature to a tenth of a degree, such "
               "as ") +
           oneDecimalText(value, locale) + QLatin1Char('.');
}

QString notAWholeNumber(const QString& typed) {
    return quoted(typed) + QStringLiteral(
                               " is not a whole number. Enter digits only, without a sign or "
                               "decimals, such as 30.");
}

QString wholeNumberRange(const QString& typed, int minimum, int maximum) {
    return quoted(typed) + QStringLiteral(" is out of range. Enter a whole number from %1 to %2.")
                               .arg(minimum)
                               .arg(maximum);
}

}  // namespace field_texts

NumberEntryField::NumberEntryField(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // textEdited comes before textChanged for the same change, and only for an edit by the
    // operator; a change without it was made by the program.
    connect(this, &QLineEdit::textEdited, this, [this] { typing_ = true; });
    connect(this, &QLineEdit::textChanged, this, [this] { textChangedHere(); });
}

NumberEntryField::~NumberEntryField() = default;

void NumberEntryField::showZero() {
    take(0.0);
}

void NumberEntryField::setValue(double value) {
    take(std::isfinite(value) ? shownValue(value) : 0.0);
}

void NumberEntryField::take(double value) {
    value_ = value;
    pending_ = false;
    const QString shown = textOf(value);
    if (shown != text()) {
        const bool wasWriting = writing_;
        writing_ = true;
        setText(shown);
        writing_ = wasWriting;
    }
}

void NumberEntryField::textChangedHere() {
    const bool typed = typing_;
    typing_ = false;
    if (writing_) {
        return;
    }
    if (typed) {
        pending_ = true;
        return;
    }
    // Put in by the program: taken as it stands when acceptable, and left to commit() otherwise.
    const Reading reading = read(text());
    if (const double* number = std::get_if<double>(&reading)) {
        value_ = *number;
        pending_ = false;
    } else {
        pending_ = true;
    }
}

bool NumberEntryField::commit() {
    if (!pending_) {
        take(value_);  // shown again in the field's form
        return true;
    }
    const Reading reading = read(text());
    if (const double* number = std::get_if<double>(&reading)) {
        take(*number);
        return true;
    }
    // The last good value is back before the box opens: whatever runs while it is open (a second
    // commit among them) finds nothing new to take.
    take(value_);
    messages().warning(std::get<QString>(reading));
    return false;
}

MessageBoxes& NumberEntryField::messages() {
    if (messages_ != nullptr) {
        return *messages_;
    }
    if (!ownMessages_) {
        ownMessages_ = std::make_unique<QtMessageBoxes>(this);
    }
    return *ownMessages_;
}

void NumberEntryField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Losing the focus to another window, a popup or the menu bar is not leaving the field: the
    // operator comes back to it where they were, with the text as they left it.
    switch (event->reason()) {
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
            return;
        default:
            break;
    }
    if (commit()) {
        emit left();
    }
}

void NumberEntryField::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (!commit()) {
        event->accept();  // refused: the key does nothing more (it presses no default button)
        return;
    }
    emit entered();
    // On to QLineEdit, which passes the key on to the window (a dialog's default button).
    QLineEdit::keyPressEvent(event);
}

DecimalField::DecimalField(Rules rules, QWidget* parent, MessageBoxes* messages)
    : NumberEntryField(parent), rules_(rules) {
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
    setMessageBoxes(messages);
    showZero();
}

NumberEntryField::Reading DecimalField::read(const QString& text) const {
    TypedNumber number;
    if (!text.trimmed().isEmpty()) {
        const std::optional<TypedNumber> parsed = parseTypedNumber(text);
        if (!parsed) {
            return field_texts::notATemperature(text, locale_);
        }
        number = *parsed;
    }
    if (!rules_.minusAllowed && number.value < 0.0) {
        return field_texts::kNoMinusSign;
    }
    if (number.decimals > 1) {
        return field_texts::moreThanOneDecimal(text, number.value, locale_);
    }
    if (!(number.value >= rules_.minimum && number.value <= rules_.maximum)) {
        return texts::temperatureRange(rules_.minimum, rules_.maximum, locale_);
    }
    return number.value;
}

QString DecimalField::textOf(double value) const {
    return oneDecimalText(value, locale_);
}

double DecimalField::shownValue(double value) const {
    // The value the one-decimal text stands for, rounded exactly as the text is.
    const std::optional<TypedNumber> shown = parseTypedNumber(oneDecimalText(value, QLocale::c()));
    return shown ? shown->value : 0.0;
}

WholeNumberField::WholeNumberField(int minimum, int maximum, QWidget* parent,
                                   MessageBoxes* messages)
    : NumberEntryField(parent), minimum_(minimum), maximum_(maximum) {
    setMessageBoxes(messages);
    showZero();
}

NumberEntryField::Reading WholeNumberField::read(const QString& text) const {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        if (minimum_ <= 0 && 0 <= maximum_) {
            return 0.0;
        }
        return field_texts::wholeNumberRange(QStringLiteral("0"), minimum_, maximum_);
    }
    if (!isDigits(trimmed)) {
        return field_texts::notAWholeNumber(text);
    }
    bool ok = false;
    const qlonglong number = trimmed.toLongLong(&ok);  // fails only for too many digits
    if (!ok || number < minimum_ || number > maximum_) {
        return field_texts::wholeNumberRange(text, minimum_, maximum_);
    }
    return static_cast<double>(number);
}

QString WholeNumberField::textOf(double value) const {
    return QLocale::c().toString(value, 'f', 0);
}

double WholeNumberField::shownValue(double value) const {
    const double whole = std::trunc(value);
    return whole == 0.0 ? 0.0 : whole;  // never -0
}

}  // namespace lumas::ui
