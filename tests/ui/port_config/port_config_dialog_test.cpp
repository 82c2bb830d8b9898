// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The port configuration form's face: its controls as the form fills them, the user rate field
// following the baud-rate choice, and OK and Cancel through the configuration dialog into the port.

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QtTest>

#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "serial/com_config.h"
#include "serial/com_port.h"
#include "ui/port_config_dialog.h"

namespace lumas::ui {

class PortConfigDialogTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    // The caption of the ticked button of radio group `name`.
    static QString ticked(const QDialog& dialog, const char* name) {
        for (const QRadioButton* button :
             dialog.findChild<QGroupBox*>(name)->findChildren<QRadioButton*>()) {
            if (button->isChecked()) {
                return button->text();
            }
        }
        return {};
    }
    static void tick(QDialog& dialog, const char* name, const QString& caption) {
        for (QRadioButton* button :
             dialog.findChild<QGroupBox*>(name)->findChildren<QRadioButton*>()) {
            if (button->text() == caption) {
                button->click();
            }
        }
    }
    // Runs the port's configuration dialog with the desktop program's runner; `act` works the
    // form and closes it.
    static bool execute(TCustomComPort& port, const std::function<void(QDialog&)>& act,
                        QWidget* owner = nullptr) {
        TComConfigDialog configuration;
        configuration.Comm = &port;
        configuration.runForm = portConfigFormRunner(owner);
        test::ModalWatch<PortConfigDialog> watch([&](PortConfigDialog& shown) { act(shown); });
        const bool ok = configuration.Execute();
        if (!watch.seen()) {
            qFatal("the form was not shown");
        }
        return ok;
    }

  private slots:
    void showsTheStartUpValues();
    void userRateFieldFollowsTheBaudRate();
    void okAndCancelThroughTheConfigurationDialog();
    void dtrRtsIsShownWhenBothModesAreSet();
    void theRunnerShowsTheFormOverItsOwner();
    void oneAndAHalfStopBitsAreRefused();
};

void PortConfigDialogTest::showsTheStartUpValues() {
    TComPort port;
    applyControllerLinkDefaults(port);
    PortConfigDialog dialog(loadComConfigForm(port, {"ttyS0", "COM7", "ttyUSB0"}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("COM port configuration"));
    QCOMPARE(dialog.size(), QSize(405, 269));
    QVERIFY(test::fixedWithCloseBoxOnly(dialog));
    QCOMPARE(dialog.font().pointSize(), 8);
    // Centred on the screen with its frame.
    const QSize screen = dialog.screen()->geometry().size();
    const QSize outer = dialog.frameGeometry().size();
    QCOMPARE(dialog.frameGeometry().topLeft(),
             QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));

    auto* ports = dialog.findChild<QComboBox*>("COMPORTS");
    QCOMPARE(ports->count(), 3);
    QCOMPARE(ports->currentText(), QStringLiteral("COM7"));
    QVERIFY(!ports->isEditable());
    auto* rates = dialog.findChild<QComboBox*>("BAUDRATES");
    QCOMPARE(rates->count(), 16);
    QCOMPARE(rates->itemText(0), QStringLiteral("user"));
    QCOMPARE(rates->itemText(15), QStringLiteral("256000"));
    QCOMPARE(rates->currentText(), QStringLiteral("9600"));
    QVERIFY(dialog.findChild<QSpinBox*>("USERBAUDRATE")->isHidden());
    QCOMPARE(ticked(dialog, "STOPBITS"), QStringLiteral("2"));
    QCOMPARE(ticked(dialog, "PARITYSETTING"), QStringLiteral("Even"));
    QCOMPARE(ticked(dialog, "DATABITS"), QStringLiteral("7"));
    QCOMPARE(ticked(dialog, "FLOWSETTING"), QStringLiteral("None"));

    QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(), QStringLiteral("COM port:"));
    QCOMPARE(dialog.findChild<QLabel*>("Label2")->text(), QStringLiteral("Baud rate:"));
    QCOMPARE(dialog.findChild<QGroupBox*>("STOPBITS")->title(), QStringLiteral("Stop bits"));
    QCOMPARE(dialog.findChild<QGroupBox*>("PARITYSETTING")->title(), QStringLiteral("Parity"));
    QCOMPARE(dialog.findChild<QGroupBox*>("DATABITS")->title(), QStringLiteral("Data bits"));
    QCOMPARE(dialog.findChild<QGroupBox*>("FLOWSETTING")->title(), QStringLiteral("Flow control"));
    QCOMPARE(dialog.findChild<QGroupBox*>("PARITYSETTING")->geometry(), QRect(204, 75, 190, 97));
    // Parity in two columns, filled column by column: None, Odd, Even | Mark, Space.
    const auto* odd = dialog.findChild<QRadioButton*>("PARITYSETTING_1");
    const auto* mark = dialog.findChild<QRadioButton*>("PARITYSETTING_3");
    QCOMPARE(odd->text(), QStringLiteral("Odd"));
    QCOMPARE(mark->text(), QStringLiteral("Mark"));
    QVERIFY(mark->x() > odd->x());
    QCOMPARE(dialog.findChild<QRadioButton*>("PARITYSETTING_0")->y(), mark->y());
    for (const QRadioButton* button : dialog.findChildren<QRadioButton*>()) {
        QVERIFY2(test::onScreen(*button, *button->parentWidget()), qPrintable(button->text()));
    }
    auto* ok = dialog.findChild<QPushButton*>("Button1");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->geometry(), QRect(238, 235, 75, 25));
    QCOMPARE(dialog.findChild<QPushButton*>("Button2")->text(), QStringLiteral("Cancel"));
    QVERIFY(!test::saveScreenshot(dialog, "port_config_dialog").isEmpty());
}

