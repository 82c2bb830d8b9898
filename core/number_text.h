#pragma once

#include <QLocale>
#include <QString>

namespace lumas {

// The shortest general decimal form of a number, as the operator reads it in messages and the
// temperature log: up to fifteen significant digits, no trailing zeros, no digit grouping, the
// locale's decimal separator (23 and 23.45; 23,45 under a decimal-comma locale).
QString generalNumberText(double value, QLocale locale = QLocale());

// A number with exactly one decimal, rounded, as the read-outs and the decimal entry fields show
// it: no digit grouping, the locale's decimal separator, and no sign on a value that rounds to
// zero (0.0, never -0.0).
QString oneDecimalText(double value, QLocale locale = QLocale());

}  // namespace lumas
