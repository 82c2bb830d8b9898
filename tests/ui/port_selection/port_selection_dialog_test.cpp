// The port selection dialog: the list it builds, what it preselects, where it opens, and what
// Connect and Close do, with the connection itself stood in for.

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <stdexcept>

#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "serial/port_discovery.h"
#include "ui/port_selection_dialog.h"

namespace lumas::ui {

using Names = std::vector<std::string>;

class PortSelectionDialogTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    static QStringList listed(const QListWidget& list) {
        QStringList names;
        for (int row = 0; row < list.count(); ++row) {
            names << list.item(row)->text();
        }
        return names;
    }

  private slots:
    void listsPortsSortedAsText_data();
    void listsPortsSortedAsText();
    void listsTheDemonstrationPortLast();
    void showsTheListWithTheLastPortSelectedAtItsPlace();
    void fitsItsCaptionAndAStableNameAtItsSmallest();
    void widensForALongerNameWithinTheScreen();
    void warnsWhenNoPortCanBeListed_data();
    void warnsWhenNoPortCanBeListed();
    void connectHandsOverTheSelectedPortAndCloses();
    void connectFailureIsShownAndTheDialogStays();
    void closeConnectsNothing();
};

void PortSelectionDialogTest::listsPortsSortedAsText_data() {
    QTest::addColumn<Names>("system");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("COM10 before COM2")
        << Names{"COM2", "COM10", "COM1"} << QStringList{"COM1", "COM10", "COM2"};
    QTest::newRow("blanks trimmed, empty left out")
        << Names{"COM5 ", " ", "  COM3"} << QStringList{"COM3", "COM5"};
    QTest::newRow("case ignored, equal names kept in order")
        << Names{"com3", "COM4", "COM3", "Com3"} << QStringList{"com3", "COM3", "Com3", "COM4"};
    QTest::newRow("Linux names") << Names{"ttyUSB0", "ttyS1", "ttyACM0", "/dev/pts/4"}
                                 << QStringList{"/dev/pts/4", "ttyACM0", "ttyS1", "ttyUSB0"};
}

void PortSelectionDialogTest::listsPortsSortedAsText() {
    QFETCH(Names, system);
    QFETCH(QStringList, shown);
    QCOMPARE(GetAvailableCom([&] { return system; }), shown);
}

void PortSelectionDialogTest::listsTheDemonstrationPortLast() {
    // The demonstration's simulator comes last, so it is the preselected entry.
    setAdditionalPortNames({"/dev/pts/4"});
    QCOMPARE(GetAvailableCom([] {
                 return Names{"ttyUSB0", "/dev/pts/4", "ttyS1"};
             }),
             (QStringList{"ttyS1", "ttyUSB0", "/dev/pts/4"}));
    setAdditionalPortNames({});
}

