// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/chamber_control.h"
#include "core/clock.h"
#include "core/link_events.h"
#include "core/operator_texts.h"
#include "core/programme.h"
#include "core/recorded_messages.h"
#include "core/run_archive.h"
#include "core/run_csv_log.h"
#include "core/run_events.h"
#include "core/run_recorder.h"
#include "core/shared_state.h"
#include "core/window_ports.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas {

// The logic behind the main window: its handlers read and check the fields, hand the operator's
// requests to the chamber's control (ChamberControl) and show what the control reports of the
// link and the run: read-outs, status bar, chart, info labels, enable rules, notices and alarms.
// It drives the window only through MainWindowPorts, so the desktop program and the tests share
// it. Every member function runs on the UI thread.
class MainFormLogic final : private LinkObserver, private RunObserver {
  public:
    // `runClock` measures the programme's and the chart's time (it may run faster for a demo);
    // `clock` keeps real time for the line. Without `runClock` both are `clock`.
    MainFormLogic(TOmronCom& controller, TCustomComPort& comPort, MainWindowPorts& ui, Clock& clock,
                  QString settingsPath, const QLocale& locale = QLocale(),
                  Clock* runClock = nullptr);
    ~MainFormLogic() override;
    MainFormLogic(const MainFormLogic&) = delete;
    MainFormLogic& operator=(const MainFormLogic&) = delete;

    ChamberControl& chamber() { return chamber_; }
    const ChamberControl& chamber() const { return chamber_; }
    SharedState& state() { return chamber_.state(); }
    const SharedState& state() const { return chamber_.state(); }
    const RunModel& run() const { return chamber_.run(); }
    TOmronCom& controller() { return controller_; }
    TCSVExport& csvExportSettings() { return csvExport_; }
    const CsvTemperatureLog* writer() const { return csvLog_.writer(); }
    bool workerRunning() const { return chamber_.workerRunning(); }
    const StopConfirmation& stopConfirmation() const { return chamber_.stopConfirmation(); }
    // Whether readings come in, as the status bar and the observers are told.
    const LinkHealth& linkHealth() const { return chamber_.linkHealth(); }

    // Observers of the link and run events. Not owned; an observer stays registered until
    // removed and must outlive its registration.
    void addObserver(LinkObserver* observer) { chamber_.addLinkObserver(observer); }
    void removeObserver(LinkObserver* observer) { chamber_.removeLinkObserver(observer); }
    void addRunObserver(RunObserver* observer) { chamber_.run().addObserver(observer); }
    void removeRunObserver(RunObserver* observer) { chamber_.run().removeObserver(observer); }

    // The local date and time used in the log, the status bar and the run's events; replaceable
    // for tests.
    std::function<QDateTime()> currentDateTime = [] { return QDateTime::currentDateTime(); };

    // --- start-up and close
    // Points the driver at the port with node number 1, loads the settings into the fields, the
    // emergency threshold and the blind-run limit, sets the set-point range and clears the
    // programme flags. Returns the window's place to restore: its frame's top-left corner and
    // its inner size (`windowSize` when none is stored).
    QRect FormShow(QSize screenSize, QSize windowSize);
    // Saves the settings (window position and inner size, temperatures, single set point, hold
    // times) and shuts the link down without stopping the controller; a run in progress ends for
    // `reason`. An invalid `windowSize` keeps the stored size.
    void ApplicationClose(QPoint windowPosition, QSize windowSize = {},
                          RunEndReason reason = RunEndReason::Closed);
    // Whether the window may close: during a run the operator is asked, since the controller
    // keeps running at its last set point; otherwise true without a question.
    bool confirmCloseDuringRun();

    // --- connection
    // The port selection dialog's Connect. Returns the text to show when a step failed.
    std::optional<QString> ConnectToPort(const std::string& portName);
    void ReadParameters();
    // From now on the link's health is watched (ReadParameters starts it).
    void watchLink() { chamber_.watchLink(); }
    // Asks first during a run, then lets go of the link (DisconnectWithoutAsking).
    void Disconnect1Click();
    // Lets go of the link without a question: a run in progress ends in the program, without a
    // Stop (the controller keeps running at its last set point); a Stop already asked for still
    // goes out.
    void DisconnectWithoutAsking();
    void maPortConfigurationClick();
    void StartThread() { chamber_.StartThread(); }
    void TerminateWorker() { chamber_.TerminateWorker(); }

