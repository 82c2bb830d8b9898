// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The About box: what it shows, where it opens and how it closes; the help page F1 opens.

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "lumas_version.h"
#include "ui/about_dialog.h"
#include "ui/visual_style.h"

namespace lumas::ui {

class AboutDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void showsProductVersionBuildDateAndLicence();
    void opensAtItsOffsetFromTheMainWindow();
    void keyboardAndOkCloseIt_data();
    void keyboardAndOkCloseIt();
};

void AboutDialogTest::showsProductVersionBuildDateAndLicence() {
    QWidget mainWindow;
    AboutDialog about(&mainWindow);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QVERIFY(test::fixedWithCloseBoxOnly(about));
    // One typeface throughout: Tahoma where installed, else the main window's stand-in for it.
    QCOMPARE(about.font().family(), windowFontFamily(QStringLiteral("Tahoma")));

    // Every line and the OK button lie wholly inside the box, none over another.
    QStringList texts;
    QList<QRect> taken;
    for (const QWidget* widget : about.findChildren<QWidget*>()) {
        if (qobject_cast<const QLabel*>(widget) == nullptr &&
            qobject_cast<const QPushButton*>(widget) == nullptr) {
            continue;
        }
        const QRect area(widget->mapTo(&about, QPoint(0, 0)), widget->size());
        QVERIFY2(about.rect().contains(area), qPrintable(widget->objectName()));
        for (const QRect& other : taken) {
            QVERIFY2(!other.intersects(area), qPrintable(widget->objectName()));
        }
        taken << area;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            texts << label->text();
            QVERIFY2(label->wordWrap() ||
                         label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
    }
    QVERIFY(texts.contains(QStringLiteral("Lumas Software for Temperature Chambers")));
    QVERIFY(texts.contains(QStringLiteral(LUMAS_VERSION)));
    QVERIFY(QDate::fromString(QStringLiteral(LUMAS_BUILD_DATE), Qt::ISODate).isValid());
    QVERIFY(texts.contains(QStringLiteral(LUMAS_BUILD_DATE)));
    QVERIFY(texts.contains(kLicenceLine));
    QVERIFY(kLicenceLine.contains(QStringLiteral("GNU General Public License, version 3")));
    QVERIFY(texts.contains(kFontLicenceLine));

    auto* ok = about.findChild<QPushButton*>("Button1");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(test::onScreen(*ok, about));
    QCOMPARE(about.focusWidget(), ok);
    QVERIFY(!test::saveScreenshot(about, "about_dialog").isEmpty());
}

void AboutDialogTest::opensAtItsOffsetFromTheMainWindow() {
    QWidget mainWindow;
    mainWindow.resize(600, 480);
    mainWindow.move(100, 50);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));

    QPoint openedAt;
    AboutDialog about(&mainWindow);
    test::ModalWatch<AboutDialog> watch([&](AboutDialog& shown) {
        openedAt = shown.frameGeometry().topLeft();
        shown.close();
    });
    about.exec();
    QVERIFY(watch.seen());
    QCOMPARE(openedAt, QPoint(230, 170));
}

void AboutDialogTest::keyboardAndOkCloseIt_data() {
    QTest::addColumn<int>("key");  // 0: a click on OK
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("OK clicked") << 0;
}

void AboutDialogTest::keyboardAndOkCloseIt() {
    QFETCH(int, key);
    QWidget mainWindow;
    AboutDialog about(&mainWindow);
    test::ModalWatch<AboutDialog> watch([&](AboutDialog& shown) {
        if (key == 0) {
            QTest::mouseClick(shown.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        } else {
            QTest::keyClick(shown.focusWidget(), static_cast<Qt::Key>(key));
        }
    });
    const int result = about.exec();
    QVERIFY(watch.seen());
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::AboutDialogTest)
#include "about_dialog_test.moc"