void PortSelectionDialogTest::showsTheListWithTheLastPortSelectedAtItsPlace() {
    QWidget mainWindow;
    mainWindow.move(100, 50);
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        &mainWindow, [](const std::string&) { return std::nullopt; }, &messages,
        [] {
            return Names{"COM2", "COM10", "COM1"};
        });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select COM Port"));
    QVERIFY2(!test::fixedWithCloseBoxOnly(dialog), "the operator can make it larger");
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(dialog.pos(), QPoint(255, 150));
    QCOMPARE(dialog.font().pixelSize(), 11);

    auto* list = dialog.findChild<QListWidget*>("COMList");
    auto* typed = dialog.findChild<QLineEdit*>("ePortPath");
    auto* atStart = dialog.findChild<QCheckBox*>("chkReconnectAtStart");
    auto* connectButton = dialog.findChild<QPushButton*>("bConnect");
    auto* closeButton = dialog.findChild<QPushButton*>("bClose");
    QCOMPARE(listed(*list), (QStringList{"COM1", "COM10", "COM2"}));
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->selectedItems().first()->text(), QStringLiteral("COM2"));
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->font().pixelSize(), 13);
    QVERIFY(typed->text().isEmpty());
    QVERIFY2(atStart->isHidden(), "without a settings file there is nothing to store it in");
    // Every control has its own Alt key.
    QCOMPARE(connectButton->text(), QStringLiteral("&Connect"));
    QCOMPARE(closeButton->text(), QStringLiteral("C&lose"));
    QStringList keys;
    for (const QString& text : {connectButton->text(), closeButton->text(), atStart->text()}) {
        keys << text.mid(text.indexOf(QLatin1Char('&')) + 1, 1).toLower();
    }
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        QVERIFY2(label->buddy() != nullptr, qPrintable(label->text()));
        keys << label->text().mid(label->text().indexOf(QLatin1Char('&')) + 1, 1).toLower();
    }
    QCOMPARE(keys.removeDuplicates(), 0);
    QCOMPARE(keys.size(), 5);
    // Top to bottom: the list, the typed path, the buttons side by side; all inside the dialog.
    QVERIFY(list->geometry().bottom() < typed->y());
    QVERIFY(typed->geometry().bottom() < connectButton->y());
    QCOMPARE(connectButton->y(), closeButton->y());
    QVERIFY(connectButton->geometry().right() < closeButton->x());
    QVERIFY(closeButton->geometry().bottom() < dialog.height());
    QVERIFY(closeButton->geometry().right() < dialog.width());
    QVERIFY(messages.shown.empty());
    QVERIFY(!test::saveScreenshot(dialog, "port_selection_dialog").isEmpty());
}

void PortSelectionDialogTest::fitsItsCaptionAndAStableNameAtItsSmallest() {
    const QString longName = PortSelectionDialog::kLongStableName;
    PortSelectionDialog dialog(
        nullptr, [](const std::string&) { return std::nullopt; }, nullptr,
        [&] {
            return Names{"ttyS0", longName.toStdString()};
        });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.resize(1, 1);  // as small as it goes
    QTRY_COMPARE(dialog.size(), dialog.minimumSize());
    QVERIFY(dialog.minimumSize() != dialog.maximumSize());

    // The caption in the title bar's bold face, beside an icon and three buttons of about 24
    // pixels each.
    QFont captionFont = QApplication::font();
    captionFont.setBold(true);
    QVERIFY2(dialog.width() >=
                 QFontMetrics(captionFont).horizontalAdvance(dialog.windowTitle()) + 4 * 24,
             qPrintable(QString::number(dialog.width())));

    // The stable name, with the device and the mark it may carry, within the list's visible area.
    auto* list = dialog.findChild<QListWidget*>("COMList");
    const int needed = QFontMetrics(list->font())
                           .horizontalAdvance(longName + QStringLiteral("  (ttyUSB0, last used)"));
    QVERIFY2(list->viewport()->width() >= needed,
             qPrintable(QStringLiteral("%1 < %2").arg(list->viewport()->width()).arg(needed)));
    QVERIFY(list->viewport()->height() >= 4 * QFontMetrics(list->font()).height());
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (child->isVisible() && child->parentWidget() == &dialog) {
            QVERIFY2(dialog.rect().contains(child->geometry()), qPrintable(child->objectName()));
        }
    }
}

