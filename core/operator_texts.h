// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include "core/number_text.h"

namespace lumas {

// The texts the operator sees from the core, whichever front end shows them.
namespace texts {
inline const QString kNoConnection = QStringLiteral("No Connection!");
inline const QString kFirstHoldTime =
    QStringLiteral("Input the hold time for the first set point  ( t1 ) ");
inline const QString kConfirmPortClose =
    QStringLiteral("COM Port is open!\rDo you want to disconnect active connection?");
inline const QString kRunActiveDisconnect = QStringLiteral(
    "A run is active. The controller keeps running at its last set point. Disconnect anyway?");
inline const QString kRunActiveExit = QStringLiteral(
    "A run is active. The controller keeps running at its last set point. Exit anyway?");
inline const QString kRunEndedByDisconnect = QStringLiteral(
    "The run was ended by Disconnect; the controller was not stopped and keeps running at its "
    "last set point.");
inline const QString kRunEndedByPortConfiguration = QStringLiteral(
    "The run was ended by Port Configuration; the controller was not stopped and keeps running "
    "at its last set point.");
inline const QString kRunActive =
    QStringLiteral("A run is going on: stop it before starting another.");
inline const QString kWaitingForStop =
    QStringLiteral("The run is stopping: Lumas waits for the controller to confirm the Stop.");
inline const QString kRunNotHeld = QStringLiteral("No run is waiting for a decision.");
inline const QString kErrorOccured = QStringLiteral("Error occured: ");
inline const QString kOffline = QStringLiteral("OFFLINE");
inline const QString kConnected = QStringLiteral("Connected");
inline const QString kNoValue = QStringLiteral("--");
inline const QString kRunning = QStringLiteral("Running");
inline const QString kStopped = QStringLiteral("Stopped");
inline const QString kNoPortSelected = QStringLiteral("No port is selected.");
inline const QString kNoReply = QStringLiteral("No reply");
inline const QString kPortLost = QStringLiteral("Port lost");
inline const QString kCutOffBlind = QStringLiteral(
    "The controller does not answer: the emergency cut-off cannot act until its readings come "
    "back. The chamber keeps running at its last set point.");
inline const QString kStopNotConfirmed = QStringLiteral(
    "The controller did not confirm the Stop: it still reports Running or does not answer. The "
    "chamber may still be running at its last set point!");
// The steps of a run above the highest set point the driver sends (`steps`, such as
// "T3 (450.0 °C)"), which the controller runs at that set point (`limit`, such as "400.0").
inline QString stepsAboveSetPointLimit(const QStringList& steps, const QString& limit) {
    const bool one = steps.size() == 1;
    return QStringLiteral(
               "%1 %2 above %3 °C, the highest set point sent to the controller: %4 at %3 °C.")
        .arg(steps.join(QStringLiteral(", ")), one ? QStringLiteral("is") : QStringLiteral("are"),
             limit, one ? QStringLiteral("this step runs") : QStringLiteral("these steps run"));
}
// "Temperature range:   -70 - 500°C": a temperature outside the range of its field.
inline QString temperatureRange(double minimum, double maximum, const QLocale& locale) {
    return QStringLiteral("Temperature range:   ") + generalNumberText(minimum, locale) +
           QStringLiteral(" - ") + generalNumberText(maximum, locale) + QStringLiteral("°C");
}
// A set point above the emergency cut-off's threshold.
inline QString aboveThreshold(double threshold, const QLocale& locale) {
    return QStringLiteral(
               "Temperature set point exceeds the emergency temperature threshold "
               "value.\rPlease input the temperature lower than ") +
           generalNumberText(threshold, locale) + QStringLiteral(" °C");
}
inline QString portLost(const QString& devicePath) {
    return QStringLiteral(
               "The connection to %1 was lost: the device went away. Lumas keeps "
               "trying to open it again.")
        .arg(devicePath);
}
}  // namespace texts

}  // namespace lumas
