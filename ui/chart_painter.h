// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <span>
#include <vector>

#include "ui/chart_points.h"
#include "ui/chart_scale.h"

class QPainter;

namespace lumas::ui {

// The chart's colours: the measured temperature, the target, a second run laid over the first,
// and the marks of a run's events on the time axis (alarms in a colour of their own).
inline const QColor kMeasuredColour{233, 6, 1};
inline const QColor kTargetColour{15, 19, 183};
inline const QColor kOverlayColour{0, 140, 60};
inline const QColor kEventColour{90, 90, 90};
inline const QColor kAlarmEventColour{245, 140, 0};

// A curve's pen, two units wide. Flat caps and bevel joins: at two pixels they look as round ones
// do, and stroke the dense curve of a long run in about half the time (a round join costs a small
// polygon per vertex). The pieces a solid curve is drawn in overlap by a segment, so they meet
// without a notch.
QPen seriesPen(const QColor& colour, Qt::PenStyle style);

// One curve as the chart draws it.
struct ChartLine {
    QString name;  // shown in the legend
    QPen pen;
    bool stairs = false;  // each value is held horizontally until the next point
    const ChartPoints* points = nullptr;
};

// Something that happened in a run, marked on the time axis at `minutes` since its start.
struct ChartEventMark {
    double minutes = 0.0;
    QString kind;  // such as "stop asked" or "cut-off"
    QString text;
    bool alarm = false;

    friend bool operator==(const ChartEventMark&, const ChartEventMark&) = default;
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
    // The time axis in the unit its span reads in (its title names it), with the box of each
    // tick's label below the plot.
    TimeTicks xTicks;
    std::vector<QRectF> xLabelBoxes;
    AxisTicks yTicks;

    QPointF toPixel(double x, double y) const;
    ChartPoint toData(const QPointF& pixel) const;
};

// Free room the unzoomed axes leave beyond the largest x and y, in target units.
inline constexpr double kAxisEndRoom = 30.0;
// The unzoomed time axis starts at 0 (or at the first point, should one lie before) and spans at
// least this many minutes: an empty chart, or one just after Start, reads 0 to 10 min.
inline constexpr double kShortestTimeAxis = 10.0;
// The unzoomed temperature axis spans at least this many °C, centred on the points (a set point
// alone, a chamber holding steady); an empty chart reads 0 to 100 °C.
inline constexpr double kNarrowestTemperatureAxis = 10.0;

// The bounds of all points of `lines`; nothing when they hold none.
std::optional<ChartRange> dataRange(std::span<const ChartLine> lines);

// Lays the chart out in `target` (at least 1 × 1 units). With `zoom`, the plot shows exactly that
// range; otherwise it shows all points, with kAxisEndRoom free beyond the largest x and beyond
// the smallest and the largest y, from
// 0 min and over at least kShortestTimeAxis and kNarrowestTemperatureAxis. The time axis reads in
// the unit of its span (timeTicks), its labels never closer than a gap apart.
// Sizes are in target units: fonts are set in pixels, so the layout is the same on any device.
ChartGeometry layoutChart(const QRectF& target, std::span<const ChartLine> lines,
                          const std::optional<ChartRange>& zoom, const QFont& font);

// Draws the whole chart, opaque, into `target`: legend, grid, axes with their titles, the
// curves reduced to at most four vertices per pixel column, so the cost follows the width and
// not the number of points, and the marks of `events` on the time axis (the legend then names
// them too).
void paintChart(QPainter& painter, const ChartGeometry& geometry, std::span<const ChartLine> lines,
                const QFont& font, std::span<const ChartEventMark> events = {});

// Where an event's mark at `minutes` is drawn: a small triangle standing on the time axis, its tip
// at the event's time. Nothing when the time lies outside the plot.
std::optional<QRectF> eventMarkRect(const ChartGeometry& geometry, double minutes);

}  // namespace lumas::ui