    // --- the worker's per-pass update, played here on the UI thread (tests)
    void UpdateMainForm() { chamber_.UpdateMainForm(); }

    // --- single set point
    void bSetSingleSPClick();
    void bStartSingleClick();
    void bStopSingleClick();
    void timerSingleTimer();

    // --- programme
    // The minutes of the programme in the fields: the hold times of the steps that run.
    std::int32_t TotalTime() const;
    std::int32_t TotalTimeLeft() const;
    std::uint8_t CalculateTotalSetPoints() const;
    // The hold-time total as the Advanced tab shows it: "135 Minutes", or "3 Minutes (step 5 will
    // not run)".
    QString totalTimeText() const;
    void bStartMultiClick();
    void bStopMultiClick();
    void timerMultiTimer();

    // --- programme files (programme_library.cpp)
    // Makes `document` (read from `path`; empty for one not saved) the programme of the Advanced
    // tab: one the twelve fields can hold goes into them; any other is shown there read-only by
    // its name and steps, and Start runs it. Nothing when it was taken, else the sentence telling
    // why it makes no programme (the tab is left as it was).
    std::optional<QString> showProgramme(const ProgrammeDocument& document, const QString& path);
    // The programme Save Programme As writes: the loaded one, or the twelve fields' (with their
    // decimals).
    ProgrammeDocument programmeToSave() const;
    // The programme loaded from a file that the twelve fields cannot show; empty while the fields
    // are the programme.
    const std::optional<Programme>& loadedProgramme() const { return loadedProgramme_; }
    // The file of the loaded programme (empty while the fields are the programme, or for one not
    // saved).
    const QString& loadedProgrammePath() const { return loadedProgrammePath_; }
    // The loaded programme was saved to `path`: it is that file's programme from now on.
    void loadedProgrammeSavedAs(const QString& path);
    // "Use the fields": the loaded programme is forgotten and the twelve fields are the programme
    // again, as they were before it was loaded.
    void useFieldProgramme();
    // The limits programmes of this window are checked with (the set-point range, the locale).
    ProgrammeLimits programmeLimits() const;
    // Where the Advanced tab shows a loaded programme (not owned; it must outlive this, or be
    // unregistered with nullptr).
    void setProgrammeView(ProgrammeView* view) { programmeView_ = view; }
    // The read-only view of `programme` (read from `path`): its name (the file's name when it has
    // none), its rows as written ("3. 85 °C in 20 min, hold 15 min", "4. Repeat rows 2–3, 10
    // times"), its steps unrolled and planned total, and its end.
    static ProgrammeSummary programmeSummary(const Programme& programme, const QString& path,
                                             const QLocale& locale);

    // --- a run found stopped by the controller: the operator's choice
    void runOnAfterControllerStopped();
    void endRunAfterControllerStopped();

    // --- the run archive (archive_control.cpp)
    // From now on every run is recorded through `writer` (not owned; it must outlive this). The
    // archive's problems are told once each, as notices. `recovered` are the runs the archive
    // found without an end and closed as "ended unexpectedly"; when the controller is then found
    // Running, the operator is told and offered to stop it or to go on watching it.
    void recordRunsIn(ArchiveWriter& writer, std::vector<ArchivedRun> recovered);
    // The archive's file, while runs are recorded.
    std::optional<QString> archivePath() const;
    // The record of the run going on, or of the last one, as written so far (for the report).
    std::optional<RunRecord> reportRecord();
    // The operator's choice for a chamber found running from an interrupted run.
    void stopInterruptedRun();
    void watchInterruptedRun(double setPoint);

    // --- target curve and set-point check
    // Ticked: draws the target curve (DrawTargetTempCurve); a programme's from the fields is
    // refused without a first hold time. Unticked: clears it.
    void chkTargetTempClick();
    // The target curve: during a single run its set point's line up to now; during a programme
    // the course so far and the rest of the plan; otherwise the programme Start would run.
    void DrawTargetTempCurve();
    // The check of programme temperature field `index` (0..11) when it is left.
    void ValidateTemperature(int index);

    // --- CSV log
    void CreateCSVFile() { csvLog_.create(); }
    void TimerCSVTimer() { csvLog_.tick(); }

    void DelayMs(std::chrono::milliseconds duration) { chamber_.DelayMs(duration); }

    static constexpr std::chrono::milliseconds kCommandPause = ChamberControl::kCommandPause;

