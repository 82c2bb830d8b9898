// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The desktop program as a window manager sees it (X11 with openbox, started by
// run_with_window_manager.sh): the window comes back where it was closed, the dialogs open at
// their places with their own captions, leaving a set-point field for another window or a menu
// shows no message, and Port Configuration shows its form with and without a connection. Leaves
// screenshots of the whole screen (desktop_*.png).

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

#include "core/archive_writer.h"
#include "core/clock.h"
#include "core/operator_texts.h"
#include "core/sqlite_run_archive.h"
#include "dialog_support/modal_watch.h"
#include "sim/simulated_controller.h"
#include "ui/about_dialog.h"
#include "ui/application_setup.h"
#include "ui/chart_widget.h"
#include "ui/csv_export_dialog.h"
#include "ui/emergency_temp_dialog.h"
#include "ui/main_window.h"
#include "ui/port_config_dialog.h"
#include "ui/port_selection_dialog.h"

namespace lumas::ui {
namespace {

// Whether the window manager has put a frame around `window` (Qt then knows its size) and it is
// on the screen.
bool framed(QWidget& window) {
    return window.isVisible() && window.frameGeometry().size() != window.size() &&
           window.windowHandle() != nullptr && window.windowHandle()->isExposed();
}

// The caption the window manager shows for `window`: its visible name where it set one, else
// the name the program gave.
QString shownCaption(QWidget& window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window.winId()),
                 QStringLiteral("_NET_WM_VISIBLE_NAME"), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(5000)) {
        return QStringLiteral("(xprop did not answer)");
    }
    const QString output = QString::fromUtf8(xprop.readAllStandardOutput());
    const QRegularExpression value(QStringLiteral(R"re(^(_NET_WM\w+)\(UTF8_STRING\) = "(.*)"$)re"),
                                   QRegularExpression::MultilineOption);
    QString name;
    for (auto match = value.globalMatch(output); match.hasNext();) {
        const auto found = match.next();
        if (found.captured(1) == QStringLiteral("_NET_WM_VISIBLE_NAME") || name.isEmpty()) {
            name = found.captured(2);
        }
    }
    return name;
}

// A simulated controller whose chamber stays at `celsius` until the test changes it.
sim::SimulatedControllerOptions frozenAt(double celsius) {
    sim::SimulatedControllerOptions options;
    options.ambient = celsius;
    options.timeScale = 0.0;
    return options;
}

void saveScreen(const QString& name) {
    // What was just shown is drawn and has reached the X server.
    QTest::qWait(100);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(screen.save(QStringLiteral("desktop_%1.png").arg(name)));
}

QPoint savedPosition(const QString& settingsPath) {
    const QSettings settings(settingsPath, QSettings::IniFormat);
    return {settings.value(QStringLiteral("Settings/PosLeft")).toInt(),
            settings.value(QStringLiteral("Settings/PosTop")).toInt()};
}

}  // namespace

class DesktopSmokeTest : public QObject {
    Q_OBJECT

  protected:
    // A shown, framed and active main window over the settings file of this test.
    std::unique_ptr<TForm1> startWindow(const QByteArray& settings = {}) {
        if (!settings.isEmpty()) {
            QFile file(settingsPath());
            file.open(QIODevice::WriteOnly);
            file.write(settings);
        }
        messages_ = test::RecordedMessages{};
        auto window = std::make_unique<TForm1>(clock_, settingsPath(), &messages_);
        window->show();
        if (!QTest::qWaitFor([&] { return framed(*window); }, 5000)) {
            qWarning("the main window was not framed");
        }
        window->activateWindow();
        if (!QTest::qWaitFor([&] { return window->isActiveWindow(); }, 5000)) {
            qWarning("the main window did not get the focus");
        }
        return window;
    }

    QString settingsPath() const { return settingsDir_.filePath(QStringLiteral("Settings.ini")); }

    // A framed, active window with the program's own message boxes, as the operator sees them,
    // connected to `simulator` and showing its readings.
    std::unique_ptr<TForm1> startConnectedWindow(sim::SimulatedController& simulator,
                                                 const QByteArray& settings) {
        QFile file(settingsPath());
        file.open(QIODevice::WriteOnly);
        file.write(settings);
        file.close();
        auto window = std::make_unique<TForm1>(clock_, settingsPath());
        window->show();
        if (!QTest::qWaitFor([&] { return framed(*window); }, 5000)) {
            qWarning("the main window was not framed");
        }
        window->activateWindow();
        if (window->logic().ConnectToPort(simulator.portPath()) != std::nullopt) {
            qWarning("the simulator's port did not open");
        }
        const auto* temperature = window->findChild<QLabel*>(QStringLiteral("lTemp"));
        if (!QTest::qWaitFor([&] { return temperature->text().endsWith(u'C'); }, 5000)) {
            qWarning("no reading came in");
        }
        return window;
    }

