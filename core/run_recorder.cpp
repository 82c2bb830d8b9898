// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/run_recorder.h"

#include <QLocale>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <utility>

#include "core/number_text.h"
#include "core/run_texts.h"

namespace lumas {

QString operatorName() {
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return QString::fromLocal8Bit(found->pw_name);
    }
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QStringLiteral("unknown") : fromEnvironment;
}

QString hostName() {
    return QSysInfo::machineHostName();
}

RunRecorder::RunRecorder(ArchiveWriter& writer, QString user, QString host, QString version)
    : writer_(writer),
      user_(std::move(user)),
      host_(std::move(host)),
      version_(std::move(version)) {}

void RunRecorder::event(const QString& kind, const QString& text, const QDateTime& at) {
    if (key_) {
        writer_.addEvent(*key_, {startedAt_.msecsTo(at), kind, text});
    }
}

void RunRecorder::lateEvent(const QString& kind, const QString& text) {
    // The cut-off's alarm is acknowledged after its run has ended: it joins that run's record,
    // which is sealed again with it.
    const std::optional<std::uint64_t> key = key_ ? key_ : lastKey_;
    if (key) {
        writer_.addEvent(*key, {startedAt_.msecsTo(currentDateTime()), kind, text});
    }
}

void RunRecorder::runStarted(const RunStart& start) {
    ArchivedRunStart record{start, user_, host_, version_, std::exchange(continues_, std::nullopt)};
    lastKey_.reset();
    startedAt_ = start.startedAt;
    blindLimit_ = start.blindStopLimit;
    key_ = writer_.beginRun(std::move(record));
    const QLocale c = QLocale::c();
    event(QStringLiteral("run started"),
          start.kind == RunKind::Programme
              ? QStringLiteral("Programme of %1 step(s), %2 min")
                    .arg(start.programme->stepCount())
                    .arg(texts::minutesText(start.programme->totalMinutes(), c))
              : (start.singleSetPoint ? QStringLiteral("Single set point %1 °C")
                                            .arg(oneDecimalText(*start.singleSetPoint, c))
                                      : QStringLiteral("Single set point")),
          start.startedAt);
}

void RunRecorder::stepStarted(int step, const ProgrammeStep& programmeStep) {
    const QLocale c = QLocale::c();
    QString text;
    if (!programmeStep.ramps() && !programmeStep.band) {
        text = QStringLiteral("Step %1: %2 °C for %3 min")
                   .arg(step)
                   .arg(oneDecimalText(programmeStep.temperature, c),
                        texts::minutesText(programmeStep.holdMinutes, c));
    } else {
        text =
            QStringLiteral("Step %1: %2").arg(step).arg(texts::stepDescription(programmeStep, c));
    }
    if (programmeStep.cycles > 0) {
        text += QStringLiteral(" (row %1, cycle %2 of %3)")
                    .arg(programmeStep.row)
                    .arg(programmeStep.cycle)
                    .arg(programmeStep.cycles);
    }
    event(QStringLiteral("step"), text);
}

void RunRecorder::soakWaiting(int step, double target, double band,
                              std::optional<double> measured) {
    const QLocale c = QLocale::c();
    event(QStringLiteral("soak waiting"),
          QStringLiteral("Step %1: waiting for %2 ± %3 °C, %4; the hold stands still.")
              .arg(step)
              .arg(oneDecimalText(target, c), oneDecimalText(band, c),
                   measured ? QStringLiteral("now %1 °C").arg(oneDecimalText(*measured, c))
                            : QStringLiteral("no reading")));
}

void RunRecorder::soakCounting(int step) {
    event(QStringLiteral("soak counting"),
          QStringLiteral("Step %1: within the band, the hold counts.").arg(step));
}

void RunRecorder::runConfirmed() {
    event(QStringLiteral("running"), QStringLiteral("The controller reports Running."));
}

void RunRecorder::reading(const RunReading& reading) {
    if (key_) {
        writer_.addReading(*key_, {startedAt_.msecsTo(reading.at), reading.temperature,
                                   reading.setPoint, reading.step, reading.link});
    }
}

void RunRecorder::stopAsked(RunEndReason why) {
    event(QStringLiteral("stop asked"), runEndReasonText(why, blindLimit_));
}

void RunRecorder::stopConfirmed() {
    event(QStringLiteral("stop confirmed"), QStringLiteral("The controller reports Stopped."));
}

void RunRecorder::stopNotConfirmed() {
    event(QStringLiteral("stop not confirmed"),
          QStringLiteral("The controller did not confirm the Stop."));
}

void RunRecorder::emergencyCutOff(double celsius, double threshold, const QDateTime& at) {
    event(
        QStringLiteral("cut-off"),
        texts::cutOffDetails(threshold, celsius, texts::stampText(at, QLocale::c()), QLocale::c()),
        at);
}

void RunRecorder::blindStop(std::chrono::seconds withoutReadings) {
    event(QStringLiteral("blind stop"), texts::blindStopped(withoutReadings));
}

void RunRecorder::controllerFoundStopped() {
    event(QStringLiteral("controller found stopped"), texts::kControllerFoundStopped);
}

void RunRecorder::runEnded(const RunEnd& end) {
    if (!key_) {
        return;
    }
    QString reason = runEndReasonText(end.reason, blindLimit_);
    if (end.reason == RunEndReason::StopNotConfirmed && end.stopAskedFor) {
        reason += QStringLiteral(" (the Stop was asked: ") +
                  runEndReasonText(*end.stopAskedFor, blindLimit_) + u')';
    }
    event(QStringLiteral("run ended"), reason, end.at);
    writer_.endRun(*key_, reason, end.at);
    endedAt_ = currentDateTime();
    lastKey_ = std::exchange(key_, std::nullopt);
}

void RunRecorder::linkUp() {
    event(QStringLiteral("link up"), QStringLiteral("Readings come in."));
}

void RunRecorder::linkLost(Loss why) {
    event(QStringLiteral("link lost"), why == Loss::NoReply
                                           ? QStringLiteral("No reply from the controller.")
                                           : QStringLiteral("The device went away."));
}

void RunRecorder::portReopened(const QString& devicePath) {
    event(QStringLiteral("port reopened"), QStringLiteral("Opened %1 again.").arg(devicePath));
}

void RunRecorder::noticeShown(const QString& kind, const QString& text) {
    // Told while the run goes on, or right after its end (why it ended): both are its own. What
    // is told later concerns no run.
    if (key_ || (lastKey_ && endedAt_.secsTo(currentDateTime()) <= kToldWithTheEnd.count())) {
        lateEvent(kind, text);
    }
}

void RunRecorder::alarmAcknowledged(const QString& text) {
    lateEvent(QStringLiteral("acknowledged"), text);
}

}  // namespace lumas
