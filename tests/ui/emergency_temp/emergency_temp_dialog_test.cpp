// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The emergency temperature dialog: its face, the threshold loaded from and stored into the
// settings file on every way of closing, and the read-only field during a run.

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "core/settings_store.h"
#include "core/shared_state.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "ui/emergency_temp_dialog.h"
#include "ui/numeric_fields.h"

namespace lumas::ui {

class EmergencyTempDialogTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    QString settingsPath() const { return settingsDir->filePath("Settings.ini"); }
    std::unique_ptr<QTemporaryDir> settingsDir;

  private slots:
    void initTestCase();
    void init();
    void showsTheDefaultCentredOnTheScreen();
    void everyWayOfClosingStoresTheField_data();
    void everyWayOfClosingStoresTheField();
    void duringARunTheFieldIsReadOnly();
    void aSettingsFileThatCannotBeWrittenIsReported();
};

void EmergencyTempDialogTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void EmergencyTempDialogTest::init() {
    settingsDir = std::make_unique<QTemporaryDir>();
}

void EmergencyTempDialogTest::showsTheDefaultCentredOnTheScreen() {
    SharedState state;
    test::RecordedMessages messages;
    QWidget mainWindow;
    mainWindow.move(100, 50);
    EmergencyTempDialog dialog(&mainWindow, settingsPath(), state, &messages);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Emergency Temperature cut off"));
    QCOMPARE(dialog.size(), QSize(379, 135));
    QVERIFY(test::fixedWithCloseBoxOnly(dialog));
    const QSize screen = dialog.screen()->geometry().size();
    const QSize outer = dialog.frameGeometry().size();
    QCOMPARE(dialog.frameGeometry().topLeft(),
             QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));

    auto* field = dialog.findChild<DecimalField*>("advEmergencyTemp");
    QCOMPARE(field->text(), QStringLiteral("280.0"));
    QVERIFY(!field->isReadOnly());
    QVERIFY(field->toolTip().isEmpty());
    QVERIFY(field->alignment().testFlag(Qt::AlignRight));
    QCOMPARE(field->maxLength(), 32767);  // no length limit
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
        QVERIFY2(test::onScreen(*label, dialog), qPrintable(label->text()));
    }
    QCOMPARE(labels, (QStringList{"Threshold value:", " °C",
                                  "Note: Controller will stop if the temperature will exceed the "
                                  "threshold value "}));
    const auto* unit = dialog.findChild<QLabel*>("advEmergencyTempUnit");
    QVERIFY(unit->x() > field->geometry().right());
    QVERIFY(dialog.findChild<QLabel*>("noteLabel")->wordWrap());
    auto* ok = dialog.findChild<QPushButton*>("OKBtn");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(dialog.findChild<QPushButton*>("CancelBtn")->text(), QStringLiteral("Cancel"));
    QVERIFY(!test::saveScreenshot(dialog, "emergency_temp_dialog").isEmpty());
}

void EmergencyTempDialogTest::everyWayOfClosingStoresTheField_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("OK") << "OK"
                        << "120" << 120.0;
    QTest::newRow("Cancel") << "Cancel"
                            << "95.5" << 95.5;
    QTest::newRow("Enter") << "Enter"
                           << "300.5" << 300.5;
    QTest::newRow("Esc") << "Esc"
                         << "45" << 45.0;
    QTest::newRow("close box") << "close box"
                               << "150" << 150.0;
    QTest::newRow("emptied field") << "OK"
                                   << "" << 0.0;
}

void EmergencyTempDialogTest::everyWayOfClosingStoresTheField() {
    QFETCH(QString, way);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    SharedState state;
    test::RecordedMessages messages;
    EmergencyTempDialog dialog(nullptr, settingsPath(), state, &messages);
    test::ModalWatch<EmergencyTempDialog> watch([&](EmergencyTempDialog& shown) {
        auto* field = shown.findChild<DecimalField*>("advEmergencyTemp");
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, typed);
        if (way == "OK") {
            QTest::mouseClick(shown.findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        } else if (way == "Cancel") {
            QTest::mouseClick(shown.findChild<QPushButton*>("CancelBtn"), Qt::LeftButton);
        } else if (way == "Enter") {
            QTest::keyClick(field, Qt::Key_Return);
        } else if (way == "Esc") {
            QTest::keyClick(field, Qt::Key_Escape);
        } else {
            shown.close();
        }
    });
    dialog.exec();
    QVERIFY(watch.seen());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(readEmergencyTemp(settingsPath()), stored);
    QCOMPARE(state.EmergencyThreshold, stored);
    QVERIFY(messages.shown.empty());

    // The next opening shows the stored value.
    EmergencyTempDialog again(nullptr, settingsPath(), state, &messages);
    again.show();
    QCOMPARE(again.findChild<DecimalField*>("advEmergencyTemp")->value(), stored);
}

void EmergencyTempDialogTest::duringARunTheFieldIsReadOnly() {
    QVERIFY(writeEmergencyTemp(settingsPath(), 150.0).saved);
    SharedState state;
    state.ControlActive = true;
    state.EmergencyThreshold = 280.0;
    test::RecordedMessages messages;
    EmergencyTempDialog dialog(nullptr, settingsPath(), state, &messages);
    dialog.show();
    auto* field = dialog.findChild<DecimalField*>("advEmergencyTemp");
    QCOMPARE(field->text(), QStringLiteral("150.0"));
    QVERIFY(field->isReadOnly());
    QCOMPARE(field->toolTip(), QStringLiteral("Stop the controller to change this value."));
    QTest::keyClicks(field, "9");
    QCOMPARE(field->text(), QStringLiteral("150.0"));
    QVERIFY(!test::saveScreenshot(dialog, "emergency_temp_dialog_during_run").isEmpty());

    dialog.close();
    QCOMPARE(readEmergencyTemp(settingsPath()), 150.0);
    QCOMPARE(state.EmergencyThreshold, 150.0);
}

void EmergencyTempDialogTest::aSettingsFileThatCannotBeWrittenIsReported() {
    // The settings folder's place is taken by a file: the settings cannot be written.
    const QString blocked = settingsDir->filePath("blocked");
    QFile blocker(blocked);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SharedState state;
    test::RecordedMessages messages;
    EmergencyTempDialog dialog(nullptr, blocked + "/Settings.ini", state, &messages);
    dialog.show();
    auto* field = dialog.findChild<DecimalField*>("advEmergencyTemp");
    field->clear();
    QTest::keyClicks(field, "99");
    dialog.close();
    QCOMPARE(state.EmergencyThreshold, 99.0);  // in effect all the same
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].kind, QStringLiteral("warning"));
    QVERIFY2(messages.shown[0].text.startsWith("The settings could not be saved: "),
             qPrintable(messages.shown[0].text));
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::EmergencyTempDialogTest)
#include "emergency_temp_dialog_test.moc"