    // The message box open over `window` (notices and alarms open window-modal), or none.
    static QMessageBox* openBox(TForm1& window) {
        for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
            if (box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

    static QString shownText(TForm1& window, const char* name) {
        return window.findChild<QLabel*>(QLatin1String(name))->text();
    }

    static QPushButton* button(TForm1& window, const char* name) {
        return window.findChild<QPushButton*>(QLatin1String(name));
    }

    // Starts the Basic control tab's run at `celsius`, as the operator does.
    static void startSingleRun(TForm1& window, const QString& celsius) {
        window.findChild<QLineEdit*>(QStringLiteral("fiSingleSP"))->setText(celsius);
        QTest::mouseClick(button(window, "bStartSingle"), Qt::LeftButton);
    }

    MonotonicClock clock_;
    test::RecordedMessages messages_;
    QTemporaryDir settingsDir_;

  private slots:
    void initTestCase() {
        setUpApplication(*qApp);
        QVERIFY(settingsDir_.isValid());
    }

    // Start, move and resize, close, start again: the window comes back where it was and as
    // large, frame and all, and the saved place stays the same over five starts.
    void positionAndSizeRoundTripOverFiveStarts() {
        const QPoint placed(140, 135);
        const QSize resized(1400, 800);
        for (int start = 0; start < 5; ++start) {
            auto window = startWindow();
            QVERIFY(framed(*window));
            if (start == 0) {
                QCOMPARE(shownCaption(*window), QStringLiteral("Lumas Software"));
                QCOMPARE(window->size(), QSize(TForm1::kClientWidth, TForm1::kClientHeight));
                window->move(placed);
                window->resize(resized);
                QTRY_COMPARE(window->frameGeometry().topLeft(), placed);
                QTRY_COMPARE(window->size(), resized);
                saveScreen(QStringLiteral("main_window"));
            } else {
                QCOMPARE(window->frameGeometry().topLeft(), placed);
                QCOMPARE(window->size(), resized);
            }
            // The tab control grows with the window, down to the status bar.
            const auto* tabs = window->findChild<QWidget*>(QStringLiteral("PageControl1"));
            QVERIFY(tabs->mapTo(window.get(), QPoint(0, tabs->height())).y() >=
                    window->statusBar()->y() - 4);
            QVERIFY(window->close());
            QCOMPARE(savedPosition(settingsPath()), placed);
        }
    }

    // A place and size saved on a larger screen, or on one that is gone, put the window wholly on
    // the screen there is.
    void savedPlaceOffTheScreenIsFittedToIt_data() {
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("larger than the screen")
            << QByteArray("[Settings]\nPosTop=50\nPosLeft=100\nWidth=2400\nHeight=1300\n");
        QTest::newRow("on a monitor to the right")
            << QByteArray("[Settings]\nPosTop=200\nPosLeft=2600\nWidth=1158\nHeight=652\n");
        QTest::newRow("hanging off the bottom")
            << QByteArray("[Settings]\nPosTop=900\nPosLeft=300\nWidth=900\nHeight=600\n");
    }

    void savedPlaceOffTheScreenIsFittedToIt() {
        QFETCH(QByteArray, saved);
        auto window = startWindow(saved);
        QVERIFY(framed(*window));
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY2(screen.contains(window->frameGeometry()),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4 on %5x%6")
                                .arg(window->frameGeometry().x())
                                .arg(window->frameGeometry().y())
                                .arg(window->frameGeometry().width())
                                .arg(window->frameGeometry().height())
                                .arg(screen.width())
                                .arg(screen.height())));
        QVERIFY(window->close());
    }

    void dialogsOpenAtTheirPlacesWithTheirCaptions() {
        auto window = startWindow();
        window->move(100, 80);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(100, 80));
        const auto check = [&]<typename Dialog>(const char* action, const QString& caption,
                                                QPoint offset, const char* screenshot) {
            QPoint openedAt;
            QString shown;
            test::ModalWatch<Dialog> watch(
                [&](Dialog& dialog) {
                    openedAt = dialog.frameGeometry().topLeft() - window->frameGeometry().topLeft();
                    shown = shownCaption(dialog);
                    saveScreen(QLatin1String(screenshot));
                    dialog.reject();
                },
                [](Dialog& dialog) { return framed(dialog); });
            window->action(QLatin1String(action))->trigger();
            QVERIFY2(watch.seen(), action);
            QCOMPARE(shown, caption);
            QCOMPARE(openedAt, offset);
        };
        check.operator()<AboutDialog>("About1", QStringLiteral("About"), QPoint(130, 120), "about");
        check.operator()<PortSelectionDialog>("miConnect", QStringLiteral("Select COM Port"),
                                              QPoint(155, 100), "port_selection");
        check.operator()<CsvExportDialog>("CSVExport1", QStringLiteral("CSV Export"),
                                          QPoint(400, 250), "csv_export");
        QVERIFY(window->close());
    }

