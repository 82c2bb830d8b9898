// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "core/main_form_logic.h"
#include "core/programme_file.h"
#include "core/settings_store.h"
#include "core/sqlite_run_archive.h"
#include "core/window_placement.h"
#include "ui/about_dialog.h"
#include "ui/chart_report_preview.h"
#include "ui/chart_widget.h"
#include "ui/connection_start.h"
#include "ui/csv_export_dialog.h"
#include "ui/dialog_placement.h"
#include "ui/emergency_temp_dialog.h"
#include "ui/help_dialog.h"
#include "ui/message_boxes.h"
#include "ui/numeric_fields.h"
#include "ui/port_config_dialog.h"
#include "ui/port_selection_dialog.h"
#include "ui/programme_editor.h"
#include "ui/readout_font.h"
#include "ui/runs_window.h"
#include "ui/sp_ramp_dialog.h"
#include "ui/up_down.h"
#include "ui/visual_style.h"
#include "ui/widget_ports.h"

namespace lumas::ui {

namespace {

constexpr int kChartLeft = 8;
constexpr int kChartRightGap = 247;
constexpr int kColumnWidth = 233;
constexpr int kColumnRightGap = 6;
constexpr int kReadoutHeight = 58;
constexpr int kTabTop = kReadoutHeight + 10;
constexpr std::chrono::milliseconds kRunTimer{1000};
constexpr std::chrono::seconds kCsvTimer{30};
constexpr std::chrono::milliseconds kSpRampWait{400};

const QString kStopFirst =
    QStringLiteral("You can change this settings when controller is stopped.");
const QString kControlWillStop =
    QStringLiteral("Warning: Temperature control will stop.\rContinue?");

QLabel* infoValue(QWidget* parent, const char* name) {
    auto* label = new QLabel(QStringLiteral("--"), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    return result;
}

// A "Start/Stop" group with its two buttons.
QGroupBox* startStopGroup(QPushButton* start, QPushButton* stop, QWidget* parent) {
    auto* group = new QGroupBox(QStringLiteral("Start/Stop"), parent);
    auto* row = new QHBoxLayout(group);
    row->addWidget(start);
    row->addWidget(stop);
    return group;
}

// A tab page that scrolls when the window is too short to show all of it.
QScrollArea* scrollable(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

}  // namespace

TForm1::TForm1(Clock& clock, QString settingsPath, MessageBoxes* messages, QWidget* parent,
               Clock* runClock)
    : QMainWindow(parent),
      clock_(clock),
      settingsPath_(std::move(settingsPath)),
      runClock_(runClock),
      messages_(messages) {
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<QtMessageBoxes>(this);
        messages_ = ownMessages_.get();
    }
    setWindowTitle(QStringLiteral("Lumas Software"));
    setObjectName(QStringLiteral("Form1"));
    setFont(windowFont(QStringLiteral("Tahoma"), 11));

    auto* central = new QWidget(this);
    setCentralWidget(central);
    buildChart(central);
    buildReadouts(central);
    PageControl1 = new QTabWidget(rightColumn_);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setUsesScrollButtons(false);
    PageControl1->addTab(scrollable(buildBasicTab()), QStringLiteral(" Basic control"));
    PageControl1->addTab(scrollable(buildAdvancedTab()), QStringLiteral("Advanced control"));
    buildMenu();
    buildStatusBar();

    timerMulti = new QTimer(this);
    timerSingle = new QTimer(this);
    TimerCSV = new QTimer(this);
    timerMulti->setInterval(kRunTimer);
    timerSingle->setInterval(kRunTimer);
    TimerCSV->setInterval(kCsvTimer);

    buildPorts();
    connect(timerMulti, &QTimer::timeout, this, [this] { logic_->timerMultiTimer(); });
    connect(timerSingle, &QTimer::timeout, this, [this] { logic_->timerSingleTimer(); });
    connect(TimerCSV, &QTimer::timeout, this, [this] { logic_->TimerCSVTimer(); });

    resize(kClientWidth, kClientHeight);
    applyOuterSizeLimits();
    // The port used last is remembered, and connected to at start when the operator asked for it.
    keepConnectionSettings(*this, *logic_, ComPort1, settingsPath_, *statusWarningText_,
                           action(QStringLiteral("miConnect")));
}

TForm1::~TForm1() = default;

void TForm1::buildChart(QWidget* central) {
    Chart1 = new TemperatureChart(central);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    connect(Chart1, &TemperatureChart::clearChartRequested, this, &TForm1::ClearChart1Click);
}

void TForm1::buildReadouts(QWidget* central) {
    rightColumn_ = new QWidget(central);
    const auto readout = [&](const QString& title, const char* name, const QColor& colour,
                             int width) {
        auto* box = new QGroupBox(title, rightColumn_);
        box->setFixedSize(width, kReadoutHeight);
        auto* label = new QLabel(QStringLiteral("--"), box);
        label->setObjectName(QLatin1String(name));
        label->setFont(readoutFont());
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
        label->setAlignment(Qt::AlignCenter);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(2, 0, 2, 2);
        layout->addWidget(label);
        return std::pair{box, label};
    };
    std::tie(temperatureBox_, lTemp) =
        readout(QStringLiteral("Current Temperature"), "lTemp", QColor(0, 0, 128), 121);
    std::tie(setPointBox_, lSetPoint) =
        readout(QStringLiteral("Current Set Point"), "lSetPoint", QColor(0, 128, 0), 106);
    temperatureBox_->move(0, 0);
    setPointBox_->move(kColumnWidth - 106, 0);
}

void TForm1::fitReadouts() {
    // Every reading of the set-point range, in this locale's form, and the placeholder.
    QStringList readings{texts::kNoValue};
    const auto lowest = static_cast<int>(std::lround(kSetPointMin * 10.0));
    const auto highest = static_cast<int>(std::lround(kSetPointMax * 10.0));
    for (int tenths = lowest; tenths <= highest; ++tenths) {
        readings << logic_->readoutText(tenths / 10.0);
    }
    const QSize room = lTemp->contentsRect().size().boundedTo(lSetPoint->contentsRect().size());
    QFont font = readoutFont();
    font.setPixelSize(readoutPixelSizeFitting(font, readings, room));
    for (QLabel* readout : {lTemp, lSetPoint}) {
        if (readout->font() != font) {
            readout->setFont(font);
        }
    }
}

QWidget* TForm1::buildBasicTab() {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(6, 8, 6, 6);

    auto* setRow = new QHBoxLayout;
    setRow->setSpacing(3);
    auto* caption = new QLabel(QStringLiteral("Set Temperature:"), tab);
    caption->setFont(windowFont(QStringLiteral("Tahoma"), 13));
    // The single set point takes what the driver sends; Enter in it is Set.
    fiSingleSP = new DecimalField({.minusAllowed = true,
                                   .minimum = ChamberControl::kSingleSetPointMin,
                                   .maximum = ChamberControl::kSingleSetPointMax},
                                  tab, messages_);
    fiSingleSP->setObjectName(QStringLiteral("fiSingleSP"));
    fiSingleSP->setFixedWidth(44);
    UpDown1 = new UpDown(-70, 400, tab);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setFixedSize(16, 22);
    bSetSingleSP = button(QStringLiteral("Set"), "bSetSingleSP", tab);
    bSetSingleSP->setFixedWidth(36);
    setRow->addWidget(caption);
    setRow->addWidget(fiSingleSP);
    setRow->addWidget(UpDown1);
    setRow->addWidget(bSetSingleSP);
    column->addLayout(setRow);

    bStartSingle = button(QStringLiteral("Start"), "bStartSingle", tab);
    bStopSingle = button(QStringLiteral("Stop"), "bStopSingle", tab);
    column->addWidget(startStopGroup(bStartSingle, bStopSingle, tab));

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel(QStringLiteral("Controller Status:"), tab));
    lCS2 = infoValue(tab, "lCS2");
    statusRow->addWidget(lCS2, 1);
    column->addLayout(statusRow);
    column->addStretch(1);

