#include "ui/chart_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumas::ui {

namespace {

// The smallest value of the form {1, 2, 5} · 10^k that is at least `least`.
double roundStepAtLeast(double least) {
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (;; power *= 10.0) {
        for (const double mantissa : std::array{1.0, 2.0, 5.0}) {
            if (mantissa * power >= least * (1.0 - 1e-12)) {
                return mantissa * power;
            }
        }
    }
}

}  // namespace

AxisTicks axisTicks(double low, double high, int maxSteps, double minimumStep) {
    AxisTicks ticks;
    const double span = high - low;
    if (!(span > 0.0) || !std::isfinite(span)) {
        return ticks;
    }
    const double least = std::max({span / std::max(maxSteps, 1), minimumStep, span * 1e-9});
    ticks.step = roundStepAtLeast(least);
    ticks.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(ticks.step) + 1e-9)));
    // Integer multiples, so that 0.1 + 0.2 never prints as 0.30000000000000004.
    const auto first = static_cast<long long>(std::ceil(low / ticks.step - 1e-9));
    const auto last = static_cast<long long>(std::floor(high / ticks.step + 1e-9));
    for (long long n = first; n <= last; ++n) {
        ticks.values.push_back(static_cast<double>(n) * ticks.step);
    }
    return ticks;
}

}  // namespace lumas::ui
