// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/main_form_logic.h"

#include <QTimer>

#include <cmath>
#include <exception>
#include <utility>

#include "core/csv_log.h"
#include "core/number_text.h"
#include "core/run_texts.h"
#include "core/settings_store.h"
#include "serial/com_config.h"

namespace lumas {

namespace {

using std::chrono::milliseconds;
constexpr milliseconds kDisconnectWait{500};
constexpr milliseconds kCloseWait{420};
constexpr milliseconds kPortConfigurationPause{50};

}  // namespace

MainFormLogic::MainFormLogic(TOmronCom& controller, TCustomComPort& comPort, MainWindowPorts& ui,
                             Clock& clock, QString settingsPath, const QLocale& locale,
                             Clock* runClock)
    : controller_(controller),
      port_(comPort),
      ui_(ui),
      settingsPath_(std::move(settingsPath)),
      locale_(locale),
      chamber_(controller, comPort, clock, runClock != nullptr ? *runClock : clock, locale),
      csvLog_(
          csvExport_, chamber_, locale, [this] { return currentDateTime(); },
          [this](const QString& text) { messages_.notice(stamped(text)); }),
      messages_(ui.messages) {
    chamber_.currentDateTime = [this] { return currentDateTime(); };
    askTimer_.setSingleShot(true);
    QObject::connect(&askTimer_, &QTimer::timeout, [this] { askWhetherToRunOn(); });
    interruptedTimer_.setSingleShot(true);
    QObject::connect(&interruptedTimer_, &QTimer::timeout, [this] { askAboutInterruptedRun(); });
    QObject::connect(&archiveProblemsTimer_, &QTimer::timeout, [this] { tellArchiveProblems(); });
    chamber_.addLinkObserver(this);
    chamber_.run().addObserver(&csvLog_);
    chamber_.run().addObserver(this);
}

MainFormLogic::~MainFormLogic() {
    chamber_.stopWorker();
    if (recorder_) {
        chamber_.run().removeObserver(recorder_.get());
        chamber_.removeLinkObserver(recorder_.get());
        messages_.setRecorder(nullptr);
    }
    chamber_.run().removeObserver(this);
    chamber_.run().removeObserver(&csvLog_);
    chamber_.removeLinkObserver(this);
}

QRect MainFormLogic::FormShow(QSize screenSize, QSize windowSize) {
    controller_.SetCOMPort(&port_);
    controller_.SetNodeNumber(1);

    const StartupSettings loaded =
        loadStartupSettings(settingsPath_, screenSize, windowSize, locale_);
    const StoredSettings& values = loaded.values;
    for (int k = 0; k < kProgrammeSteps; ++k) {
        ui_.fiSP[k]->setValue(values.temperatures[k]);
        ui_.fiSPt[k]->setValue(values.holdTimes[k]);
    }
    ui_.fiSingleSP.setValue(values.singleSetPoint);
    SharedState& s = state();
    s.EmergencyThreshold = values.emergencyTemp;
    s.SetPointMin = kSetPointMin;
    s.SetPointMax = kSetPointMax;
    s.PendingSingleSetPoint = false;
    s.ProgramRunning = false;
    s.PendingProgramStart = false;
    chamber_.setBlindStopLimit(loaded.blindStop.limit);
    // Told once the window is up (FormShow runs before it appears).
    if (loaded.emergencyTempProblem) {
        // A threshold that could disarm the cut-off is not used; the operator learns which is.
        messages_.notice(stamped(*loaded.emergencyTempProblem));
    }
    if (loaded.blindStop.problem) {
        messages_.notice(stamped(*loaded.blindStop.problem));
    }
    if (loaded.blindStop.limit.count() == 0) {
        messages_.notice(stamped(texts::kBlindStopOff));
    }
    if (!loaded.save.saved) {
        messages_.notice(
            stamped(QStringLiteral("The settings file could not be written: %1. Changes to the "
                                   "settings will not be kept.")
                        .arg(loaded.save.error)));
    }
    return {QPoint(values.posLeft, values.posTop),
            values.windowSize.isValid() ? values.windowSize : windowSize};
}

void MainFormLogic::ApplicationClose(QPoint windowPosition, QSize windowSize, RunEndReason reason) {
    StoredSettings values;
    values.posTop = windowPosition.y();
    values.posLeft = windowPosition.x();
    values.windowSize = windowSize;
    for (int k = 0; k < kProgrammeSteps; ++k) {
        values.temperatures[k] = ui_.fiSP[k]->value();
        values.holdTimes[k] = holdMinutes(k);
    }
    values.singleSetPoint = ui_.fiSingleSP.value();
    const SaveResult saved = saveOnClose(settingsPath_, values);
    if (!saved.saved) {
        messages_.warning(QStringLiteral("The settings could not be saved: %1.").arg(saved.error));
    }
    chamber_.letGo(reason, kCloseWait);
}

std::optional<QString> MainFormLogic::ConnectToPort(const std::string& portName) {
    const ChamberControl::Connection made = chamber_.connect(portName);
    if (made.advice) {
        messages_.warning(*made.advice);
    }
    if (made.answered) {
        ui_.statusConnection.setText(texts::kConnected);
    }
    return made.failure;
}

void MainFormLogic::ReadParameters() {
    if (chamber_.readParameters()) {
        ui_.statusConnection.setText(texts::kConnected);
    }
}

void MainFormLogic::Disconnect1Click() {
    // A link whose device went away is still the operator's to let go of.
    if (!chamber_.linkWanted()) {
        return;
    }
    if (run().active() && !messages_.confirm(texts::kRunActiveDisconnect)) {
        return;
    }
    DisconnectWithoutAsking();
}

void MainFormLogic::DisconnectWithoutAsking() {
    if (!chamber_.linkWanted()) {
        return;
    }
    const bool endsRun = run().active();
    chamber_.letGo(RunEndReason::Disconnected, kDisconnectWait);
    ui_.statusConnection.setText(texts::kOffline);
    ui_.statusConnection.setAlert(false);
    ui_.timerMulti.setEnabled(false);
    ui_.timerSingle.setEnabled(false);
    ui_.lTemp.setText(texts::kNoValue);
    ui_.lSetPoint.setText(texts::kNoValue);
    ui_.Series1.clear();
    ui_.Series2.clear();
    ui_.ClearFormFields();
    ui_.EnableItems();
    setStatusLine(QString());
    if (endsRun) {
        ui_.statusWarning.setText(stamped(texts::kRunEndedByDisconnect));
    }
}

bool MainFormLogic::confirmCloseDuringRun() {
    return !run().active() || messages_.confirm(texts::kRunActiveExit);
}

void MainFormLogic::maPortConfigurationClick() {
    DelayMs(kPortConfigurationPause);
    TComConfigDialog dialog;
    dialog.Comm = &port_;
    dialog.runForm = ui_.runComConfigForm;
    try {
        if (!port_.Active()) {
            dialog.Execute();
            return;
        }
        const bool endsRun = run().active();
        if (endsRun && !messages_.confirm(texts::kRunActiveDisconnect)) {
            return;
        }
        if (!messages_.confirm(texts::kConfirmPortClose)) {
            return;
        }
        chamber_.closeForConfiguration();
        if (endsRun) {
            // As with Disconnect: a later connection does not take the run up again.
            ui_.statusWarning.setText(stamped(texts::kRunEndedByPortConfiguration));
        }
        ui_.statusConnection.setText(texts::kOffline);
        ui_.statusConnection.setAlert(false);
        ui_.lTemp.setText(texts::kNoValue);
        ui_.lSetPoint.setText(texts::kNoValue);
        ui_.repaint();
        dialog.Execute();
    } catch (const std::exception& error) {
        messages_.message(texts::kErrorOccured + QString::fromStdString(error.what()));
    }
}

bool MainFormLogic::accepted(const Outcome& outcome) {
    if (!outcome) {
        return true;
    }
    messages_.warning(outcome->text);
    return false;
}

bool MainFormLogic::commitAll(std::initializer_list<NumericField*> fields) {
    bool all = true;
    for (NumericField* field : fields) {
        all = field->commit() && all;
    }
    return all;
}

int MainFormLogic::holdMinutes(int index) const {
    return static_cast<int>(ui_.fiSPt[index]->value());
}

// --- what the chamber's control reports

QString MainFormLogic::readoutText(double celsius) const {
    return oneDecimalText(celsius, locale_) + QStringLiteral("°C");
}

QString MainFormLogic::stampText(const QDateTime& at) const {
    return texts::stampText(at, locale_);
}

QString MainFormLogic::stamped(const QString& text) const {
    return text + QStringLiteral("  [") + stampText(currentDateTime()) + u']';
}

QString MainFormLogic::emergencyWarningText(const QDateTime& at) const {
    return texts::emergencyWarning(at, locale_);
}

void MainFormLogic::polled(const LinkView& view) {
    noticeInterruptedRun(view);
    if (view.live) {
        ui_.lSetPoint.setText(readoutText(view.setPoint));
        ui_.lTemp.setText(readoutText(view.temperature));
        const QString runState = view.stopped ? texts::kStopped : texts::kRunning;
        ui_.lCS.setText(runState);
        ui_.lCS2.setText(runState);
    } else {
        // A value that was not measured just now is not shown as if it were.
        ui_.lSetPoint.setText(texts::kNoValue);
        ui_.lTemp.setText(texts::kNoValue);
        ui_.lCS.setText(texts::kNoValue);
        ui_.lCS2.setText(texts::kNoValue);
    }
    showRunProgress();
}

void MainFormLogic::linkUp() {
    ui_.statusConnection.setText(texts::kConnected);
    ui_.statusConnection.setAlert(false);
    if (lossNotice_) {
        // The notice of the loss is over: it closes, and the status bar says when it ended.
        messages_.withdrawNotice(*lossNotice_);
        lossNotice_.reset();
        if (!alarmOpen_) {
            ui_.statusWarning.setText(stamped(texts::kReadingsBack));
        }
    }
    lossNoticeShown_ = false;
}

void MainFormLogic::linkLost(Loss why) {
    const bool guarding = state().ControlActive;
    QString blind;
    if (guarding) {
        blind = texts::kCutOffBlind + u' ' + texts::blindStopPlan(chamber_.blindStopLimit());
    }
    if (why == Loss::NoReply) {
        ui_.statusConnection.setText(texts::kNoReply);
        ui_.statusConnection.setAlert(true);
        if (guarding) {
            showLossNotice(blind);
        }
    } else {
        ui_.statusConnection.setText(texts::kPortLost);
        ui_.statusConnection.setAlert(true);
        showLossNotice(texts::portLost(QString::fromStdString(chamber_.devicePath())) +
                       (guarding ? u' ' + blind : QString()));
    }
}

void MainFormLogic::showLossNotice(const QString& text) {
    if (!lossNoticeShown_) {
        lossNoticeShown_ = true;
        lossNotice_ = messages_.notice(stamped(text));
    }
}

void MainFormLogic::reading(const RunReading& reading) {
    if (!reading.temperature) {
        ui_.Series1.appendGap();  // the chart does not draw across the time without readings
    }
}

void MainFormLogic::stopAsked(RunEndReason why) {
    if (why == RunEndReason::Finished) {
        ui_.lFinish.setText(QStringLiteral("0 minutes"));  // the countdown reaches its end
    }
    ui_.lTotal.setText(texts::kNoValue);
    ui_.lFinish.setText(texts::kNoValue);
    showRunProgress();
}

void MainFormLogic::stopNotConfirmed() {
    if (cutOff_) {
        ui_.statusWarning.setText(
            QStringLiteral("Warning: The emergency temperature  was reached and the "
                           "controller did not confirm the Stop!  [") +
            stampText(cutOff_->at) + u']');
    }
    messages_.notice(stamped(texts::kStopNotConfirmed));
}

void MainFormLogic::emergencyCutOff(double celsius, double threshold, const QDateTime& at) {
    cutOff_ = CutOff{celsius, threshold, at};
    // The reading that fired the cut-off is on the chart (and in the log), not cut off before it.
    if (ui_.timerMulti.enabled() || ui_.timerSingle.enabled()) {
        ui_.Series1.append(run().runMinutes(chamber_.runClock().now()), celsius);
    }
    ui_.statusWarning.setText(
        QStringLiteral("Warning: The emergency temperature  was reached; waiting for the "
                       "controller to confirm the Stop.  [") +
        stampText(at) + u']');
}

void MainFormLogic::blindStop(std::chrono::seconds withoutReadings) {
    const QString text = texts::blindStopped(withoutReadings);
    ui_.statusWarning.setText(stamped(text));
    messages_.notice(stamped(text));
}

void MainFormLogic::soakWaiting(int /*step*/, double /*target*/, double /*band*/,
                                std::optional<double> /*measured*/) {
    showRunProgress();
}

void MainFormLogic::soakCounting(int /*step*/) {
    showRunProgress();
}

void MainFormLogic::controllerFoundStopped() {
    setStatusLine(stamped(texts::kControllerFoundStopped));
    askAboutStoppedController();
}

void MainFormLogic::askAboutStoppedController() {
    // Asked from the event loop once the update's step has returned: a step never opens a box.
    askTimer_.start(0);
}

void MainFormLogic::askWhetherToRunOn() {
    if (run().phase() != RunPhase::Held) {
        return;
    }
    const bool runOn = messages_.confirm(stamped(texts::kRunOnQuestion));
    if (run().phase() != RunPhase::Held) {
        return;  // decided meanwhile (a Stop, Disconnect, the cut-off)
    }
    if (runOn) {
        runOnAfterControllerStopped();
    } else {
        endRunAfterControllerStopped();
    }
}

void MainFormLogic::runOnAfterControllerStopped() {
    if (accepted(chamber_.resumeHeldRun())) {
        setStatusLine(QString());
    }
}

void MainFormLogic::endRunAfterControllerStopped() {
    accepted(chamber_.endHeldRun());
}

void MainFormLogic::runEnded(const RunEnd& end) {
    if (run().kind() == RunKind::Single && ui_.timerSingle.enabled() &&
        ui_.chkTargetTemp.checked()) {
        drawSetPointLine();  // up to the run's end, where the line stays
    }
    ui_.timerMulti.setEnabled(false);
    ui_.timerSingle.setEnabled(false);
    ui_.TimerCSV.setEnabled(false);
    ui_.lTotal.setText(texts::kNoValue);
    ui_.lFinish.setText(texts::kNoValue);
    setStatusLine(texts::runEndedLine(end, chamber_.blindStopLimit(), stampText(end.at)));
    // With an alarm, the inputs come back when it is acknowledged (which may be at once).
    bool alarmRaised = false;
    if (cutOff_ && (end.reason == RunEndReason::EmergencyCutOff ||
                    end.stopAskedFor == RunEndReason::EmergencyCutOff)) {
        const CutOff fired = *cutOff_;
        const bool confirmed = end.reason == RunEndReason::EmergencyCutOff;
        const QString firstLine =
            confirmed ? emergencyWarningText(fired.at)
                      : QStringLiteral(
                            "Warning: The emergency temperature  was reached and the "
                            "controller did not confirm the Stop!  [") +
                            stampText(fired.at) + u']';
        ui_.statusWarning.setText(firstLine);
        // The alarm must be acknowledged: until then the status bar keeps it and no run starts.
        alarmOpen_ = true;
        alarmRaised = true;
        messages_.alarm(
            firstLine + u'\r' +
                texts::cutOffDetails(fired.threshold, fired.celsius, stampText(fired.at), locale_),
            [this] {
                alarmOpen_ = false;
                if (!run().active()) {
                    ui_.EnableItems();
                }
            });
    }
    cutOff_.reset();
    if (!alarmRaised) {
        ui_.EnableItems();
    }
}

void MainFormLogic::setStatusLine(const QString& text) {
    ui_.statusRun.setText(text);
}

void MainFormLogic::showRunProgress() {
    const RunModel& model = run();
    if (model.phase() == RunPhase::Stopping) {
        ui_.lStep.setText(texts::kNoValue);
        setStatusLine(texts::kWaitingForStop);
        return;
    }
    if (!model.controlling()) {
        ui_.lStep.setText(texts::kNoValue);
        return;
    }
    if (model.kind() == RunKind::Programme) {
        ui_.lFinish.setText(QString::number(TotalTimeLeft()) + QStringLiteral(" minutes"));
        const std::optional<double> measured =
            linkHealth().live() ? std::optional<double>(state().LastTemperature) : std::nullopt;
        const QString step =
            texts::programmeProgress(*model.progress(), state().StepCount, measured, locale_);
        ui_.lStep.setText(step);
        if (model.phase() != RunPhase::Held) {
            setStatusLine(texts::programmeStatus(step, model.minutesLeft(), locale_));
        }
    } else if (model.phase() != RunPhase::Held) {
        // The set point in force: the last of the run's, Start's first among them.
        const std::vector<TargetCurvePoint>& setPoints = model.singleSetPoints();
        setStatusLine(texts::singleStatus(
            setPoints.empty() ? std::nullopt : std::optional(setPoints.back().temperature),
            locale_));
    }
}

}  // namespace lumas
