// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/window_ports.h"
#include "ui/chart_painter.h"
#include "ui/chart_points.h"

class QRubberBand;
class QVariantAnimation;

namespace lumas::ui {

// The temperature chart of the main window: measured temperature over minutes with the target
// staircase beside it. It keeps any number of points and draws at a cost that follows its size,
// not the number of points. The Runs window shows a past run in it, with that run's events marked
// on the time axis (the mark's event shows in a tooltip) and a second run's temperature laid over
// it; a series without a name or without points has no entry in the legend. Dragging with the left
// button to the right and down zooms into the rectangle; a drag that ends to the left of or above
// its start shows all data again. The context menu's "Clear Chart" only asks the window
// (clearChartRequested); the window confirms and clears.
class TemperatureChart final : public QWidget {
    Q_OBJECT

  public:
    enum class Series {
        Measured = 0,  // "Current Temp.": solid red line
        Target = 1,    // "Target Temp.": dotted blue, its corners as given (a
                       // jump is two points at one time, a ramp a slope)
        Overlay = 2,   // a second run: solid green line, unnamed until it is given a name
    };
    static constexpr int kSeriesCount = 3;

    static const QString kClearChartQuestion;
    // Repaints after appends come at most this often.
    static constexpr std::chrono::milliseconds kRepaintInterval{40};
    static constexpr std::chrono::milliseconds kZoomAnimation{250};

    explicit TemperatureChart(QWidget* parent = nullptr);

    // Adds a point after the series' others (see ChartPoints::append); repaints are coalesced.
    void append(Series series, double minutes, double celsius);
    // Parts the series' line after its points so far (see ChartPoints::appendGap).
    void appendGap(Series series);
    void clear(Series series);
    // Replaces the series' points at once (a past run read elsewhere).
    void setPoints(Series series, ChartPoints points);
    const ChartPoints& points(Series series) const;
    // The series' name in the legend.
    void setSeriesName(Series series, const QString& name);
    QString seriesName(Series series) const;

    // The events marked on the time axis.
    void setEventMarks(std::vector<ChartEventMark> marks);
    const std::vector<ChartEventMark>& eventMarks() const { return marks_; }
    // What the tooltip says at `position` in the widget: each event whose mark lies there, one a
    // line ("12:30 cut-off: ..."); empty where there is no mark.
    QString eventToolTipAt(const QPoint& position) const;

    // Clear Chart: asks `confirm` kClearChartQuestion (true for Yes) and on Yes empties both
    // series. Returns whether it did, so that the window can switch its run timers off.
    bool clearIfConfirmed(const std::function<bool(const QString&)>& confirm);

    // The zoomed range, or nothing while the chart shows all data.
    const std::optional<ChartRange>& zoom() const { return zoom_; }
    // Zooms to `range` (ignored unless it is a proper rectangle), or shows all data again.
    void zoomTo(const ChartRange& range);
    void resetZoom();

    // Draws the chart as the window shows it (series, zoom, legend, axes, event marks) laid out
    // afresh for `target`, on any paint device: the widget's paint event, an image, a PDF page.
    // With `events`, those are marked instead of the chart's own.
    void drawChart(QPainter& painter, const QRectF& target,
                   std::span<const ChartEventMark> events = {}) const;

    // Where the chart sits in the widget now.
    ChartGeometry geometryInWidget() const;

    QSize sizeHint() const override { return {640, 480}; }

  signals:
    // The operator chose "Clear Chart" in the context menu.
    void clearChartRequested();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // The series shown: the ones with a name, and the overlay only while it has points.
    std::vector<ChartLine> lines() const;
    void scheduleRepaint();
    void animateTo(const std::optional<ChartRange>& zoom);
    void paintWithRange(QPainter& painter, const QRectF& target,
                        const std::optional<ChartRange>& range,
                        std::span<const ChartEventMark> events) const;

    std::array<ChartPoints, kSeriesCount> points_;
    std::array<QString, kSeriesCount> names_;
    std::vector<ChartEventMark> marks_;
    std::optional<ChartRange> zoom_;
    // The range on its way from the old view to the new one while a zoom animates.
    std::optional<ChartRange> animatedRange_;
    ChartRange animationFrom_;
    ChartRange animationTo_;
    QVariantAnimation* zoomAnimation_;
    QTimer repaintTimer_;
    QRubberBand* rubberBand_;
    std::optional<QPoint> dragStart_;
};

// The chart's series as the core sees it.
class ChartSeriesPort final : public lumas::ChartSeries {
  public:
    ChartSeriesPort(TemperatureChart& chart, TemperatureChart::Series series)
        : chart_(chart), series_(series) {}
    void clear() override { chart_.clear(series_); }
    void append(double minutes, double celsius) override {
        chart_.append(series_, minutes, celsius);
    }
    void appendGap() override { chart_.appendGap(series_); }

  private:
    TemperatureChart& chart_;
    TemperatureChart::Series series_;
};

}  // namespace lumas::ui
