// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/controller_link.h"
#include "core/main_form_logic.h"
#include "core/window_ports.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTimer;

namespace lumas::ui {

class DecimalField;
class WholeNumberField;
class RunsWindow;
class ProgrammeEditor;
class ProgrammePages;
class UpDown;
class LabelText;
class CheckBoxState;
class TimerSwitch;
class ChartSeriesPort;
class TemperatureChart;

// The main window: the two read-outs, the temperature chart, the Basic and Advanced control tabs,
// the status bar and the main menu. It holds no control logic: its buttons, fields and timers hand
// over to MainFormLogic, and its menu opens the dialogs. It owns the serial port and the driver.
class TForm1 final : public QMainWindow {
    Q_OBJECT

  public:
    // `messages` replaces the window's message boxes (tests); by default they are Qt's. `runClock`
    // measures the programme's and the chart's time (a demo may run it faster); by default it is
    // `clock`, which keeps the line's time.
    TForm1(Clock& clock, QString settingsPath, MessageBoxes* messages = nullptr,
           QWidget* parent = nullptr, Clock* runClock = nullptr);
    ~TForm1() override;

    MainFormLogic& logic() { return *logic_; }
    TComPort& comPort() { return ComPort1; }
    TOmronCom& controller() { return Controller; }

    // The window's enable and clear rules, called by the core.
    void EnableItems();
    void DisableItems();
    void ClearFormFields();

    // Menu handlers.
    void miConnectClick();
    // File > Runs…: the window of the recorded runs (one, shown again when asked again).
    void miRunsClick();
    void maExitClick();
    void ExportChart1Click();
    void CSVExport1Click();
    void EmergencyTempClick();
    void SPRamp1Click();
    void About1Click();
    // Help > Lumas Help (F1): a short page on where to read further, with the version.
    void HelpClick();
    void ClearChart1Click();

    // File > New Programme…, Open Programme…, Save Programme As… and Recent Programmes. The
    // dialogs start in the programmes folder (made on demand).
    void NewProgrammeClick();
    void OpenProgrammeClick();
    void SaveProgrammeAsClick();
    // Reads, checks and shows the programme file at `path` on the Advanced tab (showProgramme).
    // A file that cannot be read or makes no programme changes nothing: the operator is shown
    // every fault and, for a programme that was read, offered the editor to correct it. True
    // when it was taken.
    bool openProgrammeFile(const QString& path);
    // Writes the Advanced tab's programme (the loaded one, or the twelve fields') to `path`.
    // False, with the operator told why, when nothing was written.
    bool saveProgrammeAs(const QString& path);
    // A file of Recent Programmes; one that is gone is taken off the list, and the operator told.
    void openRecentProgramme(const QString& path);
    // The Advanced tab's Edit…: the editor on the loaded programme.
    void EditProgrammeClick();
    // The Advanced tab's "Use the fields".
    void UseFieldsClick();
    // The programme editor, made on first use; null until then and once it is closed.
    ProgrammeEditor* programmeEditor() const;
    // The Recent Programmes submenu.
    QMenu* recentProgrammesMenu() const { return recentMenu_; }

    // Closes as Exit does, without asking (the program was told to end by a signal): open boxes
    // and dialogs are closed, the settings saved, a run ends for "ended by a signal", and the
    // controller is left as it is.
    void closeForSignal();

    // The menu items, for the dialogs' guards and the tests.
    QAction* action(const QString& objectName) const;

    // The first size of the window's inner area, menu bar and status bar included.
    static constexpr int kClientWidth = 1158;
    static constexpr int kClientHeight = 652;
    // The limits of the window's outer size, frame included.
    static constexpr QSize kSmallestOuterSize{600, 480};
    static constexpr QSize kLargestOuterSize{1920, 1080};
    // What the frame is reckoned to add to the inner size before the window manager has framed
    // the window (title bar and borders).
    static constexpr QSize kFrameAllowance{8, 32};

