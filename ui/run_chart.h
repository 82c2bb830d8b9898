// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

#include <span>
#include <vector>

#include "core/run_archive.h"
#include "ui/chart_painter.h"
#include "ui/chart_points.h"

class QPainter;

namespace lumas::ui {

// The events of a run as marks on the chart's time axis.
std::vector<ChartEventMark> eventMarks(const std::vector<ArchivedEvent>& events);

// An archived run drawn as the main window draws a run: the measured temperature over minutes
// since the start, parted where the link was down (a reading without a temperature), and the
// target: the programme's curve, or the single set point held from the start to the last reading.
struct RunCurves {
    ChartPoints measured;
    ChartPoints target;
    std::vector<ChartEventMark> events;
};
RunCurves runCurves(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                    const std::vector<ArchivedEvent>& events);

// The curve names of a run: "Run 12" for its measured temperature, "Target Temp." for its target.
QString runCurveName(std::int64_t id);

// Draws a run's curves as the chart widget draws its series, laid out for `target`, with `events`
// marked; the measured curve is named `measuredName` in the legend.
void drawRunChart(QPainter& painter, const QRectF& target, const ChartPoints& measured,
                  const ChartPoints& targetCurve, const QString& measuredName,
                  std::span<const ChartEventMark> events, const QFont& font = QFont());

}  // namespace lumas::ui
