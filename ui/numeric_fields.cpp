#include "ui/numeric_fields.h"

#include "core/number_text.h"

#include <QFocusEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>

namespace lumas::ui {

namespace {

// The pattern a decimal field accepts while it is typed in.
QString decimalPattern(const DecimalField::Rules& rules, QChar separator) {
    const QString sign = rules.minusAllowed ? QStringLiteral("-?") : QString();
    const QString integer = rules.maxIntegerDigits > 0
                                ? QStringLiteral("\\d{0,%1}").arg(rules.maxIntegerDigits)
                                : QStringLiteral("\\d*");
    return QStringLiteral("^%1%2(%3\\d*)?$")
        .arg(sign, integer, QRegularExpression::escape(QString(separator)));
}

}  // namespace

DecimalField::DecimalField(Rules rules, QWidget* parent) : QLineEdit(parent) {
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
    if (rules.maxLength > 0) {
        setMaxLength(rules.maxLength);
    }
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(decimalPattern(rules, locale_.decimalPoint().at(0))), this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setText(oneDecimalText(0.0, locale_));
}

double DecimalField::value() const {
    bool ok = false;
    const double parsed = locale_.toDouble(text(), &ok);
    return ok ? parsed : 0.0;
}

void DecimalField::setValue(double value) {
    const QString shown = oneDecimalText(value, locale_);
    if (shown != text()) {
        setText(shown);
    }
}

void DecimalField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    setValue(value());
    // Losing the focus to another window, a menu or the menu bar is not leaving the field: the
    // operator comes back to it where they were.
    switch (event->reason()) {
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
            return;
        default:
            emit left();
    }
}

WholeNumberField::WholeNumberField(int minimum, int maximum, int maxLength, QWidget* parent)
    : QLineEdit(parent), minimum_(minimum), maximum_(maximum) {
    setMaxLength(maxLength);
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^\\d*$")), this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setText(QStringLiteral("0"));
}

double WholeNumberField::value() const {
    bool ok = false;
    const int parsed = text().toInt(&ok);
    return ok ? parsed : 0;
}

void WholeNumberField::setValue(double value) {
    const QString shown = QString::number(static_cast<int>(std::trunc(value)));
    if (shown != text()) {
        setText(shown);
    }
}

void WholeNumberField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (text().isEmpty()) {
        setText(QStringLiteral("0"));
        return;
    }
    const int number = static_cast<int>(value());
    setValue(std::clamp(number, minimum_, maximum_));
}

}  // namespace lumas::ui
