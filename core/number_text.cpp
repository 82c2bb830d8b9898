// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/number_text.h"

#include <cmath>

namespace lumas {

QString generalNumberText(double value, QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QString oneDecimalText(double value, QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(std::abs(value) < 0.05 ? 0.0 : value, 'f', 1);
}

std::optional<TypedNumber> parseTypedNumber(QStringView text) {
    const QStringView trimmed = text.trimmed();
    qsizetype at = 0;
    const bool negative = !trimmed.isEmpty() && trimmed.front() == u'-';
    if (negative) {
        ++at;
    }
    QString plain = negative ? QStringLiteral("-") : QString();
    int integerDigits = 0;
    int decimals = 0;
    bool separatorSeen = false;
    for (; at < trimmed.size(); ++at) {
        const QChar c = trimmed[at];
        if (c >= u'0' && c <= u'9') {
            plain += c;
            ++(separatorSeen ? decimals : integerDigits);
        } else if ((c == u'.' || c == u',') && !separatorSeen) {
            separatorSeen = true;
            plain += u'.';
        } else {
            return std::nullopt;
        }
    }
    if (integerDigits + decimals == 0) {
        return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return TypedNumber{value == 0.0 ? 0.0 : value, decimals};
}

}  // namespace lumas
