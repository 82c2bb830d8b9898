#include "core/number_text.h"

namespace lumas {

QString generalNumberText(double value, QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

}  // namespace lumas
