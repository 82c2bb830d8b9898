// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_painter.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace lumas::ui {

namespace {

const QString kYAxisTitle = QStringLiteral("Temperature  [°C]");

// Sizes in target units.
constexpr double kPadding = 8.0;
constexpr double kTickLength = 4.0;
constexpr double kLabelGap = 3.0;
constexpr double kTitleGap = 6.0;
constexpr double kLegendSample = 24.0;
constexpr double kLegendGap = 6.0;
constexpr double kLegendItemGap = 24.0;
constexpr double kYTickSpacing = 40.0;
constexpr double kXLabelGap = 16.0;     // free room between two time labels
constexpr double kXTickSpacing = 64.0;  // the least distance between two time ticks
constexpr double kMarkWidth = 10.0;
constexpr double kMarkHeight = 9.0;
constexpr int kLabelPixels = 11;
constexpr int kTitlePixels = 12;

// The range an empty chart shows (its time axis then spans kShortestTimeAxis).
constexpr ChartRange kEmptyRange{0.0, 0.0, 0.0, 100.0};
// A temperature axis widened to its least span ends on multiples of this.
constexpr double kTemperatureRounding = 5.0;

const QColor kGridColour(224, 224, 224);
const QColor kAxisColour(128, 128, 128);
const QColor kTextColour(48, 48, 48);

QFont sizedFont(const QFont& base, int pixels) {
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

// Stretches [low, high] so that high sits kAxisEndRoom before the end of an axis `length` long.
double withEndRoom(double low, double high, double length) {
    if (length <= 2.0 * kAxisEndRoom) {
        return high;
    }
    return low + (high - low) * length / (length - kAxisEndRoom);
}

// All points, from 0 min, over at least kNarrowestTemperatureAxis (the x axis' least span is
// applied once its end room is known).
ChartRange unzoomedRange(std::span<const ChartLine> lines) {
    ChartRange range = dataRange(lines).value_or(kEmptyRange);
    range.xMin = std::min(range.xMin, 0.0);
    if (range.yMax - range.yMin < kNarrowestTemperatureAxis) {
        const double middle = (range.yMin + range.yMax) / 2.0;
        range.yMin = std::floor((middle - kNarrowestTemperatureAxis / 2.0) / kTemperatureRounding) *
                     kTemperatureRounding;
        range.yMax = std::ceil((middle + kNarrowestTemperatureAxis / 2.0) / kTemperatureRounding) *
                     kTemperatureRounding;
    }
    return range;
}

// The curve as polylines in target units: per pixel column where it enters, how far it reaches
// and where it leaves, plus the points just outside the plot so that the line runs to its edges.
// A gap between the points of two columns ends one polyline and the next column starts another;
// a gap between points of the same column is narrower than the line and is drawn through.
std::vector<QPolygonF> curvePolylines(const ChartLine& line, const ChartGeometry& geometry,
                                      int columns) {
    const ChartPoints& points = *line.points;
    const ChartRange& axes = geometry.axes;
    const std::vector<ColumnSummary> summaries = points.decimate(axes.xMin, axes.xMax, columns);
    std::vector<QPolygonF> polylines(1);
    polylines.back().reserve(static_cast<qsizetype>(summaries.size()) * 6 + 4);
    // The stairs' value held from the last point (a plain flag and value: GCC takes an optional
    // here for one that may be read uninitialised).
    bool holding = false;
    double heldY = 0.0;
    // Before the point at `index`: a gap in front of it starts a new polyline, and the stairs do
    // not hold their value across the gap.
    const auto partBefore = [&](std::size_t index) {
        if (points.gapBefore(index) && !polylines.back().isEmpty()) {
            polylines.emplace_back();
            holding = false;
        }
    };
    const auto add = [&](const ChartPoint& point) {
        QPolygonF& polygon = polylines.back();
        if (line.stairs && holding) {
            polygon << geometry.toPixel(point.x, heldY);
        }
        polygon << geometry.toPixel(point.x, point.y);
        heldY = point.y;
        holding = true;
    };
    const std::size_t begin = points.lowerBound(axes.xMin);
    if (begin > 0) {
        add(points.at(begin - 1));
    }
    for (const ColumnSummary& column : summaries) {
        partBefore(column.firstIndex);
        add(column.first);
        if (column.minY < std::min(column.first.y, column.last.y) ||
            column.maxY > std::max(column.first.y, column.last.y)) {
            const double middleX = (column.first.x + column.last.x) / 2.0;
            polylines.back() << geometry.toPixel(middleX, column.minY)
                             << geometry.toPixel(middleX, column.maxY);
        }
        if (column.last != column.first) {
            add(column.last);
        }
    }
    const std::size_t end = points.upperBound(axes.xMax);
    if (end < points.size()) {
        partBefore(end);
        add(points.at(end));
    }
    return polylines;
}

// Strokes a polyline of the curve in short pieces: the raster engine strokes a long polyline that
// doubles back on itself, as the columns of a dense curve do, many times slower than the same
// vertices in pieces. A solid line's pieces overlap by one segment, so that the join between two
// pieces is drawn inside the second and the flat ends do not show. The dash pattern runs on from
// piece to piece (without overlap, which would draw dots twice); `travelled` is the length of
// the curve drawn before. A reading alone between two gaps is drawn as a dot twice the line's
// width, so that it stands out from the grid.
void drawPolyline(QPainter& painter, const QPolygonF& polygon, QPen pen, double& travelled) {
    if (polygon.size() == 1) {
        pen.setStyle(Qt::SolidLine);
        pen.setCapStyle(Qt::RoundCap);
        pen.setWidthF(2.0 * (pen.widthF() > 0.0 ? pen.widthF() : 1.0));
        painter.setPen(pen);
        painter.drawPoint(polygon.front());
        return;
    }
    constexpr qsizetype kPieceSegments = 16;
    const qsizetype overlap = pen.style() == Qt::SolidLine ? 1 : 0;
    const double penWidth = pen.widthF() > 0.0 ? pen.widthF() : 1.0;
    for (qsizetype start = 0; start + 1 < polygon.size(); start += kPieceSegments) {
        const qsizetype end = std::min(start + kPieceSegments, polygon.size() - 1);
        const qsizetype from = std::max<qsizetype>(start - overlap, 0);
        pen.setDashOffset(travelled / penWidth);  // in pen widths, as the pattern is
        painter.setPen(pen);
        painter.drawPolyline(polygon.constData() + from, static_cast<int>(end - from + 1));
        for (qsizetype i = start; i < end; ++i) {
            travelled += QLineF(polygon[i], polygon[i + 1]).length();
        }
    }
}

void paintGrid(QPainter& painter, const ChartGeometry& geometry, const QFont& font) {
    const QRectF& plot = geometry.plot;
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    for (const double value : geometry.yTicks.values) {
        const double y = geometry.toPixel(geometry.axes.xMin, value).y();
        painter.setPen(QPen(kGridColour, 1.0));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(QPen(kAxisColour, 1.0));
        painter.drawLine(QPointF(plot.left() - kTickLength, y), QPointF(plot.left(), y));
        painter.setPen(kTextColour);
        const QRectF box(geometry.target.left(), y - metrics.height() / 2.0,
                         plot.left() - kTickLength - kLabelGap - geometry.target.left(),
                         metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip,
                         tickLabel(value, geometry.yTicks.decimals));
    }
    const TimeTicks& time = geometry.xTicks;
    for (std::size_t i = 0; i < time.minutes.size(); ++i) {
        const double x = geometry.toPixel(time.minutes[i], geometry.axes.yMin).x();
        painter.setPen(QPen(kGridColour, 1.0));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(QPen(kAxisColour, 1.0));
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTickLength));
        painter.setPen(kTextColour);
        painter.drawText(geometry.xLabelBoxes[i],
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, time.labels[i]);
    }
    painter.setPen(QPen(kAxisColour, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
}

void paintAxisTitles(QPainter& painter, const ChartGeometry& geometry, const QFont& font) {
    const QFontMetricsF metrics(font);
    const QRectF& plot = geometry.plot;
    const QRectF& target = geometry.target;
    painter.setFont(font);
    painter.setPen(kTextColour);
    const QRectF bottomBox(plot.left(), target.bottom() - kPadding - metrics.height(), plot.width(),
                           metrics.height());
    painter.drawText(bottomBox, Qt::AlignCenter | Qt::TextDontClip,
                     timeAxisTitle(geometry.xTicks.unit));

    painter.save();
    painter.translate(target.left() + kPadding, plot.center().y());
    painter.rotate(-90.0);
    const QRectF leftBox(-plot.height() / 2.0, 0.0, plot.height(), metrics.height());
    painter.drawText(leftBox, Qt::AlignCenter | Qt::TextDontClip, kYAxisTitle);
    painter.restore();
}

// An event's mark: a triangle whose tip points at the event's time, its base `baseY`.
QPolygonF markTriangle(double x, double baseY) {
    return QPolygonF({QPointF(x, baseY - kMarkHeight), QPointF(x + kMarkWidth / 2.0, baseY),
                      QPointF(x - kMarkWidth / 2.0, baseY)});
}

void drawMark(QPainter& painter, double x, double baseY, const QColor& colour) {
    painter.setPen(QPen(colour.darker(130), 1.0));
    painter.setBrush(colour);
    painter.drawPolygon(markTriangle(x, baseY));
    painter.setBrush(Qt::NoBrush);
}

// One entry of the legend: a curve's line, or an event's mark.
struct LegendEntry {
    QString name;
    std::optional<QPen> line;
    QColor mark;
};

void paintLegend(QPainter& painter, const ChartGeometry& geometry, std::span<const ChartLine> lines,
                 std::span<const ChartEventMark> events, const QFont& font) {
    std::vector<LegendEntry> entries;
    for (const ChartLine& line : lines) {
        entries.push_back({line.name, line.pen, QColor()});
    }
    const auto alarm = [](const ChartEventMark& event) { return event.alarm; };
    if (std::any_of(events.begin(), events.end(), std::not_fn(alarm))) {
        entries.push_back({QStringLiteral("Event"), std::nullopt, kEventColour});
    }
    if (std::any_of(events.begin(), events.end(), alarm)) {
        entries.push_back({QStringLiteral("Alarm"), std::nullopt, kAlarmEventColour});
    }
    const QFontMetricsF metrics(font);
    double width = 0.0;
    for (const LegendEntry& entry : entries) {
        width += (entry.line ? kLegendSample : kMarkWidth) + kLegendGap +
                 metrics.horizontalAdvance(entry.name);
    }
    width += kLegendItemGap * static_cast<double>(std::max<std::size_t>(entries.size(), 1) - 1);
    double x = geometry.target.center().x() - width / 2.0;
    const double top = geometry.target.top() + kPadding;
    const double middle = top + metrics.height() / 2.0;
    painter.setFont(font);
    for (const LegendEntry& entry : entries) {
        if (entry.line) {
            painter.setPen(*entry.line);
            painter.drawLine(QPointF(x, middle), QPointF(x + kLegendSample, middle));
            x += kLegendSample + kLegendGap;
        } else {
            drawMark(painter, x + kMarkWidth / 2.0, middle + kMarkHeight / 2.0, entry.mark);
            x += kMarkWidth + kLegendGap;
        }
        const double textWidth = metrics.horizontalAdvance(entry.name);
        painter.setPen(kTextColour);
        painter.drawText(QRectF(x, top, textWidth, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, entry.name);
        x += textWidth + kLegendItemGap;
    }
}

// The events' marks on the time axis, the alarms last so that they stay on top, each alarm with a
// thin dashed line up through the plot so that it shows against the curves. A mark that would
// cover one of its kind already drawn within a unit is drawn once: a burst of events costs what
// the width costs.
void paintEventMarks(QPainter& painter, const ChartGeometry& geometry,
                     std::span<const ChartEventMark> events) {
    for (const bool alarms : {false, true}) {
        std::vector<double> drawn;  // the x of each mark of this kind, ascending
        for (const ChartEventMark& event : events) {
            if (event.alarm != alarms) {
                continue;
            }
            const std::optional<QRectF> rect = eventMarkRect(geometry, event.minutes);
            if (!rect) {
                continue;
            }
            const double x = rect->center().x();
            const auto near = std::lower_bound(drawn.begin(), drawn.end(), x - 1.0);
            if (near != drawn.end() && *near <= x + 1.0) {
                continue;
            }
            drawn.insert(near, x);
            if (event.alarm) {
                painter.setPen(QPen(kAlarmEventColour, 1.0, Qt::DashLine));
                painter.drawLine(QPointF(x, geometry.plot.top()), QPointF(x, rect->top()));
            }
            drawMark(painter, x, rect->bottom(), event.alarm ? kAlarmEventColour : kEventColour);
        }
    }
}

}  // namespace

QPen seriesPen(const QColor& colour, Qt::PenStyle style) {
    return {colour, 2.0, style, Qt::FlatCap, Qt::BevelJoin};
}

std::optional<QRectF> eventMarkRect(const ChartGeometry& geometry, double minutes) {
    if (!(minutes >= geometry.axes.xMin && minutes <= geometry.axes.xMax)) {
        return std::nullopt;
    }
    const double x = geometry.toPixel(minutes, geometry.axes.yMin).x();
    return QRectF(x - kMarkWidth / 2.0, geometry.plot.bottom() - kMarkHeight, kMarkWidth,
                  kMarkHeight);
}

QPointF ChartGeometry::toPixel(double x, double y) const {
    return {plot.left() + (x - axes.xMin) / (axes.xMax - axes.xMin) * plot.width(),
            plot.bottom() - (y - axes.yMin) / (axes.yMax - axes.yMin) * plot.height()};
}

ChartPoint ChartGeometry::toData(const QPointF& pixel) const {
    return {axes.xMin + (pixel.x() - plot.left()) / plot.width() * (axes.xMax - axes.xMin),
            axes.yMin + (plot.bottom() - pixel.y()) / plot.height() * (axes.yMax - axes.yMin)};
}

std::optional<ChartRange> dataRange(std::span<const ChartLine> lines) {
    std::optional<ChartRange> range;
    for (const ChartLine& line : lines) {
        const ChartPoints& points = *line.points;
        if (points.empty()) {
            continue;
        }
        const YExtent extent = *points.yExtent();
        const ChartRange own{points.at(0).x, points.at(points.size() - 1).x, extent.min,
                             extent.max};
        if (!range) {
            range = own;
        } else {
            range = ChartRange{std::min(range->xMin, own.xMin), std::max(range->xMax, own.xMax),
                               std::min(range->yMin, own.yMin), std::max(range->yMax, own.yMax)};
        }
    }
    return range;
}

ChartGeometry layoutChart(const QRectF& target, std::span<const ChartLine> lines,
                          const std::optional<ChartRange>& zoom, const QFont& font) {
    const QFontMetricsF labels(sizedFont(font, kLabelPixels));
    const QFontMetricsF titles(sizedFont(font, kTitlePixels));
    ChartGeometry geometry;
    geometry.target = target;
    geometry.axes = zoom.value_or(unzoomedRange(lines));
    ChartRange& axes = geometry.axes;

    const double top = target.top() + 1.5 * kPadding + labels.height();
    const double bottom = target.bottom() - kPadding - titles.height() - kTitleGap -
                          labels.height() - kLabelGap - kTickLength;
    const double plotHeight = std::max(1.0, bottom - top);
    if (!zoom) {
        // Room at both ends, so that a curve at the lowest or highest value does not run along
        // the plot's frame, where it cannot be seen.
        if (plotHeight > 2.0 * kAxisEndRoom) {
            const double room =
                (axes.yMax - axes.yMin) * kAxisEndRoom / (plotHeight - 2.0 * kAxisEndRoom);
            axes.yMin -= room;
            axes.yMax += room;
        }
    }
    geometry.yTicks = axisTicks(axes.yMin, axes.yMax, static_cast<int>(plotHeight / kYTickSpacing));
    double yLabelWidth = 0.0;
    for (const double value : geometry.yTicks.values) {
        yLabelWidth = std::max(
            yLabelWidth, labels.horizontalAdvance(tickLabel(value, geometry.yTicks.decimals)));
    }

    // The last time label may reach half its width beyond the plot: room for the widest it may
    // be, the largest magnitude of the axis in its unit (a decimal more where the unit steps in
    // halves), or for the last label laid out, should that be wider.
    const double dataXMax = axes.xMax;
    const double extent = std::max(
        {std::abs(axes.xMin), std::abs(axes.xMax), zoom ? 0.0 : axes.xMin + kShortestTimeAxis});
    const TimeUnit roughUnit = timeUnitFor(std::max(axes.xMax - axes.xMin, kShortestTimeAxis));
    double lastLabelWidth = labels.horizontalAdvance(
        tickLabel(extent / minutesPerUnit(roughUnit), roughUnit == TimeUnit::Minutes ? 0 : 1));
    const double left = target.left() + kPadding + titles.height() + kTitleGap + yLabelWidth +
                        kLabelGap + kTickLength;
    double plotWidth = 1.0;
    for (int pass = 0; pass < 3; ++pass) {
        plotWidth = std::max(1.0, target.right() - kPadding - lastLabelWidth / 2.0 - left);
        if (!zoom) {
            axes.xMax = std::max(withEndRoom(axes.xMin, dataXMax, plotWidth),
                                 axes.xMin + kShortestTimeAxis);
        }
        geometry.xTicks =
            timeTicks({axes.xMin, axes.xMax, plotWidth,
                       [&labels](const QString& text) { return labels.horizontalAdvance(text); },
                       kXLabelGap, kXTickSpacing});
        const double laidOut = geometry.xTicks.labels.empty()
                                   ? 0.0
                                   : labels.horizontalAdvance(geometry.xTicks.labels.back());
        if (laidOut <= lastLabelWidth) {
            break;
        }
        lastLabelWidth = laidOut;
    }
    geometry.plot = QRectF(left, top, plotWidth, plotHeight);
    for (std::size_t i = 0; i < geometry.xTicks.minutes.size(); ++i) {
        const double x = geometry.toPixel(geometry.xTicks.minutes[i], axes.yMin).x();
        const double width = labels.horizontalAdvance(geometry.xTicks.labels[i]);
        geometry.xLabelBoxes.emplace_back(x - width / 2.0,
                                          geometry.plot.bottom() + kTickLength + kLabelGap, width,
                                          labels.height());
    }
    return geometry;
}

void paintChart(QPainter& painter, const ChartGeometry& geometry, std::span<const ChartLine> lines,
                const QFont& font, std::span<const ChartEventMark> events) {
    const QFont labelFont = sizedFont(font, kLabelPixels);
    painter.save();
    painter.setClipRect(geometry.target);
    painter.fillRect(geometry.target, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintGrid(painter, geometry, labelFont);
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintAxisTitles(painter, geometry, sizedFont(font, kTitlePixels));
    paintLegend(painter, geometry, lines, events, labelFont);

    // One column per device pixel on screens, two at most where the device is finer (printers,
    // PDF): the line is wider than a column either way.
    const double resolution = std::clamp(std::abs(painter.deviceTransform().m11()), 1.0, 2.0);
    const int columns =
        std::max(1, static_cast<int>(std::ceil(geometry.plot.width() * resolution)));
    painter.setClipRect(geometry.plot, Qt::IntersectClip);
    for (const ChartLine& line : lines) {
        double travelled = 0.0;
        for (const QPolygonF& polygon : curvePolylines(line, geometry, columns)) {
            if (polygon.size() == 1 && line.stairs) {
                continue;  // a staircase of one point has no step to draw; only readings get dots
            }
            drawPolyline(painter, polygon, line.pen, travelled);
        }
    }
    // A mark at the plot's edge may reach half its width beyond it.
    painter.setClipRect(geometry.target);
    paintEventMarks(painter, geometry, events);
    painter.restore();
}

}  // namespace lumas::ui
