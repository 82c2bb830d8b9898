// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The whole program on the simulated controller, as demo mode runs it: connect, watch the
// read-outs, run a two-step programme with its target staircase and measured curve, stop it.
// Screenshots of the window land in the test's working folder for the eye.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "dialog_support/modal_watch.h"
#include "serial/port_discovery.h"
#include "sim/simulated_controller.h"
#include "support/fake_clock.h"
#include "ui/chart_report.h"
#include "ui/chart_widget.h"
#include "ui/main_window.h"
#include "ui/port_selection_dialog.h"
#include "ui/visual_style.h"

using lumas::test::FakeClock;
using lumas::test::RecordedMessages;
using lumas::ui::TemperatureChart;
using lumas::ui::TForm1;

class DemoRunTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { lumas::ui::applyVisualStyle(*qApp); }

    void programmeRunsWithItsCurvesAndStopReenablesTheInputs() {
        lumas::sim::SimulatedControllerOptions chamber;
        chamber.timeScale = 120.0;  // heats visibly within the test
        chamber.timeConstantSeconds = 60.0;
        lumas::sim::SimulatedController simulator(chamber);
        FakeClock clock(0, 40);  // programme minutes pass 40 times faster
        QTemporaryDir settings;
        RecordedMessages messages;
        TForm1 window(clock, settings.filePath(QStringLiteral("Settings.ini")), &messages);
        window.show();
        auto* chart = window.findChild<TemperatureChart*>(QStringLiteral("Chart1"));
        QVERIFY(chart != nullptr);

        // File > Connect lists the simulator's port, as demo mode does; the operator picks it.
        lumas::setAdditionalPortNames({simulator.portPath()});
        const QString simulatorPort = QString::fromStdString(simulator.portPath());
        lumas::test::ModalWatch<lumas::ui::PortSelectionDialog> pick(
            [&](lumas::ui::PortSelectionDialog& dialog) {
                auto* list = dialog.findChild<QListWidget*>(QStringLiteral("COMList"));
                const auto found = list->findItems(simulatorPort, Qt::MatchExactly);
                if (!found.isEmpty()) {
                    list->setCurrentItem(found.first());
                }
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("bConnect")),
                                  Qt::LeftButton);
            });
        window.action(QStringLiteral("miConnect"))->trigger();
        QVERIFY(pick.seen());
        QCOMPARE(window.comPort().DeviceName(), simulator.portPath());
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("statusConnection"))->text(),
                 QStringLiteral("Connected"));
        auto* temperature = window.findChild<QLabel*>(QStringLiteral("lTemp"));
        QTRY_VERIFY_WITH_TIMEOUT(temperature->text().endsWith(QStringLiteral("°C")), 5000);

        const auto field = [&](const QString& name, const QString& text) {
            window.findChild<QLineEdit*>(name)->setText(text);
        };
        field(QStringLiteral("fiSP0"), QStringLiteral("45.0"));
        field(QStringLiteral("fiSP0t"), QStringLiteral("2"));
        field(QStringLiteral("fiSP1"), QStringLiteral("60.0"));
        field(QStringLiteral("fiSP1t"), QStringLiteral("2"));
        auto* start = window.findChild<QPushButton*>(QStringLiteral("bStartMulti"));
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!start->isEnabled());
        QCOMPARE(chart->points(TemperatureChart::Series::Target).size(), std::size_t{5});

        QTRY_VERIFY_WITH_TIMEOUT(window.logic().state().CurrentStep == 2, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            chart->points(TemperatureChart::Series::Measured).size() >= std::size_t{4}, 10000);
        QCOMPARE(simulator.setPoint(), 60.0);
        QVERIFY(simulator.running());
        window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
        QVERIFY(window.grab().save(QStringLiteral("main_window_programme.png")));

        // The report of this run, for the eye (pdftoppm turns it into a picture).
        QVERIFY(lumas::ui::ChartReport(*chart).exportPdf(QStringLiteral("chart_report.pdf")));

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("bStopMulti")),
                          Qt::LeftButton);
        // The run ends, and Start comes back, once the controller confirms the Stop.
        QVERIFY(!start->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!simulator.running(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 8000);
        QVERIFY(window.findChild<QLineEdit*>(QStringLiteral("fiSP0"))->isEnabled());
        QVERIFY(messages.shown.empty());
        window.close();
        lumas::setAdditionalPortNames({});
    }
};

QTEST_MAIN(DemoRunTest)
#include "demo_run_test.moc"
