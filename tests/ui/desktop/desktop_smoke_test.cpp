// The desktop program as a window manager sees it (X11 with openbox, started by
// run_with_window_manager.sh): the window comes back where it was closed, the dialogs open at
// their places with their own captions, leaving a set-point field for another window or a menu
// shows no message, and Port Configuration shows its form with and without a connection. Leaves
// screenshots of the whole screen (desktop_*.png).

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

#include "core/clock.h"
#include "dialog_support/modal_watch.h"
#include "sim/simulated_controller.h"
#include "ui/about_dialog.h"
#include "ui/application_setup.h"
#include "ui/csv_export_dialog.h"
#include "ui/emergency_temp_dialog.h"
#include "ui/main_window.h"
#include "ui/port_config_dialog.h"
#include "ui/port_selection_dialog.h"

namespace lumas::ui {
namespace {

// Whether the window manager has put a frame around `window` (Qt then knows its size) and it is
// on the screen.
bool framed(QWidget& window) {
    return window.isVisible() && window.frameGeometry().size() != window.size() &&
           window.windowHandle() != nullptr && window.windowHandle()->isExposed();
}

// The caption the window manager shows for `window`: its visible name where it set one, else
// the name the program gave.
QString shownCaption(QWidget& window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window.winId()),
                 QStringLiteral("_NET_WM_VISIBLE_NAME"), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(5000)) {
        return QStringLiteral("(xprop did not answer)");
    }
    const QString output = QString::fromUtf8(xprop.readAllStandardOutput());
    const QRegularExpression value(QStringLiteral(R"re(^(_NET_WM\w+)\(UTF8_STRING\) = "(.*)"$)re"),
                                   QRegularExpression::MultilineOption);
    QString name;
    for (auto match = value.globalMatch(output); match.hasNext();) {
        const auto found = match.next();
        if (found.captured(1) == QStringLiteral("_NET_WM_VISIBLE_NAME") || name.isEmpty()) {
            name = found.captured(2);
        }
    }
    return name;
}

void saveScreen(const QString& name) {
    // What was just shown is drawn and has reached the X server.
    QTest::qWait(100);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(screen.save(QStringLiteral("desktop_%1.png").arg(name)));
}

QPoint savedPosition(const QString& settingsPath) {
    const QSettings settings(settingsPath, QSettings::IniFormat);
    return {settings.value(QStringLiteral("Settings/PosLeft")).toInt(),
            settings.value(QStringLiteral("Settings/PosTop")).toInt()};
}

}  // namespace

class DesktopSmokeTest : public QObject {
    Q_OBJECT

  protected:
    // A shown, framed and active main window over the settings file of this test.
    std::unique_ptr<TForm1> startWindow(const QByteArray& settings = {}) {
        if (!settings.isEmpty()) {
            QFile file(settingsPath());
            file.open(QIODevice::WriteOnly);
            file.write(settings);
        }
        messages_ = test::RecordedMessages{};
        auto window = std::make_unique<TForm1>(clock_, settingsPath(), &messages_);
        window->show();
        if (!QTest::qWaitFor([&] { return framed(*window); }, 5000)) {
            qWarning("the main window was not framed");
        }
        window->activateWindow();
        if (!QTest::qWaitFor([&] { return window->isActiveWindow(); }, 5000)) {
            qWarning("the main window did not get the focus");
        }
        return window;
    }

    QString settingsPath() const { return settingsDir_.filePath(QStringLiteral("Settings.ini")); }

    MonotonicClock clock_;
    test::RecordedMessages messages_;
    QTemporaryDir settingsDir_;

  private slots:
    void initTestCase() {
        setUpApplication(*qApp);
        QVERIFY(settingsDir_.isValid());
    }

    // Start, move, close, start again: the window comes back where it was, frame and all, and
    // the saved place stays the same over five starts.
    void positionRoundTripsOverFiveStarts() {
        const QPoint placed(140, 135);
        for (int start = 0; start < 5; ++start) {
            auto window = startWindow();
            QVERIFY(framed(*window));
            if (start == 0) {
                QCOMPARE(shownCaption(*window), QStringLiteral("Lumas Software"));
                QCOMPARE(window->size(), QSize(TForm1::kClientWidth, TForm1::kClientHeight));
                window->move(placed);
                QTRY_COMPARE(window->frameGeometry().topLeft(), placed);
                saveScreen(QStringLiteral("main_window"));
            } else {
                QCOMPARE(window->frameGeometry().topLeft(), placed);
            }
            QVERIFY(window->close());
            QCOMPARE(savedPosition(settingsPath()), placed);
        }
    }

