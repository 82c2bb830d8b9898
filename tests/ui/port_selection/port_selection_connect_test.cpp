// Connecting through the port selection dialog with the window's logic, to the simulated
// controller: the dialog closes after the connect sequence, also when the port cannot be opened.

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/main_form_logic.h"
#include "dialog_support/modal_watch.h"
#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "tests/core/main_form/fake_window.h"
#include "tests/support/fake_clock.h"
#include "ui/port_selection_dialog.h"

namespace lumas::ui {

class PortSelectionConnectTest : public QObject {
    Q_OBJECT

  private slots:
    void connectRunsTheConnectSequence_data();
    void connectRunsTheConnectSequence();
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

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::PortSelectionConnectTest)
#include "port_selection_connect_test.moc"
