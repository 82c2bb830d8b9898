// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The SP ramp dialog against the simulated controller: what it shows of the controller's ramp,
// what "Apply" writes, and that every way of closing it starts the monitoring worker again.

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

#include "core/clock.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "threading/event_wait.h"
#include "ui/numeric_fields.h"
#include "ui/sp_ramp_dialog.h"

namespace lumas::ui {

namespace {

const std::string kWriteRampSetValue = "0102810025000001";
const std::string kWriteRampFallValue = "010281003C000001";
const std::string kReadRampSetValue = "0101810025000001";
const std::string kReadRampFallValue = "010181003C000001";

}  // namespace

class SpRampDialogTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    // The controller's ramp as a write sets it.
    void setControllerRamp(double setValue, double fallValue);
    // The controller's ramp as the driver reads it back.
    std::pair<double, double> readControllerRamp();
    // A dialog whose waits end once the controller's reply is in, so that a busy machine cannot
    // make a reply miss its wait.
    std::unique_ptr<SpRampDialog> makeDialog();
    // Shows the dialog and waits until it has read and shown the ramp.
    void showAndRead(SpRampDialog& dialog);
    std::vector<std::string> commandsSince(std::size_t first) const;

    std::unique_ptr<sim::SimulatedController> sim;
    std::unique_ptr<TComPort> port;
    std::unique_ptr<TOmronCom> controller;
    MonotonicClock clock;
    std::vector<std::string> log;  // "wait", "restart": what the dialog did, in order

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void showsTheControllersRamp_data();
    void showsTheControllersRamp();
    void applyWritesTheFieldsOrZeros_data();
    void applyWritesTheFieldsOrZeros();
    void disablingAndEnablingAgainLeavesZeros();
    void everyWayOfClosingRestartsTheWorker_data();
    void everyWayOfClosingRestartsTheWorker();
    void closingWhileApplyingWaitsForTheWrites();
};

void SpRampDialogTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void SpRampDialogTest::init() {
    sim::SimulatedControllerOptions frozen;
    frozen.timeScale = 0.0;
    sim = std::make_unique<sim::SimulatedController>(frozen);
    sim->setCommunicationsWriting(true);
    port = std::make_unique<TComPort>();
    applyControllerLinkDefaults(*port);
    port->SetDeviceName(sim->portPath());
    controller = std::make_unique<TOmronCom>();
    controller->SetCOMPort(port.get());
    controller->SetNodeNumber(1);
    QCOMPARE(controller->OpenPort(), 0);
    QVERIFY(
        serveEventsUntil([&] { return controller->StatusOk() && controller->CommandType() == 0; },
                         std::chrono::milliseconds(2000)));
    log.clear();
}

void SpRampDialogTest::cleanup() {
    controller.reset();
    port.reset();
    sim.reset();
}

void SpRampDialogTest::setControllerRamp(double setValue, double fallValue) {
    controller->SetRSV(setValue);
    QVERIFY(serveEventsUntil([&] { return controller->CommandType() == 0; },
                             std::chrono::milliseconds(2000)));
    controller->SetRFV(fallValue);
    QVERIFY(serveEventsUntil([&] { return controller->CommandType() == 0; },
                             std::chrono::milliseconds(2000)));
}

std::pair<double, double> SpRampDialogTest::readControllerRamp() {
    controller->ReadRampSetValue();
    serveEventsUntil([&] { return controller->CommandType() == 0; },
                     std::chrono::milliseconds(2000));
    controller->ReadRampFallValue();
    serveEventsUntil([&] { return controller->CommandType() == 0; },
                     std::chrono::milliseconds(2000));
    return {controller->RampSetValue(), controller->RampFallValue()};
}

std::unique_ptr<SpRampDialog> SpRampDialogTest::makeDialog() {
    return std::make_unique<SpRampDialog>(
        nullptr, *controller,
        [this](std::chrono::milliseconds pause) {
            log.push_back("wait");
            DelayMs(clock, pause);
            serveEventsUntil([&] { return controller->CommandType() == 0; },
                             std::chrono::milliseconds(2000));
        },
        [this] { log.push_back("restart"); });
}

void SpRampDialogTest::showAndRead(SpRampDialog& dialog) {
    dialog.show();
    auto* enable = dialog.findChild<QRadioButton*>("rEnable");
    auto* disable = dialog.findChild<QRadioButton*>("rDisable");
    QTRY_VERIFY(enable->isChecked() || disable->isChecked());
}