    void dialogsOpenAtTheirPlacesWithTheirCaptions() {
        auto window = startWindow();
        window->move(100, 80);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(100, 80));
        const auto check = [&]<typename Dialog>(const char* action, const QString& caption,
                                                QPoint offset, const char* screenshot) {
            QPoint openedAt;
            QString shown;
            test::ModalWatch<Dialog> watch(
                [&](Dialog& dialog) {
                    openedAt = dialog.frameGeometry().topLeft() - window->frameGeometry().topLeft();
                    shown = shownCaption(dialog);
                    saveScreen(QLatin1String(screenshot));
                    dialog.reject();
                },
                [](Dialog& dialog) { return framed(dialog); });
            window->action(QLatin1String(action))->trigger();
            QVERIFY2(watch.seen(), action);
            QCOMPARE(shown, caption);
            QCOMPARE(openedAt, offset);
        };
        check.operator()<AboutDialog>("About1", QStringLiteral("About"), QPoint(130, 120), "about");
        check.operator()<PortSelectionDialog>("miConnect", QStringLiteral("Select COM Port"),
                                              QPoint(155, 100), "port_selection");
        check.operator()<CsvExportDialog>("CSVExport1", QStringLiteral("CSV Export"),
                                          QPoint(400, 250), "csv_export");
        QVERIFY(window->close());
    }

    // Typing a set point over the threshold and then switching to another program, or opening
    // a menu, is not leaving the field: no message comes. Leaving it for the next field is.
    void leavingForAnotherWindowOrAMenuShowsNoMessage() {
        auto window = startWindow("[Temperatures]\r\nEmergencyTemp=280\r\n");
        QVERIFY(window->isActiveWindow());
        auto* t3 = window->findChild<QLineEdit*>(QStringLiteral("fiSP2"));
        t3->setFocus();
        t3->selectAll();
        QTest::keyClicks(t3, QStringLiteral("290"));

        QWidget other;
        other.setWindowTitle(QStringLiteral("Another program"));
        other.resize(300, 200);
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QTRY_VERIFY(!window->isActiveWindow());
        other.close();
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QVERIFY(messages_.shown.empty());

        QMenuBar* menuBar = window->menuBar();
        QAction* file = menuBar->actions().constFirst();
        QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(file).center());
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr &&
                    QApplication::activePopupWidget()->windowHandle()->isExposed());
        saveScreen(QStringLiteral("file_menu_open"));
        QVERIFY(messages_.shown.empty());
        QApplication::activePopupWidget()->close();

        QTRY_VERIFY(window->isActiveWindow());
        t3->setFocus();
        QTest::keyClick(t3, Qt::Key_Tab);
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].kind, QStringLiteral("warning"));
        QVERIFY(window->close());
    }

    void portConfigurationShowsItsForm() {
        sim::SimulatedController simulator;
        auto window = startWindow();
        for (const bool connected : {false, true}) {
            if (connected) {
                QCOMPARE(window->logic().ConnectToPort(simulator.portPath()), std::nullopt);
                QVERIFY(window->controller().Connected());
            }
            messages_.shown.clear();
            QString shown;
            test::ModalWatch<PortConfigDialog> watch(
                [&](PortConfigDialog& form) {
                    shown = shownCaption(form);
                    saveScreen(connected ? QStringLiteral("port_configuration_connected")
                                         : QStringLiteral("port_configuration"));
                    form.reject();
                },
                [](PortConfigDialog& form) { return framed(form); });
            window->action(QStringLiteral("maPortConfiguration"))->trigger();
            QVERIFY(watch.seen());
            QCOMPARE(shown, QStringLiteral("COM port configuration"));
            QCOMPARE(messages_.shown.size(), std::size_t{connected ? 1U : 0U});  // close the port?
            QVERIFY(!window->controller().Connected());
        }
        QVERIFY(window->close());
    }
};

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::DesktopSmokeTest)
#include "desktop_smoke_test.moc"
