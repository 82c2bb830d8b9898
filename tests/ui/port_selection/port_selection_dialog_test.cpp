// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
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

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "core/connection_settings.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "serial/port_discovery.h"
#include "support/pty_pair.h"
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
    void listsStableNamesAfterPlainOnesWithTheirDevice();
    void findsTheMachinesPortsByTheirStableNames();
    void marksAndPreselectsThePortUsedLast_data();
    void marksAndPreselectsThePortUsedLast();
    void aTypedPathIsUsedInsteadOfTheList_data();
    void aTypedPathIsUsedInsteadOfTheList();
    void theStartUpChoiceIsOffUntilTickedAndStoredAtOnce();
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

void PortSelectionDialogTest::listsStableNamesAfterPlainOnesWithTheirDevice() {
    // A stable name is a link to the device, as udev makes them under /dev/serial/by-id/.
    QTemporaryDir dir;
    test::PtyPair adapter;
    const QString stable =
        dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A12345-if00-port0"));
    QVERIFY(QFile::link(QString::fromStdString(adapter.slavePath()), stable));
    const QString device = adapter.slavePath().c_str() + QStringLiteral("/dev/").size();  // pts/N
    setAdditionalPortNames({"/dev/lumas-demo"});
    const QStringList names = GetAvailableCom([&] {
        return Names{"/dev/lumas-demo", stable.toStdString(), "ttyUSB1", "ttyS0"};
    });
    setAdditionalPortNames({});
    QCOMPARE(names, (QStringList{"ttyS0", "ttyUSB1", stable, "/dev/lumas-demo"}));

    QCOMPARE(portEntryText(stable, false), stable + "  (" + device + ")");
    QCOMPARE(portEntryText(stable, true), stable + "  (" + device + ", last used)");
    QCOMPARE(portEntryText("ttyS0", true), QStringLiteral("ttyS0  (last used)"));
    QCOMPARE(portEntryText("ttyS0", false), QStringLiteral("ttyS0"));
}

void PortSelectionDialogTest::findsTheMachinesPortsByTheirStableNames() {
    // A machine's sysfs, device nodes and by-id folder, in small.
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    SerialPortFolders folders{(root / "sys").string(), (root / "dev").string(),
                              (root / "dev/serial/by-id").string()};
    const auto tty = [&](const std::string& name, int uartType, bool node) {
        fs::create_directories(root / "sys" / name / "device");
        if (uartType >= 0) {
            std::ofstream(root / "sys" / name / "type") << uartType << '\n';
        }
        if (node) {
            std::ofstream(root / "dev" / name) << "";
        }
    };
    fs::create_directories(root / "dev/serial/by-id");
    tty("ttyS0", 4, true);
    tty("ttyS1", 0, true);   // an empty UART slot
    tty("ttyS2", 4, false);  // seen in sysfs, but no device here (a container)
    tty("ttyUSB0", -1, true);
    tty("ttyUSB1", -1, true);
    tty("ttyACM0", -1, true);
    fs::create_directories(root / "sys/tty1");  // a virtual terminal
    const fs::path byId = root / "dev/serial/by-id";
    fs::create_symlink("../../ttyUSB1", byId / "usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    fs::create_symlink("../../ttyUSB7", byId / "usb-Prolific_gone-if00-port0");  // unplugged
    setAdditionalPortNames({"/tmp/lumas-demo/simulated-controller"});
    const std::vector<std::string> found = listSerialPorts(folders);
    setAdditionalPortNames({});
    QCOMPARE(found, (Names{"ttyS0", "ttyACM0", "ttyUSB0",
                           (byId / "usb-FTDI_FT232R_USB_UART_A12345-if00-port0").string(),
                           "/tmp/lumas-demo/simulated-controller"}));
    QVERIFY(listSerialPorts(
                {(root / "none").string(), (root / "none").string(), (root / "none").string()})
                .empty());
}

void PortSelectionDialogTest::marksAndPreselectsThePortUsedLast_data() {
    QTest::addColumn<QString>("lastPort");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("typed");
    QTest::newRow("listed") << "ttyS0" << QStringList{"ttyS0  (last used)", "ttyUSB0"}
                            << "ttyS0  (last used)" << QString();
    QTest::newRow("none yet") << QString() << QStringList{"ttyS0", "ttyUSB0"} << "ttyUSB0"
                              << QString();
    QTest::newRow("typed, not listed")
        << "/dev/pts/7" << QStringList{"ttyS0", "ttyUSB0"} << "ttyUSB0"
        << "/dev/pts/7";
}

void PortSelectionDialogTest::marksAndPreselectsThePortUsedLast() {
    QFETCH(QString, lastPort);
    QFETCH(QStringList, shown);
    QFETCH(QString, selected);
    QFETCH(QString, typed);
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("Settings.ini"));
    if (!lastPort.isEmpty()) {
        QVERIFY(writeLastPort(settings, lastPort).saved);
    }
    QStringList connectedTo;
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        nullptr,
        [&](const std::string& name) -> std::optional<QString> {
            connectedTo << QString::fromStdString(name);
            return std::nullopt;
        },
        &messages,
        [] {
            return Names{"ttyUSB0", "ttyS0"};
        },
        settings);
    dialog.show();
    auto* list = dialog.findChild<QListWidget*>("COMList");
    QCOMPARE(listed(*list), shown);
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->selectedItems().first()->text(), selected);
    QCOMPARE(dialog.findChild<QLineEdit*>("ePortPath")->text(), typed);
    if (typed.isEmpty()) {
        // The port's name goes to the connection, not the text with its mark.
        QTest::mouseClick(dialog.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
        QCOMPARE(connectedTo, QStringList{selected.section(QLatin1Char(' '), 0, 0)});
    }
}