    // Typing a set point over the threshold and then switching to another program, or opening
    // a menu, is not leaving the field: no message comes. Leaving it for the next field is.
    void leavingForAnotherWindowOrAMenuShowsNoMessage() {
        auto window = startWindow("[Temperatures]\r\nEmergencyTemp=280\r\n");
        QVERIFY(window->isActiveWindow());
        auto* t3 = window->findChild<QLineEdit*>(QStringLiteral("fiSP2"));
        t3->setFocus();
        t3->selectAll();
        QTest::keyClicks(t3, QStringLiteral("290"));

        QWidget other;
        other.setWindowTitle(QStringLiteral("Another program"));
        other.resize(300, 200);
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QTRY_VERIFY(!window->isActiveWindow());
        other.close();
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QVERIFY(messages_.shown.empty());

        QMenuBar* menuBar = window->menuBar();
        QAction* file = menuBar->actions().constFirst();
        QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(file).center());
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr &&
                    QApplication::activePopupWidget()->windowHandle()->isExposed());
        saveScreen(QStringLiteral("file_menu_open"));
        QVERIFY(messages_.shown.empty());
        QApplication::activePopupWidget()->close();

        QTRY_VERIFY(window->isActiveWindow());
        t3->setFocus();
        QTest::keyClick(t3, Qt::Key_Tab);
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].kind, QStringLiteral("warning"));
        QVERIFY(window->close());
    }

    void portConfigurationShowsItsForm() {
        sim::SimulatedController simulator;
        auto window = startWindow();
        for (const bool connected : {false, true}) {
            if (connected) {
                QCOMPARE(window->logic().ConnectToPort(simulator.portPath()), std::nullopt);
                QVERIFY(window->controller().Connected());
            }
            messages_.shown.clear();
            QString shown;
            test::ModalWatch<PortConfigDialog> watch(
                [&](PortConfigDialog& form) {
                    shown = shownCaption(form);
                    saveScreen(connected ? QStringLiteral("port_configuration_connected")
                                         : QStringLiteral("port_configuration"));
                    form.reject();
                },
                [](PortConfigDialog& form) { return framed(form); });
            window->action(QStringLiteral("maPortConfiguration"))->trigger();
            QVERIFY(watch.seen());
            QCOMPARE(shown, QStringLiteral("COM port configuration"));
            QCOMPARE(messages_.shown.size(), std::size_t{connected ? 1U : 0U});  // close the port?
            QVERIFY(!window->controller().Connected());
        }
        QVERIFY(window->close());
    }

    // The cut-off's reading is on the chart; once the controller confirms the Stop, an alarm
    // names the threshold, the reading and the time, the status bar keeps the alarm, and no run
    // starts until the operator has acknowledged it.
    void cutOffAlarmMustBeAcknowledged() {
        sim::SimulatedController simulator(frozenAt(30.0));
        auto window = startConnectedWindow(simulator, "[Temperatures]\r\nEmergencyTemp=50\r\n");
        startSingleRun(*window, QStringLiteral("40"));
        QTRY_VERIFY_WITH_TIMEOUT(simulator.running() && simulator.setPoint() == 40.0, 5000);
        QTest::qWait(1500);  // a few points on the chart
        simulator.setTemperature(55.0);
        QTRY_VERIFY_WITH_TIMEOUT(openBox(*window) != nullptr, 15000);
        QMessageBox* alarm = openBox(*window);
        QVERIFY(alarm->text().startsWith(
            "Warning: The emergency temperature  was reached and the controller has been "
            "stopped!  ["));
        QVERIFY(alarm->text().contains(
            QString::fromUtf8("Threshold: 50 °C. The reading that fired the cut-off: 55.0 °C at")));
        QVERIFY(!simulator.running());
        QVERIFY(
            shownText(*window, "statusWarning").startsWith("Warning: The emergency temperature"));
        QVERIFY(!button(*window, "bStartSingle")->isEnabled());
        const auto* chart = window->findChild<TemperatureChart*>(QStringLiteral("Chart1"));
        const ChartPoints& measured = chart->points(TemperatureChart::Series::Measured);
        QVERIFY(!measured.empty());
        QCOMPARE(measured.at(measured.size() - 1).y, 55.0);
        saveScreen(QStringLiteral("cut_off_alarm"));
        alarm->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(button(*window, "bStartSingle")->isEnabled());
        QVERIFY(
            shownText(*window, "statusWarning").startsWith("Warning: The emergency temperature"));
        QVERIFY(window->close());
    }

    // A Stop the controller refuses: the run is stopping, not over. Start stays disabled, the
    // chart goes on, the status bar says what the program waits for, and the operator is told
    // when the Stop is still not confirmed; once the controller carries it out the run ends.
    void refusedStopKeepsTheRunStopping() {
        sim::SimulatedController simulator(frozenAt(30.0));
        auto window = startConnectedWindow(simulator, {});
        startSingleRun(*window, QStringLiteral("40"));
        QTRY_VERIFY_WITH_TIMEOUT(simulator.running(), 5000);
        simulator.setRefuseStop(true);
        QTest::mouseClick(button(*window, "bStopSingle"), Qt::LeftButton);
        QTRY_COMPARE(shownText(*window, "statusRun"), texts::kWaitingForStop);
        QVERIFY(!button(*window, "bStartSingle")->isEnabled());
        const auto* chart = window->findChild<TemperatureChart*>(QStringLiteral("Chart1"));
        const std::size_t points = chart->points(TemperatureChart::Series::Measured).size();
        QTRY_VERIFY_WITH_TIMEOUT(chart->points(TemperatureChart::Series::Measured).size() > points,
                                 5000);
        saveScreen(QStringLiteral("stopping"));
        QTRY_VERIFY_WITH_TIMEOUT(openBox(*window) != nullptr, 20000);
        QVERIFY(openBox(*window)->text().contains(texts::kStopNotConfirmed));
        QVERIFY(simulator.running());
        saveScreen(QStringLiteral("stop_not_confirmed"));
        openBox(*window)->button(QMessageBox::Ok)->click();
        simulator.setRefuseStop(false);
        QTRY_VERIFY_WITH_TIMEOUT(button(*window, "bStartSingle")->isEnabled(), 10000);
        QVERIFY(!simulator.running());
        QVERIFY(shownText(*window, "statusRun").startsWith("Run ended: stopped by the operator"));
        QVERIFY(window->close());
    }

    // No reading for the blind-run limit (6 s here) while the controller carries out what it is
    // sent: the run is stopped, and the operator is told.
    void aRunNobodyCanWatchIsStopped() {
        sim::SimulatedController simulator(frozenAt(30.0));
        auto window = startConnectedWindow(simulator, "[Temperatures]\r\nBlindStopSeconds=6\r\n");
        startSingleRun(*window, QStringLiteral("40"));
        QTRY_VERIFY_WITH_TIMEOUT(simulator.running(), 5000);
        simulator.setFailTemperatureReads(true);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(*window, "statusConnection"), texts::kNoReply, 8000);
        QTRY_VERIFY_WITH_TIMEOUT(!simulator.running(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            shownText(*window, "statusRun").startsWith("Run ended: no readings for 6 s"), 10000);
        QVERIFY(button(*window, "bStartSingle")->isEnabled());
        QVERIFY(openBox(*window) != nullptr);  // the loss of the readings, told once
        saveScreen(QStringLiteral("blind_stop_loss_notice"));
        openBox(*window)->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(openBox(*window) != nullptr &&
                    openBox(*window)->text().startsWith("No reading came in for 6 s"));
        saveScreen(QStringLiteral("blind_stop"));
        openBox(*window)->button(QMessageBox::Ok)->click();
        simulator.setFailTemperatureReads(false);
        QVERIFY(window->close());
    }

    // A programme whose fourth step has no hold time ends after step 3: the operator is asked
    // before it starts, and the total and the curve say three steps.
    // The program was ended by force during a run (a crash, a power cut) and the controller ran
    // on: when the window connects again, the operator is told, with the run and its set point,
    // and chooses to stop the chamber or to go on watching it as a new run linked to the old one.
    void aChamberStillRunningFromAnInterruptedRunIsOffered() {
        const QString archivePath = settingsDir_.filePath(QStringLiteral("runs.sqlite"));
        {
            SqliteRunArchive::Opened opened =
                SqliteRunArchive::open(archivePath, SqliteRunArchive::Access::ReadWrite);
            QVERIFY(opened.archive);
            RunStart start;
            start.singleSetPoint = 60.0;
            start.emergencyThreshold = 280.0;
            start.devicePath = QStringLiteral("/dev/ttyUSB0");
            start.startedAt = QDateTime::currentDateTime().addSecs(-3600);
            ArchiveBatch batch;
            batch.operations.emplace_back(ArchiveBatch::Begin{
                1, {start, QStringLiteral("tech"), QStringLiteral("lab"), {}, {}}});
            batch.operations.emplace_back(
                ArchiveBatch::Readings{1, {{3'540'000, 59.8, 60.0, 0, LinkHealth::State::Live}}});
            QVERIFY(!opened.archive->write(batch));
        }
        sim::SimulatedController simulator(frozenAt(59.9));
        simulator.setSetPoint(60.0);
        simulator.setRunning(true);
        ArchiveWriter archive(archivePath);
        auto window = std::make_unique<TForm1>(clock_, settingsPath());
        window->show();
        QVERIFY(QTest::qWaitFor([&] { return framed(*window); }, 5000));
        window->logic().recordRunsIn(archive, archive.recovered(std::chrono::seconds(10)));
        QString told;
        test::ModalWatch<QMessageBox> watch(
            [&](QMessageBox& box) {
                told = box.text();
                saveScreen(QStringLiteral("interrupted_run_offered"));
                box.button(QMessageBox::No)->click();  // "Go on watching"
            },
            [](QMessageBox& box) { return framed(box); });
        QVERIFY(window->logic().ConnectToPort(simulator.portPath()) == std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(watch.seen(), 10000);
        QVERIFY2(told.startsWith("The chamber is still running from run 1, started "),
                 qPrintable(told));
        QTRY_VERIFY_WITH_TIMEOUT(window->logic().run().active(), 5000);
        QVERIFY(simulator.running());
        QCOMPARE(shownText(*window, "statusRun").isEmpty(), false);
        QTest::mouseClick(button(*window, "bStopSingle"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window->logic().run().active(), 10000);
        const std::optional<RunRecord> record = window->logic().reportRecord();
        QVERIFY(record.has_value());
        QCOMPARE(record->run.continues, std::optional<std::int64_t>(1));
        QVERIFY(window->close());
    }

    void aProgrammeThatEndsEarlySaysSoBeforeItStarts() {
        sim::SimulatedController simulator(frozenAt(30.0));
        auto window = startConnectedWindow(simulator, {});
        const auto type = [&](const QString& name, const QString& text) {
            window->findChild<QLineEdit*>(name)->setText(text);
        };
        for (int k = 0; k < 3; ++k) {
            type(QStringLiteral("fiSP%1").arg(k), QString::number(40 + 5 * k));
            type(QStringLiteral("fiSP%1t").arg(k), QStringLiteral("1"));
        }
        type(QStringLiteral("fiSP3t"), QStringLiteral("0"));
        type(QStringLiteral("fiSP4"), QStringLiteral("80"));
        type(QStringLiteral("fiSP4t"), QStringLiteral("1"));
        QCOMPARE(shownText(*window, "lTotalTime"),
                 QStringLiteral("3 Minutes (step 5 will not run)"));
        window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
        QString asked;
        test::ModalWatch<QMessageBox> watch(
            [&](QMessageBox& box) {
                asked = box.text();
                saveScreen(QStringLiteral("programme_ends_early"));
                box.button(QMessageBox::Yes)->click();
            },
            [](QMessageBox& box) { return framed(box); });
        QTest::mouseClick(button(*window, "bStartMulti"), Qt::LeftButton);
        QVERIFY(watch.seen());
        QCOMPARE(asked, QStringLiteral("Step 5 will not run: t4 is 0, which ends the programme "
                                       "after step 3.\nStart the programme of 3 step(s) anyway?"));
        QTRY_VERIFY_WITH_TIMEOUT(simulator.running(), 5000);
        const auto* chart = window->findChild<TemperatureChart*>(QStringLiteral("Chart1"));
        QCOMPARE(chart->points(TemperatureChart::Series::Target).size(), std::size_t{7});
        QCOMPARE(shownText(*window, "lTotal"), QStringLiteral("3"));
        QTRY_VERIFY(shownText(*window, "lStep").startsWith("Step 1 of 3"));
        saveScreen(QStringLiteral("programme_running"));
        QTest::mouseClick(button(*window, "bStopMulti"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(button(*window, "bStartMulti")->isEnabled(), 10000);
        QVERIFY(window->close());
    }
};

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::DesktopSmokeTest)
#include "desktop_smoke_test.moc"
