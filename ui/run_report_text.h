// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

#include "core/run_archive.h"

namespace lumas::ui {

// How the report and the Runs window write a run's facts.

// A moment in the run's local time with its offset from UTC: "2026-12-10 08:00:01 UTC+01:00".
QString runTimeText(const QDateTime& utc, int utcOffsetSeconds);
// A run's length: "45 s", "12 min 05 s", "3 h 07 min", "7 d 0 h 00 min".
QString durationText(std::int64_t milliseconds);
// Time since the run's start: "0:05:12", "168:00:00".
QString elapsedText(std::int64_t milliseconds);
// "80.0 °C" with the locale's decimal separator; "none" when there is no value.
QString celsiusText(std::optional<double> celsius, const QLocale& locale);

// How long the run lasted, or has lasted up to its last reading while it goes on.
std::int64_t runDurationMs(const ArchivedRun& run);
// A programme in a few words: "3 steps, 120 min".
QString programmeText(const Programme& programme, const QLocale& locale);
// What the run held: "80.0 °C" for a single set point, "Programme of 3 steps, 120 min".
QString runTargetText(const ArchivedRun& run, const QLocale& locale);
// How the run ended; "still running" while it has no end.
QString runEndText(const ArchivedRun& run);
// The operator: "user@host".
QString runOperatorText(const ArchivedRun& run);

}  // namespace lumas::ui
