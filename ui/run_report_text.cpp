// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/run_report_text.h"

#include <algorithm>
#include <cstdlib>

#include "core/run_texts.h"

namespace lumas::ui {

namespace {

QString twoDigits(std::int64_t value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString runTimeText(const QDateTime& utc, int utcOffsetSeconds) {
    const QDateTime local = utc.toOffsetFromUtc(utcOffsetSeconds);
    const int offsetMinutes = std::abs(utcOffsetSeconds) / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC") +
           (utcOffsetSeconds < 0 ? u'-' : u'+') + twoDigits(offsetMinutes / 60) + u':' +
           twoDigits(offsetMinutes % 60);
}

QString durationText(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1000;
    const std::int64_t minutes = seconds / 60;
    const std::int64_t hours = minutes / 60;
    const std::int64_t days = hours / 24;
    if (minutes == 0) {
        return QStringLiteral("%1 s").arg(seconds);
    }
    if (hours == 0) {
        return QStringLiteral("%1 min %2 s").arg(minutes).arg(twoDigits(seconds % 60));
    }
    if (days == 0) {
        return QStringLiteral("%1 h %2 min").arg(hours).arg(twoDigits(minutes % 60));
    }
    return QStringLiteral("%1 d %2 h %3 min")
        .arg(days)
        .arg(hours % 24)
        .arg(twoDigits(minutes % 60));
}

QString elapsedText(std::int64_t milliseconds) {
    const bool before = milliseconds < 0;
    const std::int64_t seconds = std::abs(milliseconds) / 1000;
    return (before ? QStringLiteral("-") : QString()) +
           QStringLiteral("%1:%2:%3")
               .arg(seconds / 3600)
               .arg(twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

QString celsiusText(std::optional<double> celsius, const QLocale& locale) {
    if (!celsius) {
        return QStringLiteral("none");
    }
    return locale.toString(*celsius, 'f', 1) + QStringLiteral(" °C");
}

QString programmeText(const Programme& programme, const QLocale& locale) {
    const int steps = programme.stepCount();
    return QStringLiteral("%1 %2, %3 min")
        .arg(steps)
        .arg(steps == 1 ? QStringLiteral("step") : QStringLiteral("steps"))
        .arg(texts::minutesText(programme.totalMinutes(), locale));
}

std::int64_t runDurationMs(const ArchivedRun& run) {
    const std::optional<QDateTime> end = run.ended ? run.ended : run.lastReading;
    return end ? run.started.msecsTo(*end) : 0;
}

QString runTargetText(const ArchivedRun& run, const QLocale& locale) {
    if (run.programme) {
        return QStringLiteral("Programme of ") + programmeText(*run.programme, locale);
    }
    if (run.singleSetPoint) {
        return celsiusText(run.singleSetPoint, locale);
    }
    return run.kind == RunKind::Programme ? QStringLiteral("Programme")
                                          : QStringLiteral("Single set point");
}

QString runEndText(const ArchivedRun& run) {
    if (!run.ended) {
        return QStringLiteral("still running");
    }
    return run.endReason;
}

QString runOperatorText(const ArchivedRun& run) {
    if (run.host.isEmpty()) {
        return run.user;
    }
    return run.user + u'@' + run.host;
}

}  // namespace lumas::ui
