// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_widget.h"

#include <QAction>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolTip>
#include <QVariantAnimation>

#include <cmath>

#include "ui/run_report_text.h"

namespace lumas::ui {

namespace {

constexpr int kMinimumDragPixels = 3;
// How far from a mark the pointer may be for its tooltip, in pixels.
constexpr double kMarkHitMargin = 3.0;

double between(double from, double to, double share) {
    return from + (to - from) * share;
}

}  // namespace

const QString TemperatureChart::kClearChartQuestion =
    QStringLiteral("Delete curves?\rWarning: you can not undo this action.");

TemperatureChart::TemperatureChart(QWidget* parent)
    : QWidget(parent),
      names_{QStringLiteral("Current Temp."), QStringLiteral("Target Temp."), QString()},
      zoomAnimation_(new QVariantAnimation(this)),
      rubberBand_(new QRubberBand(QRubberBand::Rectangle, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* clearChart = new QAction(QStringLiteral("Clear Chart"), this);
    addAction(clearChart);
    connect(clearChart, &QAction::triggered, this, &TemperatureChart::clearChartRequested);

    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(kRepaintInterval);
    connect(&repaintTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));

    zoomAnimation_->setDuration(static_cast<int>(kZoomAnimation.count()));
    zoomAnimation_->setStartValue(0.0);
    zoomAnimation_->setEndValue(1.0);
    zoomAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(zoomAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double share = value.toDouble();
        animatedRange_ = ChartRange{between(animationFrom_.xMin, animationTo_.xMin, share),
                                    between(animationFrom_.xMax, animationTo_.xMax, share),
                                    between(animationFrom_.yMin, animationTo_.yMin, share),
                                    between(animationFrom_.yMax, animationTo_.yMax, share)};
        update();
    });
    connect(zoomAnimation_, &QVariantAnimation::finished, this, [this] {
        animatedRange_.reset();
        update();
    });
}

void TemperatureChart::append(Series series, double minutes, double celsius) {
    if (points_[static_cast<int>(series)].append(minutes, celsius)) {
        scheduleRepaint();
    }
}

void TemperatureChart::appendGap(Series series) {
    points_[static_cast<int>(series)].appendGap();
}

void TemperatureChart::clear(Series series) {
    points_[static_cast<int>(series)].clear();
    scheduleRepaint();
}

void TemperatureChart::setPoints(Series series, ChartPoints points) {
    points_[static_cast<int>(series)] = std::move(points);
    scheduleRepaint();
}

const ChartPoints& TemperatureChart::points(Series series) const {
    return points_[static_cast<int>(series)];
}

void TemperatureChart::setSeriesName(Series series, const QString& name) {
    names_[static_cast<int>(series)] = name;
    scheduleRepaint();
}

QString TemperatureChart::seriesName(Series series) const {
    return names_[static_cast<int>(series)];
}

void TemperatureChart::setEventMarks(std::vector<ChartEventMark> marks) {
    marks_ = std::move(marks);
    scheduleRepaint();
}

QString TemperatureChart::eventToolTipAt(const QPoint& position) const {
    const ChartGeometry geometry = geometryInWidget();
    QStringList lines;
    for (const ChartEventMark& mark : marks_) {
        const std::optional<QRectF> rect = eventMarkRect(geometry, mark.minutes);
        if (rect && rect->adjusted(-kMarkHitMargin, -kMarkHitMargin, kMarkHitMargin, kMarkHitMargin)
                        .contains(QPointF(position))) {
            lines << elapsedText(std::llround(mark.minutes * 60'000.0)) + u' ' + mark.kind +
                         QStringLiteral(": ") + mark.text;
        }
    }
    return lines.join(u'\n');
}

bool TemperatureChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = eventToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

bool TemperatureChart::clearIfConfirmed(const std::function<bool(const QString&)>& confirm) {
    if (!confirm(kClearChartQuestion)) {
        return false;
    }
    clear(Series::Measured);
    clear(Series::Target);
    return true;
}

void TemperatureChart::zoomTo(const ChartRange& range) {
    if (range.xMax > range.xMin && range.yMax > range.yMin) {
        animateTo(range);
    }
}

void TemperatureChart::resetZoom() {
    if (zoom_) {
        animateTo(std::nullopt);
    }
}

void TemperatureChart::animateTo(const std::optional<ChartRange>& zoom) {
    zoomAnimation_->stop();
    animationFrom_ = geometryInWidget().axes;
    zoom_ = zoom;
    animatedRange_.reset();
    animationTo_ = geometryInWidget().axes;
    if (isVisible()) {
        animatedRange_ = animationFrom_;
        zoomAnimation_->start();
    }
    update();
}

std::vector<ChartLine> TemperatureChart::lines() const {
    std::vector<ChartLine> shown{
        ChartLine{names_[0], seriesPen(kMeasuredColour, Qt::SolidLine), false, &points_[0]},
        ChartLine{names_[1], seriesPen(kTargetColour, Qt::DotLine), false, &points_[1]}};
    const int overlay = static_cast<int>(Series::Overlay);
    if (!points_[overlay].empty() && !names_[overlay].isEmpty()) {
        shown.push_back(ChartLine{names_[overlay], seriesPen(kOverlayColour, Qt::SolidLine), false,
                                  &points_[overlay]});
    }
    return shown;
}

ChartGeometry TemperatureChart::geometryInWidget() const {
    const std::vector<ChartLine> shown = lines();
    return layoutChart(QRectF(rect()), shown, animatedRange_ ? animatedRange_ : zoom_, font());
}

void TemperatureChart::paintWithRange(QPainter& painter, const QRectF& target,
                                      const std::optional<ChartRange>& range,
                                      std::span<const ChartEventMark> events) const {
    const std::vector<ChartLine> shown = lines();
    paintChart(painter, layoutChart(target, shown, range, font()), shown, font(), events);
}

void TemperatureChart::drawChart(QPainter& painter, const QRectF& target,
                                 std::span<const ChartEventMark> events) const {
    paintWithRange(painter, target, zoom_,
                   events.empty() ? std::span<const ChartEventMark>(marks_) : events);
}

void TemperatureChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintWithRange(painter, QRectF(rect()), animatedRange_ ? animatedRange_ : zoom_, marks_);
}

void TemperatureChart::scheduleRepaint() {
    if (!repaintTimer_.isActive()) {
        repaintTimer_.start();
    }
}

void TemperatureChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragStart_ = event->position().toPoint();
    rubberBand_->setGeometry(QRect(*dragStart_, QSize()));
    rubberBand_->show();
}

void TemperatureChart::mouseMoveEvent(QMouseEvent* event) {
    if (dragStart_) {
        rubberBand_->setGeometry(QRect(*dragStart_, event->position().toPoint()).normalized());
    }
}

void TemperatureChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragStart_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    rubberBand_->hide();
    const QPoint start = *dragStart_;
    const QPoint end = event->position().toPoint();
    dragStart_.reset();
    const QPoint drag = end - start;
    if (drag.x() >= kMinimumDragPixels && drag.y() >= kMinimumDragPixels) {
        const ChartGeometry geometry = geometryInWidget();
        const ChartPoint topLeft = geometry.toData(QPointF(start));
        const ChartPoint bottomRight = geometry.toData(QPointF(end));
        zoomTo({topLeft.x, bottomRight.x, bottomRight.y, topLeft.y});
    } else if (drag.x() <= -kMinimumDragPixels || drag.y() <= -kMinimumDragPixels) {
        resetZoom();
    }
}

}  // namespace lumas::ui
