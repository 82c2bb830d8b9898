#pragma once

#include <QDateTime>
#include <QLocale>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/csv_log.h"
#include "core/link_events.h"
#include "core/link_health.h"
#include "core/monitor_worker.h"
#include "core/sequence_player.h"
#include "core/shared_state.h"
#include "core/stop_confirmation.h"
#include "core/window_ports.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas {

// The logic behind the main window: connection lifecycle, the worker's per-pass update, single
// set-point control, the set-point programme, the target curve and the CSV log. It drives the
// window only through MainWindowPorts, so the desktop program, the command-line front end and the
// tests share it. Every member function runs on the UI thread.
class MainFormLogic {
  public:
    MainFormLogic(TOmronCom& controller, TCustomComPort& comPort, MainWindowPorts& ui, Clock& clock,
                  QString settingsPath, const QLocale& locale = QLocale());
    ~MainFormLogic();
    MainFormLogic(const MainFormLogic&) = delete;
    MainFormLogic& operator=(const MainFormLogic&) = delete;

    SharedState& state() { return state_; }
    const SharedState& state() const { return state_; }
    TOmronCom& controller() { return controller_; }
    TCSVExport& csvExportSettings() { return csvExport_; }
    const CsvTemperatureLog* writer() const { return csvLog_.get(); }
    bool workerRunning() const { return worker_ != nullptr && !worker_->Finished(); }
    const StopConfirmation& stopConfirmation() const { return stopCheck_; }
    // Whether readings come in, as the status bar and the observers are told.
    const LinkHealth& linkHealth() const { return health_; }

    // Observers of the link and run events. Not owned; an observer stays registered until
    // removed and must outlive its registration.
    void addObserver(LinkObserver* observer);
    void removeObserver(LinkObserver* observer);

    // The local date and time used in the log and the status bar; replaceable for tests.
    std::function<QDateTime()> currentDateTime = [] { return QDateTime::currentDateTime(); };

    // --- start-up and close
    // Points the driver at the port with node number 1, loads the settings into the fields and
    // the emergency threshold, sets the set-point range and clears the programme flags. Returns
    // the window position to restore.
    QPoint FormShow(QSize screenSize, QSize windowSize);
    // Saves the settings (window position, temperatures, single set point, hold times) and shuts
    // the link down without stopping the controller.
    void ApplicationClose(QPoint windowPosition);
    // Whether the window may close: during a run the operator is asked, since the controller
    // keeps running at its last set point; otherwise true without a question.
    bool confirmCloseDuringRun();

    // --- connection
    // The port selection dialog's Connect: stops a running worker, closes the driver's port, sets
    // the port name, opens the driver's port and runs ReadParameters. An empty name (nothing
    // selected) stops after the close. Returns the text to show when a step failed.
    std::optional<QString> ConnectToPort(const std::string& portName);
    void ReadParameters();
    // From now on the link's health is watched: readings must come in (ReadParameters starts it;
    // Disconnect ends it).
    void watchLink();
    // Lets go of the link without stopping the controller. During a run the operator is asked
    // first; on Yes the run ends in the program (no Stop is sent, the controller keeps its last
    // set point), so that a later connection does not take it up again.
    // Asks first during a run, then lets go of the link (DisconnectWithoutAsking).
    void Disconnect1Click();
    // Lets go of the link without a question: a run in progress ends in the program, without a
    // Stop (the controller keeps running at its last set point); a Stop already asked for still
    // goes out. For front ends with nobody to ask.
    void DisconnectWithoutAsking();
    void maPortConfigurationClick();
    // Starts a new worker at poll step 1, stopping and joining a running one first.
    void StartThread();
    // Tells the worker to stop after its current pass; a worker already told is unaffected.
    void TerminateWorker();

    // --- the worker's per-pass update
    // Plays the whole update here, on the UI thread, serving events in its pauses: for a caller
    // on the UI thread with no worker.
    void UpdateMainForm();

    // --- single set point
    void bSetSingleSPClick();
    void bStartSingleClick();
    void bStopSingleClick();
    void timerSingleTimer();

    // --- programme
    std::int32_t TotalTime() const;
    std::int32_t TotalTimeLeft() const;
    std::uint8_t CalculateTotalSetPoints() const;
    void bStartMultiClick();
    void bStopMultiClick();
    // Sends the next step's set point, or asks for the programme's Stop after the last step. Its
    // pauses and the step's advance follow as the result's remainder.
    StepResult SwitchSetPoints();
    void timerMultiTimer();