    // The spin buttons follow the field's whole-number part and write whole numbers into it.
    connect(fiSingleSP, &QLineEdit::textChanged, this,
            [this] { UpDown1->setPosition(static_cast<int>(fiSingleSP->value())); });
    connect(UpDown1, &UpDown::stepped, this,
            [this](int position) { fiSingleSP->setText(QString::number(position)); });
    connect(bSetSingleSP, &QPushButton::clicked, this, [this] { logic_->bSetSingleSPClick(); });
    connect(fiSingleSP, &DecimalField::entered, this, [this] { logic_->bSetSingleSPClick(); });
    connect(bStartSingle, &QPushButton::clicked, this, [this] { logic_->bStartSingleClick(); });
    connect(bStopSingle, &QPushButton::clicked, this, [this] { logic_->bStopSingleClick(); });
    return tab;
}

QWidget* TForm1::buildAdvancedTab() {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    column->setSpacing(4);

    auto* temperatures = new QGroupBox(QStringLiteral("Temp. °C"), tab);
    auto* holds = new QGroupBox(QStringLiteral("Hold Time [min]"), tab);
    auto* temperatureGrid = new QGridLayout(temperatures);
    auto* holdGrid = new QGridLayout(holds);
    temperatureGrid->setVerticalSpacing(1);
    holdGrid->setVerticalSpacing(1);
    const QFont rowFont = windowFont(QStringLiteral("Arial"), 13);
    for (int k = 0; k < kProgrammeSteps; ++k) {
        // The programme's range; T9 takes no minus sign.
        const DecimalField::Rules rules{
            .minusAllowed = k != 8, .minimum = kSetPointMin, .maximum = kSetPointMax};
        fiSP[k] = new DecimalField(rules, temperatures, messages_);
        fiSP[k]->setObjectName(QStringLiteral("fiSP%1").arg(k));
        fiSPt[k] = new WholeNumberField(0, kMaxHoldMinutes, holds, messages_);
        fiSPt[k]->setObjectName(QStringLiteral("fiSP%1t").arg(k));
        auto* tLabel = new QLabel(QStringLiteral("T%1:").arg(k + 1), temperatures);
        auto* hLabel = new QLabel(QStringLiteral("t%1:").arg(k + 1), holds);
        tLabel->setFont(rowFont);
        hLabel->setFont(rowFont);
        temperatureGrid->addWidget(tLabel, k, 0);
        temperatureGrid->addWidget(fiSP[k], k, 1);
        holdGrid->addWidget(hLabel, k, 0);
        holdGrid->addWidget(fiSPt[k], k, 1);
        connect(fiSP[k], &DecimalField::left, this, [this, k] { logic_->ValidateTemperature(k); });
        connect(fiSPt[k], &QLineEdit::textChanged, this, [this] { showHoldTimeTotal(); });
    }
    // The total takes the whole width of its group and wraps there: a long total must not
    // widen the group at the expense of the set-point fields.
    auto* totalRow = new QHBoxLayout;
    totalRow->setSpacing(4);
    totalRow->addWidget(new QLabel(QStringLiteral("Total:"), holds));
    lTotalTime = infoValue(holds, "lTotalTime");
    lTotalTime->setWordWrap(true);
    lTotalTime->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    totalRow->addWidget(lTotalTime, 1);
    holdGrid->addLayout(totalRow, kProgrammeSteps, 0, 1, 2);
    // The programme: the twelve fields, or a programme from a file shown in their place.
    auto* fieldsPage = new QWidget;
    auto* programmeRow = new QHBoxLayout(fieldsPage);
    programmeRow->setContentsMargins(0, 0, 0, 0);
    temperatures->setParent(fieldsPage);
    holds->setParent(fieldsPage);
    programmeRow->addWidget(temperatures, 1);
    programmeRow->addWidget(holds, 1);
    programmeStack_ = new QStackedWidget(tab);
    programmeStack_->setObjectName(QStringLiteral("programmeStack"));
    programmeStack_->addWidget(fieldsPage);
    QWidget* loadedPage = buildLoadedProgrammePage();
    programmeStack_->addWidget(loadedPage);
    programmeStack_->setCurrentWidget(fieldsPage);
    column->addWidget(programmeStack_);
    programmePages_ = std::make_unique<ProgrammePages>(ProgrammePages::Widgets{
        programmeStack_, fieldsPage, loadedPage,
        loadedPage->findChild<QLabel*>(QStringLiteral("lProgrammeName")), loadedRows_,
        loadedPage->findChild<QLabel*>(QStringLiteral("lProgrammeTotals")),
        loadedPage->findChild<QLabel*>(QStringLiteral("lProgrammeEnd"))});

    auto* info = new QGroupBox(QStringLiteral("Info Panel"), tab);
    auto* infoGrid = new QGridLayout(info);
    lTotal = infoValue(info, "lTotal");
    lFinish = infoValue(info, "lFinish");
    lCS = infoValue(info, "lCS");
    infoGrid->addWidget(new QLabel(QStringLiteral("Total Cycles:"), info), 0, 0);
    infoGrid->addWidget(lTotal, 0, 1);
    infoGrid->addWidget(new QLabel(QStringLiteral("Finish in:"), info), 1, 0);
    infoGrid->addWidget(lFinish, 1, 1);
    infoGrid->addWidget(new QLabel(QStringLiteral("Controller Status:"), info), 2, 0);
    infoGrid->addWidget(lCS, 2, 1);
    // The step that runs and the time left in it; wraps within the panel.
    lStep = infoValue(info, "lStep");
    lStep->setWordWrap(true);
    lStep->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    infoGrid->addWidget(lStep, 3, 0, 1, 2);
    chkTargetTemp = new QCheckBox(QStringLiteral("Show Target Temperature Curve"), info);
    chkTargetTemp->setObjectName(QStringLiteral("chkTargetTemp"));
    infoGrid->addWidget(chkTargetTemp, 4, 0, 1, 2);
    column->addWidget(info);

    bStartMulti = button(QStringLiteral("Start"), "bStartMulti", tab);
    bStopMulti = button(QStringLiteral("Stop"), "bStopMulti", tab);
    column->addWidget(startStopGroup(bStartMulti, bStopMulti, tab));
    column->addStretch(1);

    connect(chkTargetTemp, &QCheckBox::toggled, this, [this] { logic_->chkTargetTempClick(); });
    connect(bStartMulti, &QPushButton::clicked, this, [this] { logic_->bStartMultiClick(); });
    connect(bStopMulti, &QPushButton::clicked, this, [this] { logic_->bStopMultiClick(); });
    return tab;
}

QWidget* TForm1::buildLoadedProgrammePage() {
    auto* page = new QGroupBox(QStringLiteral("Programme"));
    auto* column = new QVBoxLayout(page);
    column->setSpacing(4);
    auto* name = new QLabel(page);
    name->setObjectName(QStringLiteral("lProgrammeName"));
    name->setWordWrap(true);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    loadedRows_ = new QListWidget(page);
    loadedRows_->setObjectName(QStringLiteral("lbProgrammeRows"));
    loadedRows_->setWordWrap(true);
    loadedRows_->setSelectionMode(QAbstractItemView::NoSelection);
    loadedRows_->setFocusPolicy(Qt::NoFocus);
    auto* totals = new QLabel(page);
    totals->setObjectName(QStringLiteral("lProgrammeTotals"));
    totals->setWordWrap(true);
    auto* end = new QLabel(page);
    end->setObjectName(QStringLiteral("lProgrammeEnd"));
    end->setWordWrap(true);
    bEditProgramme = button(QStringLiteral("Edit…"), "bEditProgramme", page);
    bUseFields = button(QStringLiteral("Use the fields"), "bUseFields", page);
    bUseFields->setToolTip(
        QStringLiteral("Forgets this programme: the twelve fields are the programme again."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bEditProgramme);
    buttons->addWidget(bUseFields);
    column->addWidget(name);
    column->addWidget(loadedRows_, 1);
    column->addWidget(totals);
    column->addWidget(end);
    column->addLayout(buttons);
    connect(bEditProgramme, &QPushButton::clicked, this, &TForm1::EditProgrammeClick);
    connect(bUseFields, &QPushButton::clicked, this, &TForm1::UseFieldsClick);
    return page;
}

void TForm1::buildMenu() {
    const auto item = [this](QMenu* menu, const QString& caption, const char* name,
                             void (TForm1::*handler)(), const QKeySequence& shortcut = {},
                             bool visible = true) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        action->setVisible(visible);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    item(file, QStringLiteral("&Connect…"), "miConnect", &TForm1::miConnectClick,
         QKeySequence(Qt::CTRL | Qt::Key_K));
    file->addSeparator();
    QAction* disconnect = file->addAction(QStringLiteral("&Disconnect"));
    disconnect->setObjectName(QStringLiteral("Disconnect1"));
    disconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    connect(disconnect, &QAction::triggered, this, [this] { logic_->Disconnect1Click(); });
    file->addSeparator();
    item(file, QStringLiteral("&New Programme…"), "miNewProgramme", &TForm1::NewProgrammeClick,
         QKeySequence::New);
    item(file, QStringLiteral("&Open Programme…"), "miOpenProgramme", &TForm1::OpenProgrammeClick,
         QKeySequence::Open);
    recentMenu_ = file->addMenu(QStringLiteral("Recent &Programmes"));
    recentMenu_->setObjectName(QStringLiteral("miRecentProgrammes"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &TForm1::fillRecentMenu);
    item(file, QStringLiteral("Save Programme &As…"), "miSaveProgrammeAs",
         &TForm1::SaveProgrammeAsClick, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    item(file, QStringLiteral("&Runs…"), "miRuns", &TForm1::miRunsClick,
         QKeySequence(Qt::CTRL | Qt::Key_R));
    file->addSeparator();
    item(file, QStringLiteral("E&xit"), "maExit", &TForm1::maExitClick,
         QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    QAction* portConfiguration = options->addAction(QStringLiteral("&Port Configuration…"));
    portConfiguration->setObjectName(QStringLiteral("maPortConfiguration"));
    connect(portConfiguration, &QAction::triggered, this,
            [this] { logic_->maPortConfigurationClick(); });
    item(options, QStringLiteral("&Export Chart…"), "ExportChart1", &TForm1::ExportChart1Click,
         QKeySequence(Qt::CTRL | Qt::Key_E));
    options->addSeparator()->setVisible(false);
    // Present with their actions, but not shown in this configuration.
    item(options, QStringLiteral("&CSV Export…"), "CSVExport1", &TForm1::CSVExport1Click, {},
         false);
    item(options, QStringLiteral("E&mergency Temperature…"), "EmergencyTemp",
         &TForm1::EmergencyTempClick, {}, false);
    item(options, QStringLiteral("&SP Ramp Settings…"), "SPRamp1", &TForm1::SPRamp1Click, {},
         false);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mHelp"));
    item(help, QStringLiteral("Lumas &Help"), "miHelp", &TForm1::HelpClick,
         QKeySequence::HelpContents);

    QAction* about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::buildStatusBar() {
    statusConnection_ = new QLabel(QStringLiteral("OFFLINE"), this);
    statusConnection_->setObjectName(QStringLiteral("statusConnection"));
    statusConnection_->setFixedWidth(70);
    statusWarning_ = new QLabel(this);
    statusWarning_->setObjectName(QStringLiteral("statusWarning"));
    statusRun_ = new QLabel(this);
    statusRun_->setObjectName(QStringLiteral("statusRun"));
    // Clear of the window's edge, which has no size grip to keep it so.
    statusRun_->setContentsMargins(0, 0, 8, 0);
    statusBar()->addWidget(statusConnection_);
    statusBar()->addWidget(statusWarning_, 1);
    statusBar()->addPermanentWidget(statusRun_);
    statusBar()->setFixedHeight(19);
    statusBar()->setSizeGripEnabled(false);
}

void TForm1::buildPorts() {
    lTempText_ = std::make_unique<LabelText>(lTemp);
    lSetPointText_ = std::make_unique<LabelText>(lSetPoint);
    lCSText_ = std::make_unique<LabelText>(lCS);
    lCS2Text_ = std::make_unique<LabelText>(lCS2);
    lFinishText_ = std::make_unique<LabelText>(lFinish);
    lTotalText_ = std::make_unique<LabelText>(lTotal);
    statusConnectionText_ = std::make_unique<LabelText>(statusConnection_);
    statusWarningText_ = std::make_unique<LabelText>(statusWarning_);
    statusRunText_ = std::make_unique<LabelText>(statusRun_);
    lStepText_ = std::make_unique<LabelText>(lStep);
    targetCurveBox_ = std::make_unique<CheckBoxState>(chkTargetTemp);
    measuredSeries_ =
        std::make_unique<ChartSeriesPort>(*Chart1, TemperatureChart::Series::Measured);
    targetSeries_ = std::make_unique<ChartSeriesPort>(*Chart1, TemperatureChart::Series::Target);
    timerMultiSwitch_ = std::make_unique<TimerSwitch>(timerMulti);
    timerSingleSwitch_ = std::make_unique<TimerSwitch>(timerSingle);
    timerCsvSwitch_ = std::make_unique<TimerSwitch>(TimerCSV);

    ports_ = std::make_unique<MainWindowPorts>(MainWindowPorts{*lTempText_,
                                                               *lSetPointText_,
                                                               *lCSText_,
                                                               *lCS2Text_,
                                                               *lFinishText_,
                                                               *lTotalText_,
                                                               *statusConnectionText_,
                                                               *statusWarningText_,
                                                               *statusRunText_,
                                                               *lStepText_,
                                                               *fiSingleSP,
                                                               {},
                                                               {},
                                                               *targetCurveBox_,
                                                               *measuredSeries_,
                                                               *targetSeries_,
                                                               *timerMultiSwitch_,
                                                               *timerSingleSwitch_,
                                                               *timerCsvSwitch_,
                                                               *messages_,
                                                               [this] { EnableItems(); },
                                                               [this] { DisableItems(); },
                                                               [this] { ClearFormFields(); },
                                                               [this] { repaint(); },
                                                               {}});
    ports_->runComConfigForm = portConfigFormRunner(this);
    for (int k = 0; k < kProgrammeSteps; ++k) {
        ports_->fiSP[k] = fiSP[k];
        ports_->fiSPt[k] = fiSPt[k];
    }
    logic_ = std::make_unique<MainFormLogic>(Controller, ComPort1, *ports_, clock_, settingsPath_,
                                             QLocale(), runClock_);
    logic_->setProgrammeView(programmePages_.get());
}

void TForm1::setVisible(bool visible) {
    const bool first = visible && !shown_;
    if (first) {
        shown_ = true;
        const QScreen* screen = this->screen();
        const QSize screenSize = screen ? screen->availableGeometry().size() : QSize(1920, 1080);
        const QRect stored = logic_->FormShow(screenSize, size());
        // Not yet framed: the frame is reckoned at kFrameAllowance until the window manager has
        // put it on. The stored size and place are fitted to the screens there are now.
        QList<QRect> screens;
        if (const QScreen* primary = QGuiApplication::primaryScreen()) {
            screens << primary->availableGeometry();
        }
        for (const QScreen* other : QGuiApplication::screens()) {
            if (other != QGuiApplication::primaryScreen()) {
                screens << other->availableGeometry();
            }
        }
        const QRect fitted = fitFrameOnScreens(
            QRect(stored.topLeft(), stored.size() + kFrameAllowance), screens, kSmallestOuterSize);
        resize((fitted.size() - kFrameAllowance).expandedTo(QSize(1, 1)));
        // A move now places the frame's corner, as the position is saved.
        move(fitted.topLeft());
    }
    QMainWindow::setVisible(visible);
    if (first) {
        fitReadouts();  // laid out now; their boxes keep their size, and the locale its form
    }
}

bool TForm1::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            applyOuterSizeLimits();
            break;
        default:
            break;
    }
    return handled;
}

void TForm1::applyOuterSizeLimits() {
    const QSize frame = frameGeometry().size() - size();
    const QSize smallest = kSmallestOuterSize - frame;
    const QSize largest = kLargestOuterSize - frame;
    if (minimumSize() != smallest) {
        setMinimumSize(smallest);
    }
    if (maximumSize() != largest) {
        setMaximumSize(largest);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (closingForSignal_) {
        logic_->ApplicationClose(pos(), size(), RunEndReason::EndedBySignal);
        event->accept();
        return;
    }
    if (!logic_->confirmCloseDuringRun()) {
        event->ignore();
        return;
    }
    logic_->ApplicationClose(pos(), size());
    event->accept();
}

void TForm1::closeForSignal() {
    closingForSignal_ = true;
    // A box or dialog open over the window would hold its close until the operator answers.
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this;
         modal = QApplication::activeModalWidget()) {
        if (!modal->close()) {
            break;
        }
    }
    close();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layOut();
}

void TForm1::layOut() {
    const QWidget* central = centralWidget();
    const int width = central->width();
    const int height = central->height();
    Chart1->setGeometry(kChartLeft, 0, std::max(width - kChartLeft - kChartRightGap, 50), height);
    // The tab control reaches down to the status bar; in a window too short for all of a page,
    // the page scrolls.
    const int tabHeight = std::max(height - kTabTop, 100);
    rightColumn_->setGeometry(width - kColumnWidth - kColumnRightGap, 0, kColumnWidth,
                              kTabTop + tabHeight);
    PageControl1->setGeometry(0, kTabTop, kColumnWidth, tabHeight);
}

void TForm1::showHoldTimeTotal() {
    lTotalTime->setText(logic_->totalTimeText());
}

void TForm1::setProgrammeInputsEnabled(bool enabled) {
    for (int k = 0; k < kProgrammeSteps; ++k) {
        fiSP[k]->setEnabled(enabled);
        fiSPt[k]->setEnabled(enabled);
    }
}

void TForm1::EnableItems() {
    setProgrammeInputsEnabled(true);
    for (QAction* item : {action(QStringLiteral("miOpenProgramme")), recentMenu_->menuAction()}) {
        item->setEnabled(true);
    }
    bUseFields->setEnabled(true);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{bStartMulti, bStartSingle, chkTargetTemp, bStopSingle,
                                         UpDown1, bSetSingleSP, fiSingleSP, bStopMulti}) {
        widget->setEnabled(true);
    }
}

void TForm1::DisableItems() {
    setProgrammeInputsEnabled(false);
    // A programme is not opened, nor the fields taken back, while a run goes on.
    for (QAction* item : {action(QStringLiteral("miOpenProgramme")), recentMenu_->menuAction()}) {
        item->setEnabled(false);
    }
    bUseFields->setEnabled(false);
    bStartMulti->setEnabled(false);
    bStartSingle->setEnabled(false);
    const RunModel& run = logic_->run();
    const bool programme = run.controlling() && run.kind() == RunKind::Programme;
    const bool single = run.controlling() && run.kind() == RunKind::Single;
    if (programme) {
        chkTargetTemp->setEnabled(true);
        for (QWidget* widget :
             std::initializer_list<QWidget*>{bStopSingle, bSetSingleSP, UpDown1, fiSingleSP}) {
            widget->setEnabled(false);
        }
    }
    if (single) {
        // The target box stays: the single set point is drawn as the target line.
        bStopMulti->setEnabled(false);
    }
}

void TForm1::ClearFormFields() {
    for (QLabel* label : {lCS, lCS2, lTotal, lFinish, lStep}) {
        label->setText(QStringLiteral("--"));
    }
}

QAction* TForm1::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void TForm1::miConnectClick() {
    PortSelectionDialog dialog(
        this, [this](const std::string& portName) { return logic_->ConnectToPort(portName); },
        messages_, {}, settingsPath_);
    dialog.exec();
}

void TForm1::maExitClick() {
    close();
}

void TForm1::miRunsClick() {
    if (runsWindow_ == nullptr) {
        runsWindow_ = new RunsWindow(logic_->archivePath().value_or(defaultArchivePath()),
                                     messages_, this, settingsPath_);
    }
    runsWindow_->refresh();
    runsWindow_->show();
    runsWindow_->raise();
    runsWindow_->activateWindow();
}

void TForm1::ExportChart1Click() {
    // The run going on, or the last one, when runs are recorded.
    showChartReport(*Chart1, this, logic_->reportRecord(), settingsPath_);
}

void TForm1::CSVExport1Click() {
    if (logic_->run().active()) {
        messages_->information(kStopFirst);
        return;
    }
    CsvExportDialog dialog(this, settingsPath_, logic_->csvExportSettings(), *timerCsvSwitch_,
                           messages_);
    dialog.exec();
}

void TForm1::EmergencyTempClick() {
    EmergencyTempDialog dialog(this, settingsPath_, logic_->state(), messages_);
    dialog.exec();
}

void TForm1::SPRamp1Click() {
    if (!Controller.Connected()) {
        messages_->message(texts::kNoConnection);
        return;
    }
    if (logic_->run().controlling()) {
        if (!messages_->confirm(kControlWillStop)) {
            return;
        }
        try {
            logic_->TerminateWorker();
            std::this_thread::sleep_for(kSpRampWait);
        } catch (const std::exception& error) {
            messages_->message(texts::kErrorOccured + QString::fromStdString(error.what()));
        }
    }
    logic_->TerminateWorker();
    logic_->DelayMs(kSpRampWait);
    // The worker stays stopped while the dialog is open; however it closes, a new one starts.
    SpRampDialog dialog(
        this, Controller, [this](std::chrono::milliseconds pause) { logic_->DelayMs(pause); },
        [this] { logic_->StartThread(); });
    dialog.exec();
}

void TForm1::About1Click() {
    AboutDialog dialog(this);
    dialog.exec();
}

void TForm1::HelpClick() {
    HelpDialog dialog(this, menuBar()->actions());
    dialog.exec();
}

void TForm1::ClearChart1Click() {
    // The run, its log and the controller go on; only the curves and their timers stop.
    if (Chart1->clearIfConfirmed(
            [this](const QString& question) { return messages_->confirm(question); })) {
        timerMulti->stop();
        timerSingle->stop();
    }
}

// --- programme files

namespace {

const QString kProgrammeFilter = QStringLiteral("Lumas programmes (*.json)");
// The most faults one box lists; the editor shows them all.
constexpr std::size_t kFaultsShown = 10;

// The programmes folder, made when it is missing.
QString programmesFolderMade() {
    QString folder = programmesFolder();
    QDir().mkpath(folder);
    return folder;
}

// Every fault of a programme file, one a line ("Step 3, rate: ..."), the first kFaultsShown.
QString faultLines(const std::vector<ProgrammeFault>& faults) {
    QStringList lines;
    for (std::size_t k = 0; k < faults.size() && k < kFaultsShown; ++k) {
        lines << programmeFaultText(faults[k]);
    }
    if (faults.size() > kFaultsShown) {
        lines << QStringLiteral("… and %1 more.").arg(faults.size() - kFaultsShown);
    }
    return lines.join(QStringLiteral("\r"));
}

}  // namespace

ProgrammeEditor* TForm1::programmeEditor() const {
    return programmeEditor_.data();
}

void TForm1::showEditor(const ProgrammeDocument& document, const QString& path) {
    if (programmeEditor_ == nullptr) {
        programmeEditor_ = new ProgrammeEditor(
            logic_->programmeLimits(),
            [this](const ProgrammeDocument& used, const QString& from) {
                return logic_->showProgramme(used, from);
            },
            messages_, this);
        // Closed, it is gone: the next one starts afresh.
        programmeEditor_->setAttribute(Qt::WA_DeleteOnClose);
        connect(programmeEditor_, &ProgrammeEditor::saved, this,
                [this](const QString& path) { rememberProgramme(path); });
        // Within the screen, frame and panels included, and in its middle.
        if (const QScreen* shownOn = screen()) {
            const QSize room = shownOn->availableGeometry().size() - QSize(24, 48);
            programmeEditor_->resize(programmeEditor_->size().boundedTo(room));
        }
        centreOnScreen(*programmeEditor_, this);
    }
    if (!programmeEditor_->edit(document, path)) {
        programmeEditor_->raise();
        return;
    }
    programmeEditor_->show();
    programmeEditor_->raise();
    programmeEditor_->activateWindow();
}

void TForm1::NewProgrammeClick() {
    showEditor({}, {});
}

void TForm1::EditProgrammeClick() {
    if (const std::optional<Programme>& loaded = logic_->loadedProgramme()) {
        showEditor(loaded->document(), logic_->loadedProgrammePath());
    }
}

void TForm1::UseFieldsClick() {
    if (logic_->run().active()) {
        return;
    }
    logic_->useFieldProgramme();
    showHoldTimeTotal();
}

void TForm1::OpenProgrammeClick() {
    if (logic_->run().active()) {
        messages_->information(kStopFirst);
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Programme"),
                                                      programmesFolderMade(), kProgrammeFilter);
    if (!path.isEmpty()) {
        openProgrammeFile(path);
    }
}

bool TForm1::openProgrammeFile(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    const ProgrammeRead read = loadProgrammeFile(path);
    if (const auto* faults = std::get_if<std::vector<ProgrammeFault>>(&read)) {
        messages_->warning(QStringLiteral("The programme file %1 cannot be read:\r%2")
                               .arg(shown, faultLines(*faults)));
        return false;
    }
    const auto& document = std::get<ProgrammeDocument>(read);
    const std::vector<ProgrammeFault> faults =
        Programme::checkDocument(document, logic_->programmeLimits());
    if (!faults.empty()) {
        const QString text = QStringLiteral(
                                 "The programme in %1 cannot be run:\r%2\r\rOpen it in "
                                 "the programme editor to correct it?")
                                 .arg(shown, faultLines(faults));
        if (messages_->choose(text, QStringLiteral("Edit"), QStringLiteral("Close"))) {
            showEditor(document, path);
        }
        return false;
    }
    if (const std::optional<QString> refusal = logic_->showProgramme(document, path)) {
        messages_->warning(*refusal);
        return false;
    }
    showHoldTimeTotal();
    rememberProgramme(path);
    return true;
}

void TForm1::SaveProgrammeAsClick() {
    // What is typed in the fields is what is saved.
    if (!logic_->loadedProgramme()) {
        for (int k = 0; k < kProgrammeSteps; ++k) {
            if (!fiSP[k]->commit() || !fiSPt[k]->commit()) {
                return;
            }
        }
    }
    const ProgrammeDocument document = logic_->programmeToSave();
    if (document.rows.empty()) {
        messages_->information(QStringLiteral(
            "There is no programme to save: t1 is 0, so the programme has no step."));
        return;
    }
    // A named programme is offered under its name; an unnamed one asks for the file's name.
    QString suggested = document.name.trimmed();
    suggested.replace(QLatin1Char('/'), QLatin1Char('-'));
    const QString loadedPath = logic_->loadedProgrammePath();
    const QString start = !loadedPath.isEmpty() ? loadedPath
                          : suggested.isEmpty()
                              ? programmesFolderMade() + QLatin1Char('/')
                              : QDir(programmesFolderMade()).filePath(suggested + ".json");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Programme As"), start,
                                                kProgrammeFilter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".json");
    }
    saveProgrammeAs(path);
}

bool TForm1::saveProgrammeAs(const QString& path) {
    const ProgrammeDocument document = logic_->programmeToSave();
    if (document.rows.empty()) {
        messages_->information(QStringLiteral(
            "There is no programme to save: t1 is 0, so the programme has no step."));
        return false;
    }
    if (const std::optional<QString> failure = saveProgrammeFile(path, document)) {
        messages_->warning(*failure);
        return false;
    }
    logic_->loadedProgrammeSavedAs(path);
    rememberProgramme(path);
    return true;
}

void TForm1::openRecentProgramme(const QString& path) {
    if (logic_->run().active()) {
        messages_->information(kStopFirst);
        return;
    }
    if (!QFileInfo::exists(path)) {
        forgetRecentProgramme(settingsPath_, path);
        messages_->message(QStringLiteral("The programme file %1 is no longer there. It has been "
                                          "taken off the list of recent programmes.")
                               .arg(QDir::toNativeSeparators(path)));
        return;
    }
    openProgrammeFile(path);
}

void TForm1::rememberProgramme(const QString& path) {
    // The list is a convenience: a settings file that cannot be written costs only the list.
    rememberRecentProgramme(settingsPath_, QFileInfo(path).absoluteFilePath());
}

void TForm1::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList paths = readRecentProgrammes(settingsPath_);
    int number = 0;
    for (const QString& path : paths) {
        ++number;
        QString caption = QDir::toNativeSeparators(path);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(number).arg(caption));
        entry->setObjectName(QStringLiteral("miRecentProgramme%1").arg(number));
        entry->setData(path);
        connect(entry, &QAction::triggered, this, [this, path] { openRecentProgramme(path); });
    }
    if (paths.isEmpty()) {
        recentMenu_->addAction(QStringLiteral("(none)"))->setEnabled(false);
    }
}

}  // namespace lumas::ui