    // The first time the window appears, it takes its place from the settings before it is
    // mapped, so that the window manager puts its frame (where the place is saved from) there.
    void setVisible(bool visible) override;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildReadouts(QWidget* central);
    // Both read-outs take the largest size at which every reading, as this locale writes it,
    // fits the narrower of them (once, when the window is first shown and laid out).
    void fitReadouts();
    QWidget* buildBasicTab();
    QWidget* buildAdvancedTab();
    void buildMenu();
    void buildStatusBar();
    void buildChart(QWidget* central);
    void buildPorts();
    void layOut();
    // Keeps the outer size within its limits once the window manager has framed the window.
    void applyOuterSizeLimits();
    void showHoldTimeTotal();
    void setProgrammeInputsEnabled(bool enabled);
    QWidget* buildLoadedProgrammePage();
    // The editor, made and shown, on `document` from `path`.
    void showEditor(const ProgrammeDocument& document, const QString& path);
    void fillRecentMenu();
    void rememberProgramme(const QString& path);

    // Declared first: the driver holds the port, the logic holds both; destroyed in reverse.
    ControllerLink link_;
    TComPort& ComPort1 = link_.port;
    TOmronCom& Controller = link_.driver;
    Clock& clock_;
    QString settingsPath_;
    Clock* runClock_ = nullptr;
    bool shown_ = false;
    bool closingForSignal_ = false;

    TemperatureChart* Chart1 = nullptr;
    QPointer<RunsWindow> runsWindow_;
    QPointer<ProgrammeEditor> programmeEditor_;
    QStackedWidget* programmeStack_ = nullptr;
    QListWidget* loadedRows_ = nullptr;
    QPushButton* bEditProgramme = nullptr;
    QPushButton* bUseFields = nullptr;
    QMenu* recentMenu_ = nullptr;
    QWidget* rightColumn_ = nullptr;
    QGroupBox* temperatureBox_ = nullptr;
    QGroupBox* setPointBox_ = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QLabel* lTemp = nullptr;
    QLabel* lSetPoint = nullptr;
    QLabel* lCS = nullptr;
    QLabel* lCS2 = nullptr;
    QLabel* lTotal = nullptr;
    QLabel* lFinish = nullptr;
    QLabel* lTotalTime = nullptr;
    QLabel* statusConnection_ = nullptr;
    QLabel* statusWarning_ = nullptr;
    QLabel* statusRun_ = nullptr;
    QLabel* lStep = nullptr;
    DecimalField* fiSingleSP = nullptr;
    UpDown* UpDown1 = nullptr;
    std::array<DecimalField*, 12> fiSP{};
    std::array<WholeNumberField*, 12> fiSPt{};
    QCheckBox* chkTargetTemp = nullptr;
    QPushButton* bSetSingleSP = nullptr;
    QPushButton* bStartSingle = nullptr;
    QPushButton* bStopSingle = nullptr;
    QPushButton* bStartMulti = nullptr;
    QPushButton* bStopMulti = nullptr;
    QTimer* timerMulti = nullptr;
    QTimer* timerSingle = nullptr;
    QTimer* TimerCSV = nullptr;

    // The widgets seen through the core's interfaces.
    std::unique_ptr<LabelText> lTempText_, lSetPointText_, lCSText_, lCS2Text_, lFinishText_,
        lTotalText_, statusConnectionText_, statusWarningText_, statusRunText_, lStepText_;
    std::unique_ptr<CheckBoxState> targetCurveBox_;
    std::unique_ptr<ChartSeriesPort> measuredSeries_, targetSeries_;
    std::unique_ptr<TimerSwitch> timerMultiSwitch_, timerSingleSwitch_, timerCsvSwitch_;
    std::unique_ptr<ProgrammePages> programmePages_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_ = nullptr;
    std::unique_ptr<MainWindowPorts> ports_;
    std::unique_ptr<MainFormLogic> logic_;  // last: destroyed first
};

}  // namespace lumas::ui