std::vector<std::string> SpRampDialogTest::commandsSince(std::size_t first) const {
    const auto all = sim->receivedCommands();
    return {all.begin() + static_cast<long>(first), all.end()};
}

void SpRampDialogTest::showsTheControllersRamp_data() {
    QTest::addColumn<double>("setValue");
    QTest::addColumn<double>("fallValue");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("setText");
    QTest::addColumn<QString>("fallText");
    QTest::newRow("no ramp") << 0.0 << 0.0 << false << "0"
                             << "0";
    QTest::newRow("fall only") << 0.0 << 1.5 << true << "0"
                               << "1.5";
    QTest::newRow("rise only") << 2.5 << 0.0 << true << "2.5"
                               << "0";
    QTest::newRow("both") << 120.0 << 10.0 << true << "120"
                          << "10";
}

void SpRampDialogTest::showsTheControllersRamp() {
    QFETCH(double, setValue);
    QFETCH(double, fallValue);
    QFETCH(bool, enabled);
    QFETCH(QString, setText);
    QFETCH(QString, fallText);
    setControllerRamp(setValue, fallValue);
    const std::size_t before = sim->requestCount();

    auto dialog = makeDialog();
    auto* enable = dialog->findChild<QRadioButton*>("rEnable");
    auto* disable = dialog->findChild<QRadioButton*>("rDisable");
    QVERIFY(!enable->isChecked() && !disable->isChecked());
    showAndRead(*dialog);

    QCOMPARE(commandsSince(before),
             (std::vector<std::string>{kReadRampSetValue, kReadRampFallValue}));
    QCOMPARE(enable->isChecked(), enabled);
    QCOMPARE(disable->isChecked(), !enabled);
    auto* setField = dialog->findChild<DecimalField*>("RampSetValue");
    auto* fallField = dialog->findChild<DecimalField*>("RampFallValue");
    QCOMPARE(setField->text(), setText);
    QCOMPARE(fallField->text(), fallText);
    QCOMPARE(setField->isEnabled(), enabled);
    QCOMPARE(fallField->isEnabled(), enabled);
    QCOMPARE(dialog->focusWidget(), dialog->findChild<QPushButton*>("bApply"));
    QVERIFY(log.empty() || log == (std::vector<std::string>{"wait", "wait"}));

    if (QTest::currentDataTag() == QStringLiteral("fall only")) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("SP Ramp Settings"));
        QCOMPARE(dialog->size(), QSize(552, 226));
        QVERIFY(test::fixedWithCloseBoxOnly(*dialog));
        QCOMPARE(dialog->font().pixelSize(), 11);
        QStringList captions;
        for (const QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
            captions << group->title();
            QCOMPARE(group->font().pixelSize(), 13);
        }
        QCOMPARE(captions, (QStringList{"SP Ramp", "SP Ramp change rate settings"}));
        QStringList labels;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            labels << label->text();
            QVERIFY(test::onScreen(*label, *dialog));
        }
        QCOMPARE(labels, (QStringList{"SP Ramp Set Value:", "SP Ramp Fall Value:"}));
        QCOMPARE(enable->text(), QStringLiteral("Enable"));
        QCOMPARE(disable->text(), QStringLiteral("Disable"));
        QCOMPARE(dialog->findChild<QPushButton*>("bApply")->text(), QStringLiteral("&Apply"));
        QCOMPARE(dialog->findChild<QPushButton*>("bClose")->text(), QStringLiteral("&Close"));
        QVERIFY(!test::saveScreenshot(*dialog, "sp_ramp_dialog").isEmpty());
    }
}

void SpRampDialogTest::applyWritesTheFieldsOrZeros_data() {
    QTest::addColumn<bool>("disable");
    QTest::addColumn<QString>("typedSet");
    QTest::addColumn<QString>("typedFall");
    QTest::addColumn<std::string>("sentSet");
    QTest::addColumn<std::string>("sentFall");
    QTest::addColumn<double>("storedSet");
    QTest::addColumn<double>("storedFall");
    QTest::newRow("typed values") << false << "3.5"
                                  << "1" << std::string("0023") << std::string("000A") << 3.5
                                  << 1.0;
    QTest::newRow("fields both 0")
        << false << "0"
        << "" << std::string("0000") << std::string("0000") << 0.0 << 0.0;
    QTest::newRow("Disable ticked")
        << true << ""
        << "" << std::string("0000") << std::string("0000") << 0.0 << 0.0;
}

