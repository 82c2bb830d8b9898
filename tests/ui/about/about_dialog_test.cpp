// The About box: its two visible lines, what lies outside them, where it opens and how it closes.

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "ui/about_dialog.h"
#include "ui/visual_style.h"

namespace lumas::ui {

class AboutDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void showsProductAndBuildInTwoLines();
    void opensAtItsOffsetFromTheMainWindow();
    void keyboardClosesItThroughTheHiddenButton_data();
    void keyboardClosesItThroughTheHiddenButton();
};

void AboutDialogTest::showsProductAndBuildInTwoLines() {
    QWidget mainWindow;
    AboutDialog about(&mainWindow);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.size(), QSize(387, 59));
    QVERIFY(test::fixedWithCloseBoxOnly(about));
    // One typeface throughout: Tahoma where installed, else the main window's stand-in for it.
    QCOMPARE(about.font().family(), windowFontFamily(QStringLiteral("Tahoma")));
    QCOMPARE(about.font().pointSize(), 8);

    QStringList visible;
    QStringList hidden;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        (test::onScreen(*label, about) ? visible : hidden) << label->text();
    }
    visible.sort();
    QCOMPARE(visible, (QStringList{"3.0.3", "Build No:", "Lumas Software for Temperature Chambers",
                                   "Product Name:"}));
    QCOMPARE(hidden, QStringList{"Brandel GmbH"});

    const auto* product = about.findChild<QLabel*>("Label2");
    QCOMPARE(product->pos(), QPoint(111, 8));
    QCOMPARE(product->font().pixelSize(), 13);
    QCOMPARE(about.findChild<QLabel*>("Label4")->pos(), QPoint(111, 30));
    QVERIFY2(product->geometry().right() < about.width(), "the product name fits in the box");

    auto* ok = about.findChild<QPushButton*>("Button1");
    QVERIFY(!test::onScreen(*ok, about));
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

void AboutDialogTest::keyboardClosesItThroughTheHiddenButton_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void AboutDialogTest::keyboardClosesItThroughTheHiddenButton() {
    QFETCH(int, key);
    QWidget mainWindow;
    AboutDialog about(&mainWindow);
    test::ModalWatch<AboutDialog> watch([&](AboutDialog& shown) {
        QTest::keyClick(shown.focusWidget(), static_cast<Qt::Key>(key));
    });
    const int result = about.exec();
    QVERIFY(watch.seen());
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::AboutDialogTest)
#include "about_dialog_test.moc"