void PortConfigDialogTest::userRateFieldFollowsTheBaudRate() {
    TComPort port;
    applyControllerLinkDefaults(port);
    PortConfigDialog dialog(loadComConfigForm(port, {}));
    dialog.show();
    auto* rates = dialog.findChild<QComboBox*>("BAUDRATES");
    auto* userRate = dialog.findChild<QSpinBox*>("USERBAUDRATE");
    rates->setCurrentIndex(0);
    QVERIFY(userRate->isVisible());
    QVERIFY(userRate->minimum() < -1000000 && userRate->maximum() > 1000000);
    QVERIFY(!test::saveScreenshot(dialog, "port_config_dialog_user_rate").isEmpty());
    rates->setCurrentText(QStringLiteral("115200"));
    QVERIFY(userRate->isHidden());
    QCOMPARE(dialog.form().baudIndex, 13);
    QVERIFY(!dialog.form().userBaudVisible);
    QCOMPARE(dialog.form().portIndex, -1);
}

void PortConfigDialogTest::okAndCancelThroughTheConfigurationDialog() {
    TComPort port;
    applyControllerLinkDefaults(port);

    // "user" with 12345 and OK.
    QVERIFY(execute(port, [](QDialog& form) {
        form.findChild<QComboBox*>("BAUDRATES")->setCurrentIndex(0);
        auto* userRate = form.findChild<QSpinBox*>("USERBAUDRATE");
        userRate->clear();
        QTest::keyClicks(userRate, "12345");
        tick(form, "PARITYSETTING", "Odd");
        tick(form, "STOPBITS", "1");
        tick(form, "DATABITS", "8");
        tick(form, "FLOWSETTING", "Xon/Xoff");
        QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QCOMPARE(port.Baudrate(), TBaudrate::brUser);
    QCOMPARE(port.UserBaudrate(), 12345);
    QCOMPARE(port.Parity(), TParity::paOdd);
    QCOMPARE(port.Stopbits(), TStopbits::sb1);
    QCOMPARE(port.Databits(), TDatabits::db8);
    QVERIFY(port.FlowControl().XonXoffIn && port.FlowControl().XonXoffOut);

    // Reopened, the user rate shows; Cancel after changes leaves the port as it was.
    QVERIFY(!execute(port, [](QDialog& form) {
        QCOMPARE(form.findChild<QComboBox*>("BAUDRATES")->currentText(), QStringLiteral("user"));
        auto* userRate = form.findChild<QSpinBox*>("USERBAUDRATE");
        QVERIFY(userRate->isVisible());
        QCOMPARE(userRate->value(), 12345);
        form.findChild<QComboBox*>("BAUDRATES")->setCurrentText(QStringLiteral("9600"));
        tick(form, "PARITYSETTING", "None");
        QTest::mouseClick(form.findChild<QPushButton*>("Button2"), Qt::LeftButton);
    }));
    QCOMPARE(port.Baudrate(), TBaudrate::brUser);
    QCOMPARE(port.UserBaudrate(), 12345);
    QCOMPARE(port.Parity(), TParity::paOdd);

    // "9600" and OK drops the user rate.
    QVERIFY(execute(port, [](QDialog& form) {
        form.findChild<QComboBox*>("BAUDRATES")->setCurrentText(QStringLiteral("9600"));
        QTest::keyClick(&form, Qt::Key_Return);  // OK is the default button
    }));
    QCOMPARE(port.Baudrate(), TBaudrate::br9600);
    QCOMPARE(port.UserBaudrate(), 0);

    // The close box is Cancel.
    QVERIFY(!execute(port, [](QDialog& form) {
        form.findChild<QComboBox*>("BAUDRATES")->setCurrentText(QStringLiteral("300"));
        form.close();
    }));
    QCOMPARE(port.Baudrate(), TBaudrate::br9600);
}

void PortConfigDialogTest::dtrRtsIsShownWhenBothModesAreSet() {
    TComPort port;
    applyControllerLinkDefaults(port);
    TFlowControl flow = port.FlowControl();
    flow.ControlDtr = TControlDtr::dtrEnabled;
    flow.XonXoffIn = true;
    port.SetFlowControl(flow);
    QVERIFY(execute(port, [](QDialog& form) {
        QCOMPARE(ticked(form, "FLOWSETTING"), QStringLiteral("DTR/RTS"));
        QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QCOMPARE(port.FlowControl().ControlRts, TControlRts::rtsEnabled);
    QVERIFY(!port.FlowControl().XonXoffIn);
}

void PortConfigDialogTest::theRunnerShowsTheFormOverItsOwner() {
    QWidget owner;
    owner.show();
    TComPort port;
    applyControllerLinkDefaults(port);
    bool shownModally = false;
    QWidget* shownOver = nullptr;
    QVERIFY(execute(
        port,
        [&](QDialog& form) {
            shownModally = form.isVisible() && form.isModal();
            shownOver = form.parentWidget();
            tick(form, "PARITYSETTING", "Odd");
            QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        },
        &owner));
    QVERIFY(shownModally);
    QCOMPARE(shownOver, &owner);
    QCOMPARE(port.Parity(), TParity::paOdd);
}

void PortConfigDialogTest::oneAndAHalfStopBitsAreRefused() {
    TComPort port;
    applyControllerLinkDefaults(port);
    QString warned;
    bool stayedOpen = false;
    QString stopBitsAfterWarning;
    QVERIFY(execute(port, [&](QDialog& form) {
        tick(form, "STOPBITS", "1,5");
        test::ModalWatch<QMessageBox> box([&](QMessageBox& shown) {
            warned = shown.windowTitle() + ": " + shown.text();
            shown.button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        stayedOpen = form.isVisible();
        stopBitsAfterWarning = ticked(form, "STOPBITS");
        tick(form, "STOPBITS", "1");
        QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QCOMPARE(warned, QStringLiteral("Warning: 1.5 stop bits cannot be set on this system. Choose 1 "
                                    "or 2 stop bits."));
    QVERIFY(stayedOpen);
    QCOMPARE(stopBitsAfterWarning, QStringLiteral("1,5"));
    QCOMPARE(port.Stopbits(), TStopbits::sb1);
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::PortConfigDialogTest)
#include "port_config_dialog_test.moc"