void SpRampDialogTest::applyWritesTheFieldsOrZeros() {
    QFETCH(bool, disable);
    QFETCH(QString, typedSet);
    QFETCH(QString, typedFall);
    QFETCH(std::string, sentSet);
    QFETCH(std::string, sentFall);
    QFETCH(double, storedSet);
    QFETCH(double, storedFall);
    setControllerRamp(2.5, 1.5);
    auto dialog = makeDialog();
    showAndRead(*dialog);
    auto* setField = dialog->findChild<DecimalField*>("RampSetValue");
    auto* fallField = dialog->findChild<DecimalField*>("RampFallValue");
    if (disable) {
        dialog->findChild<QRadioButton*>("rDisable")->click();
    } else {
        setField->clear();
        QTest::keyClicks(setField, typedSet);
        fallField->clear();
        QTest::keyClicks(fallField, typedFall);
    }
    const std::size_t before = sim->requestCount();
    log.clear();
    QTest::mouseClick(dialog->findChild<QPushButton*>("bApply"), Qt::LeftButton);

    QCOMPARE(commandsSince(before), (std::vector<std::string>{kWriteRampSetValue + sentSet,
                                                              kWriteRampFallValue + sentFall}));
    QCOMPARE(log, (std::vector<std::string>{"wait", "wait"}));
    QVERIFY2(dialog->isVisible(), "Apply leaves the dialog open");
    QCOMPARE(readControllerRamp(), std::make_pair(storedSet, storedFall));
}

void SpRampDialogTest::disablingAndEnablingAgainLeavesZeros() {
    setControllerRamp(2.5, 1.5);
    auto dialog = makeDialog();
    showAndRead(*dialog);
    auto* setField = dialog->findChild<DecimalField*>("RampSetValue");
    auto* fallField = dialog->findChild<DecimalField*>("RampFallValue");
    QCOMPARE(setField->text(), QStringLiteral("2.5"));
    dialog->findChild<QRadioButton*>("rDisable")->click();
    QVERIFY(!setField->isEnabled() && !fallField->isEnabled());
    dialog->findChild<QRadioButton*>("rEnable")->click();
    QVERIFY(setField->isEnabled() && fallField->isEnabled());
    QCOMPARE(setField->value(), 0.0);
    QCOMPARE(fallField->value(), 0.0);
}

void SpRampDialogTest::everyWayOfClosingRestartsTheWorker_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Close") << "Close";
    QTest::newRow("Alt+C") << "Alt+C";
    QTest::newRow("close box") << "close box";
    QTest::newRow("Esc") << "Esc";
}

void SpRampDialogTest::everyWayOfClosingRestartsTheWorker() {
    QFETCH(QString, way);
    auto dialog = makeDialog();
    test::ModalWatch<SpRampDialog> watch(
        [&](SpRampDialog& shown) {
            if (way == "Close") {
                QTest::mouseClick(shown.findChild<QPushButton*>("bClose"), Qt::LeftButton);
            } else if (way == "Alt+C") {
                QTest::keyClick(&shown, Qt::Key_C, Qt::AltModifier);
            } else if (way == "close box") {
                shown.close();
            } else {
                QTest::keyClick(&shown, Qt::Key_Escape);
            }
        },
        [](SpRampDialog& shown) {  // the ramp has been read and shown
            return shown.findChild<QRadioButton*>("rDisable")->isChecked();
        });
    dialog->exec();
    QVERIFY(watch.seen());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(log, (std::vector<std::string>{"wait", "wait", "restart"}));
}

void SpRampDialogTest::closingWhileApplyingWaitsForTheWrites() {
    SpRampDialog* shown = nullptr;
    auto dialog = std::make_unique<SpRampDialog>(
        nullptr, *controller,
        [&](std::chrono::milliseconds pause) {
            log.push_back("wait");
            DelayMs(clock, pause);
            serveEventsUntil([&] { return controller->CommandType() == 0; },
                             std::chrono::milliseconds(2000));
            if (log.size() == 3) {
                shown->close();  // the close box during Apply's first wait
            }
        },
        [&] { log.push_back("restart"); });
    shown = dialog.get();
    showAndRead(*dialog);
    const std::size_t before = sim->requestCount();
    QTest::mouseClick(dialog->findChild<QPushButton*>("bApply"), Qt::LeftButton);
    QCOMPARE(log, (std::vector<std::string>{"wait", "wait", "wait", "wait", "restart"}));
    QCOMPARE(commandsSince(before).size(), std::size_t{2});
    QVERIFY(!dialog->isVisible());
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::SpRampDialogTest)
#include "sp_ramp_dialog_test.moc"
