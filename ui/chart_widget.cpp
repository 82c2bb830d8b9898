#include "ui/chart_widget.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QVariantAnimation>

namespace lumas::ui {

namespace {

constexpr int kMinimumDragPixels = 3;
constexpr double kLineWidth = 2.0;
const QColor kMeasuredColour(233, 6, 1);
const QColor kTargetColour(15, 19, 183);

// Flat caps and bevel joins: at two pixels they look as round ones do, and stroke the dense
// curve of a long run in about half the time (a round join costs a small polygon per vertex).
// The pieces a solid curve is drawn in overlap by a segment, so they meet without a notch.
QPen seriesPen(const QColor& colour, Qt::PenStyle style) {
    return {colour, kLineWidth, style, Qt::FlatCap, Qt::BevelJoin};
}

double between(double from, double to, double share) {
    return from + (to - from) * share;
}

}  // namespace

const QString TemperatureChart::kClearChartQuestion =
    QStringLiteral("Delete curves?\rWarning: you can not undo this action.");

TemperatureChart::TemperatureChart(QWidget* parent)
    : QWidget(parent),
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

const ChartPoints& TemperatureChart::points(Series series) const {
    return points_[static_cast<int>(series)];
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

std::array<ChartLine, 2> TemperatureChart::lines() const {
    return {ChartLine{QStringLiteral("Current Temp."), seriesPen(kMeasuredColour, Qt::SolidLine),
                      false, &points_[static_cast<int>(Series::Measured)]},
            ChartLine{QStringLiteral("Target Temp."), seriesPen(kTargetColour, Qt::DotLine), true,
                      &points_[static_cast<int>(Series::Target)]}};
}

ChartGeometry TemperatureChart::geometryInWidget() const {
    const std::array<ChartLine, 2> shown = lines();
    return layoutChart(QRectF(rect()), shown, animatedRange_ ? animatedRange_ : zoom_, font());
}

void TemperatureChart::paintWithRange(QPainter& painter, const QRectF& target,
                                      const std::optional<ChartRange>& range) const {
    const std::array<ChartLine, 2> shown = lines();
    paintChart(painter, layoutChart(target, shown, range, font()), shown, font());
}

void TemperatureChart::drawChart(QPainter& painter, const QRectF& target) const {
    paintWithRange(painter, target, zoom_);
}

void TemperatureChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintWithRange(painter, QRectF(rect()), animatedRange_ ? animatedRange_ : zoom_);
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
