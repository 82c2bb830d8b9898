// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/run_texts.h"

#include <cmath>

#include "core/csv_log.h"
#include "core/number_text.h"

namespace lumas::texts {

QString blindStopPlan(std::chrono::seconds limit) {
    if (limit.count() <= 0) {
        return QStringLiteral("The stop of a run without readings is switched off.");
    }
    return QStringLiteral("Without a reading for %1 s, Lumas stops the controller.")
        .arg(limit.count());
}

QString blindStopped(std::chrono::seconds withoutReadings) {
    return QStringLiteral(
               "No reading came in for %1 s: nobody can watch the chamber, so Lumas stopped the "
               "controller and waits for it to confirm the Stop.")
        .arg(withoutReadings.count());
}

QString cutOffDetails(double threshold, double reading, const QString& when,
                      const QLocale& locale) {
    return QStringLiteral("Threshold: %1 °C. The reading that fired the cut-off: %2 °C at %3.")
        .arg(generalNumberText(threshold, locale), oneDecimalText(reading, locale), when);
}

QString minutesText(double minutes, const QLocale& locale) {
    const double tenths = std::round(minutes * 10.0) / 10.0;
    if (tenths == std::trunc(tenths)) {
        return QString::number(static_cast<long long>(tenths));
    }
    return oneDecimalText(tenths, locale);
}

QString stampText(const QDateTime& at, const QLocale& locale) {
    return locale.toString(at.date(), csvLogDateFormat(locale)) + u' ' +
           locale.toString(at.time(), csvLogTimeFormat(locale));
}

QString emergencyWarning(const QDateTime& at, const QLocale& locale) {
    return QStringLiteral(
               "Warning: The emergency temperature  was reached and the controller has been "
               "stopped!  [") +
           stampText(at, locale) + u']';
}

QString stepProgress(int step, int stepCount, double minutesLeftInStep, const QLocale& locale) {
    return QStringLiteral("Step %1 of %2, %3 min left in it")
        .arg(step)
        .arg(stepCount)
        .arg(minutesText(minutesLeftInStep, locale));
}

QString programmeProgress(const ProgrammeProgress& progress, int stepCount,
                          std::optional<double> measured, const QLocale& locale) {
    const ProgrammeStep& step = progress.currentStep();
    QString text = QStringLiteral("Step %1 of %2").arg(progress.step()).arg(stepCount);
    if (step.cycles > 0) {
        text += QStringLiteral(" (cycle %1 of %2)").arg(step.cycle).arg(step.cycles);
    }
    switch (progress.stage()) {
        case ProgrammeProgress::Stage::Ramping:
            text +=
                QStringLiteral(", ramping to %1 °C").arg(oneDecimalText(step.temperature, locale));
            break;
        case ProgrammeProgress::Stage::Waiting:
            text +=
                QStringLiteral(", waiting for %1 ± %2 °C, %3")
                    .arg(oneDecimalText(step.temperature, locale),
                         oneDecimalText(step.band.value_or(0.0), locale),
                         measured
                             ? QStringLiteral("now %1 °C").arg(oneDecimalText(*measured, locale))
                             : QStringLiteral("no reading"));
            break;
        case ProgrammeProgress::Stage::Soaking:
        case ProgrammeProgress::Stage::Finished:
            break;
    }
    return text + QStringLiteral(", %1 min left in it")
                      .arg(minutesText(progress.minutesLeftInStep(), locale));
}

QString stepDescription(const ProgrammeStep& step, const QLocale& locale) {
    QString text = oneDecimalText(step.temperature, locale) + QStringLiteral(" °C");
    if (step.rate) {
        text += QStringLiteral(", ramp at %1 °C/min").arg(oneDecimalText(*step.rate, locale));
    } else if (step.rampMinutes) {
        text += QStringLiteral(", ramp in %1 min").arg(minutesText(*step.rampMinutes, locale));
    }
    text += QStringLiteral(", hold %1 min").arg(minutesText(step.holdMinutes, locale));
    if (step.band) {
        text += QStringLiteral(", band ±%1 °C").arg(oneDecimalText(*step.band, locale));
    }
    return text;
}

QString programmeStatus(const QString& stepProgress, double minutesLeft, const QLocale& locale) {
    return QStringLiteral("Programme: %1; %2 min left in all")
        .arg(stepProgress, minutesText(minutesLeft, locale));
}

QString singleStatus(std::optional<double> setPoint, const QLocale& locale) {
    if (!setPoint) {
        return QStringLiteral("Single set point: running");
    }
    return QStringLiteral("Single set point: running at %1 °C")
        .arg(oneDecimalText(*setPoint, locale));
}

QString runEndedLine(const RunEnd& end, std::chrono::seconds blindLimit, const QString& when) {
    QString line = QStringLiteral("Run ended: ") + runEndReasonText(end.reason, blindLimit);
    if (end.reason == RunEndReason::StopNotConfirmed && end.stopAskedFor) {
        line += QStringLiteral(" (the Stop was asked: ") +
                runEndReasonText(*end.stopAskedFor, blindLimit) + u')';
    }
    return line + QStringLiteral("  [") + when + u']';
}

QString interruptedRunQuestion(std::int64_t runId, const QString& startedWhen,
                               const QString& lastReadingWhen, double setPoint,
                               const QLocale& locale) {
    return QStringLiteral(
               "The chamber is still running from run %1, started %2, which ended unexpectedly "
               "(its last reading was at %3): the controller runs at its set point of %4 °C.\r"
               "Stop the chamber now, or go on watching it as a new run linked to run %1?")
        .arg(runId)
        .arg(startedWhen, lastReadingWhen, oneDecimalText(setPoint, locale));
}

}  // namespace lumas::texts
