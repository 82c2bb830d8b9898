// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Connecting through the port selection dialog with the window's logic, to the simulated
// controller: the dialog closes after the connect sequence, also when the port cannot be opened.

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/clock.h"
#include "core/connection_settings.h"
#include "core/main_form_logic.h"
#include "dialog_support/modal_watch.h"
#include "protocol/omron_com.h"
#include "serial/port_discovery.h"
#include "sim/simulated_controller.h"
#include "tests/core/main_form/fake_window.h"
#include "tests/support/fake_clock.h"
#include "tests/support/pty_pair.h"
#include "tests/support/simulator_link.h"
#include "ui/main_window.h"
#include "ui/port_selection_dialog.h"

namespace lumas::ui {

class PortSelectionConnectTest : public QObject {
    Q_OBJECT

  private slots:
    void connectRunsTheConnectSequence_data();
    void connectRunsTheConnectSequence();
    void thePortIsRememberedOnlyWhenReadingsComeIn_data();
    void thePortIsRememberedOnlyWhenReadingsComeIn();
    void startUpReconnectFollowsTheSetting_data();
    void startUpReconnectFollowsTheSetting();
    void theWindowReconnectsOnceShown();
};

void PortSelectionConnectTest::connectRunsTheConnectSequence_data() {
    QTest::addColumn<bool>("portExists");
    QTest::newRow("controller answers") << true;
    QTest::newRow("port cannot be opened") << false;
}

void PortSelectionConnectTest::connectRunsTheConnectSequence() {
    QFETCH(bool, portExists);
    sim::SimulatedControllerOptions frozen;
    frozen.timeScale = 0.0;
    sim::SimulatedController sim(frozen);
    TComPort port;
    applyControllerLinkDefaults(port);
    TOmronCom controller;
    controller.SetCOMPort(&port);
    controller.SetNodeNumber(1);
    test::FakeClock clock(0, 10);  // the connect sequence's waits at ten times the speed
    test::FakeWindow window;
    QTemporaryDir settingsDir;
    MainFormLogic logic(controller, port, window.ports, clock,
                        settingsDir.filePath("Settings.ini"));

    const std::string portName = portExists ? sim.portPath() : std::string("/dev/lumas-missing");
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        nullptr, [&](const std::string& name) { return logic.ConnectToPort(name); }, &messages,
        [&] { return std::vector<std::string>{portName}; });
    test::ModalWatch<PortSelectionDialog> watch([](PortSelectionDialog& shown) {
        QTest::mouseClick(shown.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(watch.seen());
    QVERIFY(messages.shown.empty());
    QCOMPARE(port.DeviceName(), portName);
    QCOMPARE(controller.Connected(), portExists);
    QCOMPARE(logic.workerRunning(), portExists);
    QCOMPARE(window.statusConnection.text, portExists ? QStringLiteral("Connected") : QString());
}

void PortSelectionConnectTest::thePortIsRememberedOnlyWhenReadingsComeIn_data() {
    QTest::addColumn<QString>("port");
    QTest::newRow("the controller answers") << "simulator";
    QTest::newRow("the port cannot be opened") << "missing";
    QTest::newRow("the port opens, nobody answers") << "silent";
}

void PortSelectionConnectTest::thePortIsRememberedOnlyWhenReadingsComeIn() {
    QFETCH(QString, port);
    sim::SimulatedController sim(test::frozenChamber());
    test::PtyPair silent;
    TComPort comPort;
    applyControllerLinkDefaults(comPort);
    TOmronCom controller;
    controller.SetCOMPort(&comPort);
    controller.SetNodeNumber(1);
    test::FakeClock clock(0, 10);  // the connect sequence and link health at ten times the speed
    test::FakeWindow window;
    QTemporaryDir settingsDir;
    const QString settings = settingsDir.filePath("Settings.ini");
    MainFormLogic logic(controller, comPort, window.ports, clock, settings);
    LastPortMemory memory(comPort, settings);
    logic.addObserver(&memory);

    const std::string portName = port == "simulator" ? sim.portPath()
                                 : port == "silent"  ? silent.slavePath()
                                                     : std::string("/dev/lumas-missing");
    QCOMPARE(logic.ConnectToPort(portName), std::nullopt);
    if (port == "simulator") {
        QTRY_COMPARE(readConnectionSettings(settings).lastPort, QString::fromStdString(portName));
    } else {
        // Long enough for the link to be given up as silent: readings would have come by then.
        QTRY_VERIFY(logic.linkHealth().state() != LinkHealth::State::Waiting);
        QVERIFY(readConnectionSettings(settings).lastPort.isEmpty());
    }
    logic.removeObserver(&memory);
    logic.DisconnectWithoutAsking();
}

void PortSelectionConnectTest::startUpReconnectFollowsTheSetting_data() {
    QTest::addColumn<QByteArray>("connection");  // the [Connection] section; %1: the port
    QTest::addColumn<bool>("demo");
    QTest::addColumn<bool>("connects");
    QTest::newRow("off by default") << QByteArray("LastPort=%1\r\n") << false << false;
    QTest::newRow("on") << QByteArray("LastPort=%1\r\nReconnectAtStart=1\r\n") << false << true;
    QTest::newRow("on, nothing remembered")
        << QByteArray("ReconnectAtStart=1\r\n") << false << false;
    QTest::newRow("on, in the demonstration")
        << QByteArray("LastPort=%1\r\nReconnectAtStart=1\r\n") << true << false;
}

void PortSelectionConnectTest::startUpReconnectFollowsTheSetting() {
    QFETCH(QByteArray, connection);
    QFETCH(bool, demo);
    QFETCH(bool, connects);
    sim::SimulatedController sim(test::frozenChamber());
    TComPort port;
    applyControllerLinkDefaults(port);
    TOmronCom controller;
    controller.SetCOMPort(&port);
    controller.SetNodeNumber(1);
    test::FakeClock clock(0, 10);
    test::FakeWindow window;
    QTemporaryDir settingsDir;
    const QString settings = settingsDir.filePath("Settings.ini");
    {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "[Connection]\r\n" +
            QString::fromLatin1(connection).arg(QString::fromStdString(sim.portPath())).toUtf8());
    }
    MainFormLogic logic(controller, port, window.ports, clock, settings);
    if (demo) {
        setAdditionalPortNames({"/tmp/lumas-demo/simulated-controller"});
    }
    const std::string portBefore = port.DeviceName();
    QStringList told;
    const bool tried =
        reconnectAtStart(logic, settings, [&](const QString& text) { told << text; });
    setAdditionalPortNames({});
    QCOMPARE(tried, connects);
    QCOMPARE(controller.Connected(), connects);
    if (connects) {
        QCOMPARE(told, (QStringList{"Connecting to " + QString::fromStdString(sim.portPath()) +
                                        QStringLiteral(" …"),
                                    QString()}));
        QCOMPARE(window.statusConnection.text, QStringLiteral("Connected"));
        QVERIFY(logic.workerRunning());
        logic.DisconnectWithoutAsking();
    } else {
        QVERIFY(told.isEmpty());
        QCOMPARE(port.DeviceName(), portBefore);
    }
}

void PortSelectionConnectTest::theWindowReconnectsOnceShown() {
    // The port remembered is gone: the window says so and goes on; then it is back.
    sim::SimulatedController sim(test::frozenChamber());
    QTemporaryDir settingsDir;
    const QString settings = settingsDir.filePath("Settings.ini");
    const QString missing = settingsDir.filePath("ttyUSB9");
    QVERIFY(writeReconnectAtStart(settings, true).saved);
    QVERIFY(writeLastPort(settings, missing).saved);
    MonotonicClock clock;
    test::RecordedMessages messages;
    {
        TForm1 window(clock, settings, &messages);
        auto* warning = window.findChild<QLabel*>("statusWarning");
        QVERIFY(warning->text().isEmpty());
        window.show();
        QTRY_VERIFY(!warning->text().isEmpty());
        QVERIFY2(warning->text().startsWith("There is no port " + missing +
                                            ". Lumas did not connect at start."),
                 qPrintable(warning->text()));
        QVERIFY(!window.controller().Connected());
        window.close();
    }
    QVERIFY(messages.shown.empty());

    const QString simulator = QString::fromStdString(sim.portPath());
    QVERIFY(writeLastPort(settings, simulator).saved);
    TForm1 window(clock, settings, &messages);
    auto* connection = window.findChild<QLabel*>("statusConnection");
    auto* warning = window.findChild<QLabel*>("statusWarning");
    window.show();
    QTRY_COMPARE(connection->text(), QStringLiteral("Connected"));
    QTRY_VERIFY(window.logic().linkHealth().live());
    QVERIFY(warning->text().isEmpty());
    QVERIFY(window.action("miConnect")->isEnabled());
    QCOMPARE(readConnectionSettings(settings).lastPort, simulator);
    QVERIFY(messages.shown.empty());
    window.close();
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::PortSelectionConnectTest)
#include "port_selection_connect_test.moc"
