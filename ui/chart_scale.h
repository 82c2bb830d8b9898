// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>

#include <functional>
#include <vector>

namespace lumas::ui {

// A linear axis: the values at its two ends and the round values that get a tick and a grid line.
struct AxisTicks {
    double step = 1.0;           // 1, 2 or 5 times a power of ten
    int decimals = 0;            // decimals a label needs to show the step
    std::vector<double> values;  // the multiples of step within the axis, ascending
};

// Chooses the smallest round step not below `minimumStep` that splits [low, high] into at most
// `maxSteps` steps, and lists the ticks. An empty or reversed range gets no ticks.
AxisTicks axisTicks(double low, double high, int maxSteps, double minimumStep = 0.0);

// A tick's label: `decimals` decimals with the locale's separator.
QString tickLabel(double value, int decimals, const QLocale& locale = QLocale());

// The unit the time axis reads in. The data stays in minutes; only the axis counts in the unit.
enum class TimeUnit { Minutes, Hours, Days };

// Minutes in one `unit`.
double minutesPerUnit(TimeUnit unit);
// The unit for a time axis `spanMinutes` long: minutes up to kLongestMinuteAxis, hours up to
// kLongestHourAxis, days beyond.
inline constexpr double kLongestMinuteAxis = 150.0;      // 2.5 h
inline constexpr double kLongestHourAxis = 84.0 * 60.0;  // 3.5 d
TimeUnit timeUnitFor(double spanMinutes);
// The axis title: "Time [min]", "Time [h]" or "Time [d]".
QString timeAxisTitle(TimeUnit unit);

// The time axis's ticks: round steps of its unit, placed in minutes.
struct TimeTicks {
    TimeUnit unit = TimeUnit::Minutes;
    AxisTicks inUnit;             // step, decimals and values counted in the unit
    std::vector<double> minutes;  // the same values in minutes, where they are drawn
    std::vector<QString> labels;  // the text of each value, in the unit: whole values whole
};

// How a time axis is laid out: its ends in minutes, its length in target units, the width of a
// label's text, the free room between neighbouring labels and the least distance between ticks.
struct TimeAxisLayout {
    double lowMinutes = 0.0;
    double highMinutes = 0.0;
    double length = 0.0;
    std::function<double(const QString&)> labelWidth;
    double labelGap = 0.0;
    double minimumSpacing = 0.0;
};

// The round steps a time axis in `unit` may take, ascending, for an axis `spanInUnit` long: for
// minutes 1, 2, 5, 10, 15, 20, 30, 60 (tenths and halves only below three minutes, as in a zoom);
// for hours ½, 1, 2, 3, 4, 6, 12, 24; for days ½, 1, 2, 5, 7, 14, 30; beyond those 1, 2 or 5 times
// a power of ten, up to the first step that spans the whole axis.
std::vector<double> timeSteps(TimeUnit unit, double spanInUnit);

// Chooses the unit for the axis's span and the finest of its steps whose labels do not crowd:
// ticks stand at least `minimumSpacing` apart, and the labels of neighbouring ticks, each centred
// on its tick, at least `labelGap`. When no step fits (a tiny axis), the coarsest one is taken. An
// empty or reversed axis gets no ticks.
TimeTicks timeTicks(const TimeAxisLayout& axis, const QLocale& locale = QLocale());

}  // namespace lumas::ui
