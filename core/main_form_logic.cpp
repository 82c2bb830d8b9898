#include "core/main_form_logic.h"

#include <exception>
#include <utility>

#include "core/settings_store.h"
#include "serial/com_config.h"
#include "serial/port_discovery.h"

namespace lumas {

namespace {

using std::chrono::milliseconds;
constexpr milliseconds kConnectSettle{1000};
constexpr milliseconds kConnectStep{240};
constexpr milliseconds kDisconnectWait{500};
constexpr milliseconds kCloseWait{420};
constexpr milliseconds kPortConfigurationPause{50};
constexpr milliseconds kPortConfigurationSleep{400};
constexpr milliseconds kPortSelectionSleep{30};

}  // namespace

MainFormLogic::MainFormLogic(TOmronCom& controller, TCustomComPort& comPort, MainWindowPorts& ui,
                             Clock& clock, QString settingsPath, const QLocale& locale)
    : controller_(controller),
      port_(comPort),
      ui_(ui),
      clock_(clock),
      settingsPath_(std::move(settingsPath)),
      locale_(locale) {}

MainFormLogic::~MainFormLogic() {
    stopWorker();
}

QPoint MainFormLogic::FormShow(QSize screenSize, QSize windowSize) {
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
    state_.EmergencyThreshold = values.emergencyTemp;
    state_.SetPointMin = kSetPointMin;
    state_.SetPointMax = kSetPointMax;
    state_.PendingSingleSetPoint = false;
    state_.ProgramRunning = false;
    state_.PendingProgramStart = false;
    state_.PendingProgramStop = false;
    // Told once the window is up (FormShow runs before it appears).
    if (loaded.emergencyTempProblem) {
        // A threshold that could disarm the cut-off is not used; the operator learns which is.
        ui_.messages.notice(*loaded.emergencyTempProblem);
    }
    if (!loaded.save.saved) {
        ui_.messages.notice(
            QStringLiteral("The settings file could not be written: %1. Changes to the settings "
                           "will not be kept.")
                .arg(loaded.save.error));
    }
    return {values.posLeft, values.posTop};
}

void MainFormLogic::ApplicationClose(QPoint windowPosition) {
    StoredSettings values;
    values.posTop = windowPosition.y();
    values.posLeft = windowPosition.x();
    for (int k = 0; k < kProgrammeSteps; ++k) {
        values.temperatures[k] = ui_.fiSP[k]->value();
        values.holdTimes[k] = holdMinutes(k);
    }
    values.singleSetPoint = ui_.fiSingleSP.value();
    const SaveResult saved = saveOnClose(settingsPath_, values);
    if (!saved.saved) {
        ui_.messages.warning(
            QStringLiteral("The settings could not be saved: %1.").arg(saved.error));
    }

    if (worker_) {
        worker_->Terminate();
        DelayMs(kCloseWait);
        sendPendingStops();
        controller_.ClosePort();
        stopWorker();
    }
    health_.stop();
}

void MainFormLogic::addObserver(LinkObserver* observer) {
    observers_.push_back(observer);
}

void MainFormLogic::removeObserver(LinkObserver* observer) {
    std::erase(observers_, observer);
}

void MainFormLogic::sendPendingStops() {
    // A Stop the operator pressed just before letting go of the link still goes out.
    if ((state_.PendingStop || state_.PendingProgramStop) && controller_.Connected()) {
        controller_.cmdStop();
        state_.PendingStop = false;
        state_.PendingProgramStop = false;
        DelayMs(kCommandPause);
    }
    forgetStop();
}

std::optional<QString> MainFormLogic::ConnectToPort(const std::string& portName) {
    try {
        // One worker at a time: the running one stops before its port is closed.
        stopWorker();
        controller_.ClosePort();
        clock_.sleep(kPortSelectionSleep);
        if (portName.empty()) {
            return texts::kErrorOccured + texts::kNoPortSelected;
        }
        health_.stop();
        port_.SetDeviceName(portName);
        controller_.OpenPort();
        linkDevicePath_ = port_.DevicePath();
        linkAlias_ = stableDeviceAlias(linkDevicePath_);
        if (!controller_.Connected()) {
            if (const auto advice = portPermissionAdvice(port_.DevicePath())) {
                ui_.messages.warning(QString::fromStdString(*advice));
            }
        }
        ReadParameters();
    } catch (const std::exception& error) {
        return texts::kErrorOccured + QString::fromStdString(error.what());
    }
    return std::nullopt;
}

void MainFormLogic::ReadParameters() {
    if (!controller_.Connected()) {
        return;
    }
    DelayMs(kConnectSettle);
    controller_.GetSetPoint();
    DelayMs(kConnectStep);
    controller_.WriteEnable();
    DelayMs(kConnectStep);
    if (controller_.AllowToSend()) {
        ui_.statusConnection.setText(texts::kConnected);
    }
    watchLink();
    StartThread();
}

void MainFormLogic::watchLink() {
    lossNoticeShown_ = false;
    health_.start(clock_.now(), controller_.TemperatureReadings());
}

void MainFormLogic::StartThread() {
    stopWorker();
    state_.PollStep.store(1);
    worker_ = std::make_unique<TMyThread>(controller_, state_, clock_, updateSequence_);
}

void MainFormLogic::TerminateWorker() {
    if (worker_) {
        worker_->Terminate();
    }
}

void MainFormLogic::stopWorker() {
    // Terminates and joins the worker; its last update plays to its end meanwhile. No step of the
    // update calls this (a step never waits for the worker that is waiting for the step).
    worker_.reset();
}

void MainFormLogic::Disconnect1Click() {
    // A link whose device went away is still the operator's to let go of.
    if (!controller_.Connected() && !health_.wanted()) {
        return;
    }
    if (runActive() && !ui_.messages.confirm(texts::kRunActiveDisconnect)) {
        return;
    }
    DisconnectWithoutAsking();
}

void MainFormLogic::DisconnectWithoutAsking() {
    if (!controller_.Connected() && !health_.wanted()) {
        return;
    }
    const bool endsRun = runActive();
    if (endsRun) {
        // Before the worker's last update: it must neither switch a step nor correct the set
        // point of a run that is over.
        endRunWithoutStop();
    }
    TerminateWorker();
    DelayMs(kDisconnectWait);
    // The worker's last update has normally run during the wait; joining makes sure it cannot
    // redraw the read-outs after they have been reset below.
    stopWorker();
    sendPendingStops();
    controller_.ClosePort();
    health_.stop();
    ui_.statusConnection.setText(texts::kOffline);
    ui_.statusConnection.setAlert(false);
    ui_.timerMulti.setEnabled(false);
    ui_.timerSingle.setEnabled(false);
    ui_.lTemp.setText(texts::kNoValue);
    ui_.lSetPoint.setText(texts::kNoValue);
    ui_.Series1.clear();
    ui_.Series2.clear();
    controller_.SetAllowToSend(false);
    ui_.ClearFormFields();
    ui_.EnableItems();
    if (endsRun) {
        ui_.statusWarning.setText(texts::kRunEndedByDisconnect);
    }
}

bool MainFormLogic::confirmCloseDuringRun() {
    return !runActive() || ui_.messages.confirm(texts::kRunActiveExit);
}

bool MainFormLogic::runActive() const {
    return state_.ProgramRunning || state_.SingleRunning || state_.ControlActive;
}

void MainFormLogic::endRunWithoutStop() {
    SharedState& s = state_;
    s.ProgramRunning = false;
    s.SingleRunning = false;
    s.ControlActive = false;
    s.PendingProgramStart = false;
    s.PendingRun = false;
    ui_.timerMulti.setEnabled(false);
    ui_.timerSingle.setEnabled(false);
    ui_.lTotal.setText(texts::kNoValue);
    ui_.lFinish.setText(texts::kNoValue);
    ui_.TimerCSV.setEnabled(false);
    closeWriter();
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
        const bool endsRun = runActive();
        if (endsRun && !ui_.messages.confirm(texts::kRunActiveDisconnect)) {
            return;
        }
        if (!ui_.messages.confirm(texts::kConfirmPortClose)) {
            return;
        }
        if (endsRun) {
            // As with Disconnect: a later connection must not take the run up again.
            endRunWithoutStop();
            ui_.statusWarning.setText(texts::kRunEndedByPortConfiguration);
        }
        TerminateWorker();
        clock_.sleep(kPortConfigurationSleep);
        // Closed through the driver, so that it knows it is no longer connected; what the worker's
        // last update finds then is no reading.
        health_.stop();
        controller_.ClosePort();
        ui_.statusConnection.setText(texts::kOffline);
        ui_.statusConnection.setAlert(false);
        ui_.lTemp.setText(texts::kNoValue);
        ui_.lSetPoint.setText(texts::kNoValue);
        ui_.repaint();
        dialog.Execute();
    } catch (const std::exception& error) {
        ui_.messages.message(texts::kErrorOccured + QString::fromStdString(error.what()));
    }
}

bool MainFormLogic::requireConnection() {
    if (controller_.Connected()) {
        return true;
    }
    ui_.messages.warning(texts::kNoConnection);
    return false;
}

bool MainFormLogic::acceptStop() {
    return health_.state() == LinkHealth::State::PortFailed || requireConnection();
}

int MainFormLogic::holdMinutes(int index) const {
    return static_cast<int>(ui_.fiSPt[index]->value());
}

}  // namespace lumas
