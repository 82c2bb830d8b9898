// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/run_chart.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lumas::ui {

namespace {

constexpr double kMillisecondsPerMinute = 60'000.0;

double minutesOf(std::int64_t atMs) {
    return static_cast<double>(atMs) / kMillisecondsPerMinute;
}

}  // namespace

std::vector<ChartEventMark> eventMarks(const std::vector<ArchivedEvent>& events) {
    std::vector<ChartEventMark> marks;
    marks.reserve(events.size());
    for (const ArchivedEvent& event : events) {
        marks.push_back({minutesOf(event.atMs), event.kind, event.text, isAlarmEvent(event.kind)});
    }
    return marks;
}

RunCurves runCurves(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                    const std::vector<ArchivedEvent>& events) {
    RunCurves curves;
    for (const ArchivedReading& reading : readings) {
        if (reading.temperature) {
            curves.measured.append(minutesOf(reading.atMs), *reading.temperature);
        } else {
            curves.measured.appendGap();  // the link was down: no line, never a repeated value
        }
    }
    // A programme's steps as they ran: each from the time its step began (a step event) at its
    // temperature, the last one up to the run's last reading or event. A programme whose clock
    // stood still (a held run) or ran faster than the line (a trial) is drawn where it was; without
    // step events, as the programme plans it.
    struct StepBegun {
        double minutes = 0.0;
        int step = 0;
    };
    std::vector<StepBegun> stepsBegun;
    if (run.programme) {
        const std::vector<ProgrammeStep>& steps = run.programme->steps();
        for (const ArchivedEvent& event : events) {
            if (event.kind != QLatin1String("step")) {
                continue;
            }
            bool read = false;
            const int step = event.text.section(u' ', 1, 1).chopped(1).toInt(&read);
            if (read && step >= 1 && static_cast<std::size_t>(step) <= steps.size()) {
                stepsBegun.push_back({minutesOf(event.atMs), step});
            }
        }
    }
    if (!stepsBegun.empty()) {
        std::int64_t lastMs = 0;
        for (const ArchivedReading& reading : readings) {
            lastMs = std::max(lastMs, reading.atMs);
        }
        for (const ArchivedEvent& event : events) {
            lastMs = std::max(lastMs, event.atMs);
        }
        const Programme& programme = *run.programme;
        const auto temperatureOf = [&programme](const StepBegun& begun) {
            return programme.step(begun.step).temperature;
        };
        for (std::size_t k = 0; k < stepsBegun.size(); ++k) {
            const StepBegun& begun = stepsBegun[k];
            // A jump is a vertical at the step's start; a ramp a slope over its planned time (cut
            // short by the next step's start).
            if (k > 0 || programme.step(begun.step).ramps()) {
                curves.target.append(begun.minutes, programme.rampStartOf(begun.step));
            }
            double arrival = begun.minutes + programme.rampMinutesOf(begun.step);
            if (k + 1 < stepsBegun.size()) {
                arrival = std::min(arrival, stepsBegun[k + 1].minutes);
            }
            curves.target.append(arrival, temperatureOf(begun));
        }
        curves.target.append(std::max(minutesOf(lastMs), stepsBegun.back().minutes),
                             temperatureOf(stepsBegun.back()));
    } else if (run.programme) {
        for (const TargetCurvePoint& point : run.programme->targetCurve()) {
            curves.target.append(point.minutes, point.temperature);
        }
    } else if (run.singleSetPoint) {
        const double end = readings.empty() ? 0.0 : minutesOf(readings.back().atMs);
        curves.target.append(0.0, *run.singleSetPoint);
        curves.target.append(end, *run.singleSetPoint);
    }
    curves.events = eventMarks(events);
    return curves;
}

QString runCurveName(std::int64_t id) {
    return QStringLiteral("Run %1").arg(id);
}

void drawRunChart(QPainter& painter, const QRectF& target, const ChartPoints& measured,
                  const ChartPoints& targetCurve, const QString& measuredName,
                  std::span<const ChartEventMark> events, const QFont& font) {
    const std::array<ChartLine, 2> lines{
        ChartLine{measuredName, seriesPen(kMeasuredColour, Qt::SolidLine), false, &measured},
        ChartLine{QStringLiteral("Target Temp."), seriesPen(kTargetColour, Qt::DotLine), false,
                  &targetCurve}};
    paintChart(painter, layoutChart(target, lines, std::nullopt, font), lines, font, events);
}

}  // namespace lumas::ui
