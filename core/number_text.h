#pragma once

#include <QLocale>
#include <QString>

namespace lumas {

// The shortest general decimal form of a number, as the operator reads it in messages and the
// temperature log: up to fifteen significant digits, no trailing zeros, no digit grouping, the
// locale's decimal separator (23 and 23.45; 23,45 under a decimal-comma locale).
QString generalNumberText(double value, QLocale locale = QLocale());

}  // namespace lumas