void PortSelectionDialogTest::widensForALongerNameWithinTheScreen() {
    const QString longer = PortSelectionDialog::kLongStableName + QString(40, QLatin1Char('x'));
    PortSelectionDialog dialog(
        nullptr, [](const std::string&) { return std::nullopt; }, nullptr,
        [&] { return Names{longer.toStdString()}; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QListWidget*>("COMList");
    QVERIFY(list->viewport()->width() >= QFontMetrics(list->font()).horizontalAdvance(longer));
    QVERIFY(dialog.frameGeometry().width() <= dialog.screen()->availableGeometry().width());
}

void PortSelectionDialogTest::warnsWhenNoPortCanBeListed_data() {
    QTest::addColumn<bool>("listingFails");
    QTest::newRow("no port") << false;
    QTest::newRow("listing fails") << true;
}

void PortSelectionDialogTest::warnsWhenNoPortCanBeListed() {
    QFETCH(bool, listingFails);
    test::RecordedMessages messages;
    QStringList connectedTo;
    PortSelectionDialog dialog(
        nullptr,
        [&](const std::string& name) -> std::optional<QString> {
            connectedTo << QString::fromStdString(name);
            return QStringLiteral("Error occured: No port is selected.");
        },
        &messages,
        [&]() -> Names {
            if (listingFails) {
                throw std::runtime_error("no registry");
            }
            return {};
        });
    dialog.show();
    QTRY_COMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0], (test::RecordedMessages::Shown{
                                    "warning", QStringLiteral("No device is connected   ")}));
    QCOMPARE(dialog.findChild<QListWidget*>("COMList")->count(), 0);
    QVERIFY(dialog.isVisible());

    // Connect with nothing to choose still runs the connection, which closes the old port first
    // and then reports that nothing was selected.
    QTest::mouseClick(dialog.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
    QCOMPARE(connectedTo, QStringList{QString()});
    QCOMPARE(messages.shown.back(),
             (test::RecordedMessages::Shown{
                 "message", QStringLiteral("Error occured: No port is selected.")}));
    QVERIFY(dialog.isVisible());
}

void PortSelectionDialogTest::connectHandsOverTheSelectedPortAndCloses() {
    test::RecordedMessages messages;
    QStringList connectedTo;
    PortSelectionDialog* shownDialog = nullptr;
    bool buttonOffWhileConnecting = false;
    PortSelectionDialog dialog(
        nullptr,
        [&](const std::string& name) -> std::optional<QString> {
            connectedTo << QString::fromStdString(name);
            buttonOffWhileConnecting =
                !shownDialog->findChild<QPushButton*>("bConnect")->isEnabled();
            return std::nullopt;  // also when the port could not be opened
        },
        &messages,
        [] {
            return Names{"ttyUSB0", "ttyS0", "ttyACM0"};
        });
    shownDialog = &dialog;
    test::ModalWatch<PortSelectionDialog> watch([](PortSelectionDialog& shown) {
        auto* list = shown.findChild<QListWidget*>("COMList");
        list->setCurrentRow(1);  // ttyS0
        QTest::mouseClick(shown.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
    });
    const int result = dialog.exec();
    QVERIFY(watch.seen());
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(connectedTo, QStringList{"ttyS0"});
    QVERIFY(buttonOffWhileConnecting);
    QVERIFY(messages.shown.empty());
}

void PortSelectionDialogTest::connectFailureIsShownAndTheDialogStays() {
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        nullptr,
        [](const std::string&) -> std::optional<QString> {
            return QStringLiteral("Error occured: Device name cannot be changed while open");
        },
        &messages, [] { return Names{"COM3"}; });
    dialog.show();
    auto* connectButton = dialog.findChild<QPushButton*>("bConnect");
    QTest::mouseClick(connectButton, Qt::LeftButton);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(
        messages.shown[0],
        (test::RecordedMessages::Shown{
            "message", QStringLiteral("Error occured: Device name cannot be changed while open")}));
    QVERIFY(dialog.isVisible());
    QVERIFY2(connectButton->isEnabled(), "the operator can try again");
}

void PortSelectionDialogTest::closeConnectsNothing() {
    int connects = 0;
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        nullptr,
        [&](const std::string&) -> std::optional<QString> {
            ++connects;
            return std::nullopt;
        },
        &messages, [] { return Names{"COM3"}; });
    test::ModalWatch<PortSelectionDialog> watch([](PortSelectionDialog& shown) {
        QTest::mouseClick(shown.findChild<QPushButton*>("bClose"), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(watch.seen());
    QCOMPARE(connects, 0);
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::PortSelectionDialogTest)
#include "port_selection_dialog_test.moc"