void PortSelectionDialogTest::aTypedPathIsUsedInsteadOfTheList_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a pseudo-terminal") << "pty";
    QTest::newRow("a link to it") << "link";
    QTest::newRow("nothing there") << "missing";
    QTest::newRow("a folder") << "folder";
}

void PortSelectionDialogTest::aTypedPathIsUsedInsteadOfTheList() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    test::PtyPair pty;
    const QString link = dir.filePath(QStringLiteral("chamber"));
    QVERIFY(QFile::link(QString::fromStdString(pty.slavePath()), link));
    const QString path = kind == "pty"       ? QString::fromStdString(pty.slavePath())
                         : kind == "link"    ? link
                         : kind == "missing" ? dir.filePath(QStringLiteral("ttyUSB9"))
                                             : dir.path();
    const bool opens = kind == "pty" || kind == "link";
    QStringList connectedTo;
    test::RecordedMessages messages;
    PortSelectionDialog dialog(
        nullptr,
        [&](const std::string& name) -> std::optional<QString> {
            connectedTo << QString::fromStdString(name);
            return std::nullopt;
        },
        &messages, [] { return Names{"ttyS0"}; });
    dialog.show();
    auto* typed = dialog.findChild<QLineEdit*>("ePortPath");
    QTest::keyClicks(typed, QStringLiteral("  ") + path + QStringLiteral(" "));
    QTest::mouseClick(dialog.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
    if (opens) {
        QCOMPARE(connectedTo, QStringList{path});
        QVERIFY(messages.shown.empty());
        QVERIFY(!dialog.isVisible());
        return;
    }
    QVERIFY(connectedTo.isEmpty());
    const QString sentence = kind == "missing"
                                 ? QStringLiteral("There is no port %1.").arg(path)
                                 : QStringLiteral("%1 is not a serial port.").arg(path);
    QCOMPARE(messages.shown, (std::vector<test::RecordedMessages::Shown>{{"message", sentence}}));
    QVERIFY(dialog.isVisible());
    QVERIFY2(dialog.findChild<QPushButton*>("bConnect")->isEnabled(), "the operator corrects it");

    // Picking from the list empties the field, and the list's port is used.
    auto* list = dialog.findChild<QListWidget*>("COMList");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QVERIFY(typed->text().isEmpty());
    QTest::mouseClick(dialog.findChild<QPushButton*>("bConnect"), Qt::LeftButton);
    QCOMPARE(connectedTo, QStringList{"ttyS0"});
}

void PortSelectionDialogTest::theStartUpChoiceIsOffUntilTickedAndStoredAtOnce() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("Settings.ini"));
    test::RecordedMessages messages;
    const auto open = [&](const std::function<void(QCheckBox&)>& act) {
        PortSelectionDialog dialog(
            nullptr, [](const std::string&) { return std::nullopt; }, &messages,
            [] { return Names{"ttyS0"}; }, settings);
        dialog.show();
        auto* box = dialog.findChild<QCheckBox*>("chkReconnectAtStart");
        QVERIFY(box->isVisible());
        act(*box);
        QTest::mouseClick(dialog.findChild<QPushButton*>("bClose"), Qt::LeftButton);
    };
    open([](QCheckBox& box) {
        QVERIFY(!box.isChecked());
        box.click();  // ticked, then closed without connecting
    });
    QVERIFY(readConnectionSettings(settings).reconnectAtStart);
    open([](QCheckBox& box) {
        QVERIFY(box.isChecked());
        box.click();
    });
    QVERIFY(!readConnectionSettings(settings).reconnectAtStart);
    QVERIFY(messages.shown.empty());

    // A settings file that cannot be written is told.
    QVERIFY(QDir().mkpath(settings + QStringLiteral(".d")));
    const QString unwritable = settings + QStringLiteral(".d");
    PortSelectionDialog dialog(
        nullptr, [](const std::string&) { return std::nullopt; }, &messages,
        [] { return Names{"ttyS0"}; }, unwritable);
    dialog.show();
    dialog.findChild<QCheckBox*>("chkReconnectAtStart")->click();
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].kind, QStringLiteral("warning"));
    QVERIFY(messages.shown[0].text.startsWith(QStringLiteral("The settings could not be saved: ")));
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::PortSelectionDialogTest)
#include "port_selection_dialog_test.moc"