    // The status-bar warning of the emergency cut-off, stamped with `at`.
    QString emergencyWarningText(const QDateTime& at) const;
    // The local date and time as the status bar and the log show them.
    QString stampText(const QDateTime& at) const;
    // A read-out text: one decimal, the locale's separator, then "°C".
    QString readoutText(double celsius) const;
    // `text` followed by the time it is told at: "...  [12/10/2026 2:05:09 PM]".
    QString stamped(const QString& text) const;

  private:
    // LinkObserver
    void polled(const LinkView& view) override;
    void linkUp() override;
    void linkLost(Loss why) override;
    // RunObserver
    void reading(const RunReading& reading) override;
    void stopAsked(RunEndReason why) override;
    void stopNotConfirmed() override;
    void emergencyCutOff(double celsius, double threshold, const QDateTime& at) override;
    void blindStop(std::chrono::seconds withoutReadings) override;
    void controllerFoundStopped() override;
    void runEnded(const RunEnd& end) override;
    void soakWaiting(int step, double target, double band, std::optional<double> measured) override;
    void soakCounting(int step) override;

    // The window's side of a run that began: chart, timers, log timer, inputs.
    void showRunStarted(bool programme);
    // Draws the single run's set point as the target line, from its start to now (single_control).
    void drawSetPointLine();
    // The info labels and the run's status-bar line, from the run's state now.
    void showRunProgress();
    // The operator's choice for a Held run, asked once the current handler has returned.
    void askAboutStoppedController();
    void askWhetherToRunOn();
    // Shows why a request was refused; false when it was.
    bool accepted(const Outcome& outcome);
    // Takes what is typed in `field`; false when it was refused (the operator has been told).
    static bool commitAll(std::initializer_list<NumericField*> fields);
    bool commitProgrammeFields();
    // The programme the twelve fields hold now.
    std::variant<Programme, ProgrammeFault> fieldProgramme() const;
    void noticeStepsAboveSetPointLimit(const Programme& programme);
    // Starts `programme` (checked), and shows it started.
    void startProgramme(const Programme& programme);
    // Starts the programme loaded from a file, checked again with the limits in force.
    void startLoadedProgramme();
    // Draws the target curve again once waits have stretched the plan by a visible amount.
    void redrawStretchedTargetCurve();
    double drawnBehindPlan_ = 0.0;  // the plan's stretch when the target curve was drawn
    void showLossNotice(const QString& text);
    void setStatusLine(const QString& text);
    int holdMinutes(int index) const;

    // The programme loaded from a file that the fields cannot show, and its file (empty when not
    // saved).
    std::optional<Programme> loadedProgramme_;
    QString loadedProgrammePath_;
    ProgrammeView* programmeView_ = nullptr;  // not owned; none in the tests that do not need it
    // Draws the target curve again for the programme now on the Advanced tab, while it is shown.
    void redrawTargetCurve();

    TOmronCom& controller_;
    TCustomComPort& port_;
    MainWindowPorts& ui_;
    QString settingsPath_;
    QLocale locale_;

    ChamberControl chamber_;
    TCSVExport csvExport_;
    RunCsvLog csvLog_;

    std::optional<MessageBoxes::NoticeId> lossNotice_;  // one notice per loss of the link
    bool lossNoticeShown_ = false;
    // The cut-off that fired during the run: its reading, threshold and time, for the alarm.
    struct CutOff {
        double celsius = 0.0;
        double threshold = 0.0;
        QDateTime at;
    };
    std::optional<CutOff> cutOff_;
    // An alarm is open: the status bar keeps it and Start stays disabled until it is acknowledged.
    bool alarmOpen_ = false;
    // Asks the question about a Held run from the event loop.
    QTimer askTimer_;

    // What the operator is told, kept in the run's record while runs are recorded.
    RecordedMessages messages_;
    ArchiveWriter* archive_ = nullptr;  // not owned; none while runs are not recorded
    std::unique_ptr<RunRecorder> recorder_;
    // The newest run closed as "ended unexpectedly" at start, until the controller is first seen
    // (running: the operator is asked about it; stopped: nothing to ask).
    std::optional<ArchivedRun> interrupted_;
    std::optional<double> interruptedSetPoint_;  // the set point the controller runs at
    QTimer interruptedTimer_;                    // asks from the event loop
    QTimer archiveProblemsTimer_;                // tells the archive's problems
    void askAboutInterruptedRun();
    void tellArchiveProblems();
    void noticeInterruptedRun(const LinkView& view);
};

}  // namespace lumas
