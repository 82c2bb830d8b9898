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

}  // namespace lumas
