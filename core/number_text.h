// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

namespace lumas {

// The shortest general decimal form of a number, as the operator reads it in messages and the
// temperature log: up to fifteen significant digits, no trailing zeros, no digit grouping, the
// locale's decimal separator (23 and 23.45; 23,45 under a decimal-comma locale).
QString generalNumberText(double value, QLocale locale = QLocale());

// A number with exactly one decimal, rounded, as the read-outs and the decimal entry fields show
// it: no digit grouping, the locale's decimal separator, and no sign on a value that rounds to
// zero (0.0, never -0.0).
QString oneDecimalText(double value, QLocale locale = QLocale());

// A number as an operator writes it, the same way in every locale: an optional minus sign, digits,
// and at most one decimal separator, which may be a point or a comma (40.5 and 40,5 alike), with
// digits on at least one side of it. Blanks around it are allowed; nothing else is: no grouping,
// no exponent (1e3), no hexadecimal (0x19), no plus sign, no letters (4O). Minus zero reads as 0.
struct TypedNumber {
    double value = 0.0;
    int decimals = 0;  // digits after the separator
};
std::optional<TypedNumber> parseTypedNumber(QStringView text);

}  // namespace lumas
