// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

#include "core/programme_progress.h"
#include "core/run_events.h"

namespace lumas::texts {

// The texts the operator reads about a run, whichever front end shows them.

// The blind-run stop is switched off in the settings file.
inline const QString kBlindStopOff = QStringLiteral(
    "The stop of a run without readings is switched off (BlindStopSeconds=0 in the settings "
    "file): a run goes on however long the controller sends no readings.");
inline const QString kReadingsBack = QStringLiteral("The controller answers again.");
inline const QString kControllerFoundStopped = QStringLiteral(
    "The controller reports Stopped although the run expects it Running (a power cut, a restart "
    "or a Stop at its front panel). The run waits; its programme time stands still.");
inline const QString kRunOnQuestion = QStringLiteral(
    "The controller reports Stopped although the run expects it Running: it may have lost power, "
    "restarted, or been stopped at its front panel. The run waits and its programme time stands "
    "still.\rRun on? Yes sends Run and goes on with the run; No ends the run and leaves the "
    "controller stopped.");

// The chamber is found running after the program was ended by force during run `runId`: what
// the operator is told and asked, and the two answers.
QString interruptedRunQuestion(std::int64_t runId, const QString& startedWhen,
                               const QString& lastReadingWhen, double setPoint,
                               const QLocale& locale);
inline const QString kStopTheChamber = QStringLiteral("Stop the chamber");
inline const QString kWatchTheRun = QStringLiteral("Go on watching");

// What happens when no reading comes in during a run: "Without a reading for 120 s, Lumas stops
// the controller." (or that this is switched off).
QString blindStopPlan(std::chrono::seconds limit);
// The blind-run stop fired.
QString blindStopped(std::chrono::seconds withoutReadings);
// The second line of the cut-off's alarm: the threshold, the reading that fired it and when.
QString cutOffDetails(double threshold, double reading, const QString& when, const QLocale& locale);
// "Step 2 of 3, 4.5 min left in it".
QString stepProgress(int step, int stepCount, double minutesLeftInStep, const QLocale& locale);
// Where a programme stands, for the step line and the status bar: "Step 5 of 21 (cycle 2 of 10),
// ramping to 85.0 °C, 17.5 min left in it", "..., waiting for 85.0 ± 2.0 °C, now 79.3 °C, 15 min
// left in it" (the hold stands still), or as stepProgress() for a plain hold. `measured` is the
// reading now, none while the link is down.
QString programmeProgress(const ProgrammeProgress& progress, int stepCount,
                          std::optional<double> measured, const QLocale& locale);
// A step as the run's record names it: "85.0 °C, ramp at 5.0 °C/min, hold 15 min, band
// ±2.0 °C".
QString stepDescription(const ProgrammeStep& step, const QLocale& locale);
// The run's status line while a programme runs, and while a single run holds its set point.
QString programmeStatus(const QString& stepProgress, double minutesLeft, const QLocale& locale);
QString singleStatus(std::optional<double> setPoint, const QLocale& locale);
// The run's status line once it has ended, stamped with `when`.
QString runEndedLine(const RunEnd& end, std::chrono::seconds blindLimit, const QString& when);
// Minutes as the operator reads them: to a tenth, without ".0" for whole minutes ("2", "1.4").
QString minutesText(double minutes, const QLocale& locale);
// The local date and time as the status bar, the log and the notices show them: the locale's short
// date and long time ("12/10/2026 2:05:09 PM").
QString stampText(const QDateTime& at, const QLocale& locale);
// The status-bar warning of the emergency cut-off once its Stop is confirmed, stamped with `at`.
QString emergencyWarning(const QDateTime& at, const QLocale& locale);

}  // namespace lumas::texts
