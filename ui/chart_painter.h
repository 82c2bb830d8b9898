#pragma once

#include <QFont>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <span>

#include "ui/chart_points.h"
#include "ui/chart_scale.h"

class QPainter;

namespace lumas::ui {

// One curve as the chart draws it.
struct ChartLine {
    QString name;  // shown in the legend
    QPen pen;
    bool stairs = false;  // each value is held horizontally until the next point
    const ChartPoints* points = nullptr;
};

// A rectangle of data: minutes across, °C up.
struct ChartRange {
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;

    friend bool operator==(const ChartRange&, const ChartRange&) = default;
};

// The chart laid out in a target rectangle.
struct ChartGeometry {
    QRectF target;
    QRectF plot;      // the area inside the axes, where the curves are drawn
    ChartRange axes;  // the data at the plot's left, right, bottom and top edges
    AxisTicks xTicks;
    AxisTicks yTicks;

    QPointF toPixel(double x, double y) const;
    ChartPoint toData(const QPointF& pixel) const;
};

// Free room the unzoomed axes leave beyond the largest x and y, in target units.
inline constexpr double kAxisEndRoom = 30.0;

// The bounds of all points of `lines`; nothing when they hold none.
std::optional<ChartRange> dataRange(std::span<const ChartLine> lines);

// Lays the chart out in `target` (at least 1 × 1 units). With `zoom`, the plot shows exactly that
// range; otherwise it shows all points, with kAxisEndRoom free beyond the largest x and y.
// Sizes are in target units: fonts are set in pixels, so the layout is the same on any device.
ChartGeometry layoutChart(const QRectF& target, std::span<const ChartLine> lines,
                          const std::optional<ChartRange>& zoom, const QFont& font);

// Draws the whole chart, opaque, into `target`: legend, grid, axes with their titles, and the
// curves reduced to at most four vertices per pixel column, so the cost follows the width and
// not the number of points.
void paintChart(QPainter& painter, const ChartGeometry& geometry, std::span<const ChartLine> lines,
                const QFont& font);

}  // namespace lumas::ui
