// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
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

// The decimals a label needs to show multiples of `step`.
int decimalsFor(double step) {
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

// The multiples of `step` within [low, high], as integer multiples so that 0.1 + 0.2 never prints
// as 0.30000000000000004.
std::vector<double> multiplesWithin(double low, double high, double step) {
    std::vector<double> values;
    const auto first = static_cast<long long>(std::ceil(low / step - 1e-9));
    const auto last = static_cast<long long>(std::floor(high / step + 1e-9));
    for (long long n = first; n <= last; ++n) {
        values.push_back(static_cast<double>(n) * step);
    }
    return values;
}

// Below this span (in minutes) the minute axis may step in fractions of a minute.
constexpr double kFractionalMinuteSpan = 3.0;

}  // namespace

AxisTicks axisTicks(double low, double high, int maxSteps, double minimumStep) {
    AxisTicks ticks;
    const double span = high - low;
    if (!(span > 0.0) || !std::isfinite(span)) {
        return ticks;
    }
    const double least = std::max({span / std::max(maxSteps, 1), minimumStep, span * 1e-9});
    ticks.step = roundStepAtLeast(least);
    ticks.decimals = decimalsFor(ticks.step);
    ticks.values = multiplesWithin(low, high, ticks.step);
    return ticks;
}

QString tickLabel(double value, int decimals, const QLocale& locale) {
    return locale.toString(value, 'f', decimals);
}

double minutesPerUnit(TimeUnit unit) {
    switch (unit) {
        case TimeUnit::Hours:
            return 60.0;
        case TimeUnit::Days:
            return 24.0 * 60.0;
        case TimeUnit::Minutes:
            break;
    }
    return 1.0;
}

TimeUnit timeUnitFor(double spanMinutes) {
    if (spanMinutes <= kLongestMinuteAxis) {
        return TimeUnit::Minutes;
    }
    return spanMinutes <= kLongestHourAxis ? TimeUnit::Hours : TimeUnit::Days;
}

QString timeAxisTitle(TimeUnit unit) {
    switch (unit) {
        case TimeUnit::Hours:
            return QStringLiteral("Time [h]");
        case TimeUnit::Days:
            return QStringLiteral("Time [d]");
        case TimeUnit::Minutes:
            break;
    }
    return QStringLiteral("Time [min]");
}

std::vector<double> timeSteps(TimeUnit unit, double spanInUnit) {
    std::vector<double> steps;
    switch (unit) {
        case TimeUnit::Minutes:
            if (spanInUnit < kFractionalMinuteSpan) {
                // Zoomed into a few minutes: tenths and halves, as fine as a thousandth of the
                // span.
                double step = roundStepAtLeast(std::max(spanInUnit, 1e-9) / 1000.0);
                while (step < 1.0) {
                    steps.push_back(step);
                    step = roundStepAtLeast(step * 1.001);
                }
            }
            steps.insert(steps.end(), {1.0, 2.0, 5.0, 10.0, 15.0, 20.0, 30.0, 60.0});
            break;
        case TimeUnit::Hours:
            steps = {0.5, 1.0, 2.0, 3.0, 4.0, 6.0, 12.0, 24.0};
            break;
        case TimeUnit::Days:
            steps = {0.5, 1.0, 2.0, 5.0, 7.0, 14.0, 30.0};
            break;
    }
    while (steps.back() < spanInUnit) {
        steps.push_back(roundStepAtLeast(steps.back() * 1.001));
    }
    return steps;
}

TimeTicks timeTicks(const TimeAxisLayout& axis, const QLocale& locale) {
    TimeTicks ticks;
    const double spanMinutes = axis.highMinutes - axis.lowMinutes;
    if (!(spanMinutes > 0.0) || !std::isfinite(spanMinutes)) {
        return ticks;
    }
    ticks.unit = timeUnitFor(spanMinutes);
    const double perUnit = minutesPerUnit(ticks.unit);
    const double low = axis.lowMinutes / perUnit;
    const double high = axis.highMinutes / perUnit;
    const double unitsPerLength = (high - low) / std::max(axis.length, 1e-9);
    const std::vector<double> steps = timeSteps(ticks.unit, high - low);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const double spacing = steps[k] / unitsPerLength;
        if (spacing < axis.minimumSpacing && k + 1 < steps.size()) {
            continue;  // too close whatever the labels: not worth measuring them
        }
        AxisTicks candidate;
        candidate.step = steps[k];
        candidate.decimals = decimalsFor(candidate.step);
        candidate.values = multiplesWithin(low, high, candidate.step);
        std::vector<QString> labels;
        std::vector<double> widths;
        for (const double value : candidate.values) {
            // Whole values read whole ("1", "1,5", "2"), so 0 reads 0 whatever the step.
            const bool whole = std::abs(value - std::round(value)) < 1e-9;
            labels.push_back(tickLabel(value, whole ? 0 : candidate.decimals, locale));
            widths.push_back(axis.labelWidth ? axis.labelWidth(labels.back()) : 0.0);
        }
        bool fits = spacing >= axis.minimumSpacing;
        for (std::size_t i = 1; fits && i < widths.size(); ++i) {
            fits = spacing >= (widths[i - 1] + widths[i]) / 2.0 + axis.labelGap;
        }
        if (fits || k + 1 == steps.size()) {
            ticks.inUnit = std::move(candidate);
            ticks.labels = std::move(labels);
            break;
        }
    }
    for (const double value : ticks.inUnit.values) {
        ticks.minutes.push_back(value * perUnit);
    }
    return ticks;
}

}  // namespace lumas::ui
