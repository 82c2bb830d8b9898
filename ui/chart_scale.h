#pragma once

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

}  // namespace lumas::ui