    // --- target curve and set-point check
    void chkTargetTempClick();
    void DrawTargetTempCurve();
    // The check of programme temperature field `index` (0..11) when it is left.
    void ValidateTemperature(int index);

    // --- CSV log
    void CreateCSVFile();
    void TimerCSVTimer();

    void DelayMs(std::chrono::milliseconds duration) { lumas::DelayMs(clock_, duration); }

    // The pause after every command sent to the controller while monitoring runs.
    static constexpr std::chrono::milliseconds kCommandPause{320};

    // The status-bar warning of the emergency cut-off, stamped with `at`.
    QString emergencyWarningText(const QDateTime& at) const;
    // The local date and time as the status bar and the log show them.
    QString stampText(const QDateTime& at) const;
    // A read-out text: one decimal, the locale's separator, then "°C".
    QString readoutText(double celsius) const;

  private:
    // The steps of the update, in the order they run. Each reads the flags and values it acts on
    // when it runs: a handler served in an earlier step's pause may have set them.
    StepResult showLinkAndReadings();
    StepResult sendPendingSingleSetPoint();
    StepResult sendPendingRun();
    StepResult sendPendingStop();
    StepResult sendPendingProgrammeStart();
    StepResult sendPendingProgrammeStop();
    StepResult switchStepWhenDue();
    StepResult holdStepSetPoint();
    StepResult cutOffWhenTooHot();
    StepResult serveStopConfirmation();
    static std::vector<SequenceStep> buildUpdateSequence(MainFormLogic& logic);

    // The Stop handlers' work without their check of the connection: the update's own stops
    // (the programme's end, the emergency cut-off) never open a message box.
    void stopProgramme();
    void stopSingle();
    // A programme or single control runs (or is about to start).
    bool runActive() const;
    // Ends the run in the program as Stop does, but sends no Stop to the controller.
    void endRunWithoutStop();
    // Tells the operator of the run's steps that the driver can send only at its limit.
    void noticeStepsAboveSetPointLimit();
    // A set point in the tenths the controller stores, rounded half to even as the driver rounds
    // the value it sends.
    static double storedTenths(double celsius);
    void stopWorker();
    bool requireConnection();
    // As requireConnection, but also true while a lost device is being reopened: a Stop asked
    // for then goes out once the link is back.
    bool acceptStop();
    // Link health, the connection panel and the events of a change; reopens a lost device.
    void superviseLink();
    void reopenPort();
    void showLossNotice(const QString& text);
    // Sends the Stop and has it confirmed by the run state.
    void sendStop();
    // A new run, or letting go of the link: no Stop is waited for any more.
    void forgetStop();
    // Sends the Stops the operator asked for that no update has sent yet (before the port
    // closes).
    void sendPendingStops();
    template <typename Event>
    void notify(const Event& event) {
        const std::vector<LinkObserver*> observers = observers_;
        for (LinkObserver* observer : observers) {
            event(*observer);
        }
    }
    void closeWriter();
    // Writes the reading taken just now to the CSV log, if one is open; returns why it failed.
    std::optional<QString> logCurrentReading();
    int holdMinutes(int index) const;

    TOmronCom& controller_;
    TCustomComPort& port_;
    MainWindowPorts& ui_;
    Clock& clock_;
    QString settingsPath_;
    QLocale locale_;

    SharedState state_;
    TCSVExport csvExport_;
    std::unique_ptr<CsvTemperatureLog> csvLog_;
    std::unique_ptr<TMyThread> worker_;
    const std::vector<SequenceStep> updateSequence_ = buildUpdateSequence(*this);

    // Whether LastTemperature and LastSetPoint were read just now; otherwise they are the last
    // values read, not to be shown, logged, charted or checked against the threshold as current.
    LinkHealth health_;
    StopConfirmation stopCheck_;
    std::vector<LinkObserver*> observers_;
    std::string linkDevicePath_;            // the device the link was made on
    std::optional<std::string> linkAlias_;  // its stable name, for a USB adapter
    Tick lastReopenTick_ = 0;
    bool lossNoticeShown_ = false;          // one notice per loss of the link
    std::optional<QDateTime> emergencyAt_;  // the cut-off fired; its Stop not yet confirmed
};

// The texts the operator sees from this logic.
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
inline QString portLost(const QString& devicePath) {
    return QStringLiteral(
               "The connection to %1 was lost: the device went away. Lumas keeps "
               "trying to open it again.")
        .arg(devicePath);
}
}  // namespace texts

}  // namespace lumas
