// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The main window on the offscreen platform: enable rules, entry fields, hold-time total, spin
// buttons, the menu, the guards in front of two dialogs and the connection panel's alert.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

#include "core/clock.h"
#include "dialog_support/modal_watch.h"
#include "lumas_version.h"
#include "sim/simulated_controller.h"
#include "ui/chart_widget.h"
#include "ui/dialog_placement.h"
#include "ui/help_dialog.h"
#include "ui/main_window.h"
#include "ui/readout_font.h"
#include "ui/up_down.h"
#include "ui/visual_style.h"
#include "ui/widget_ports.h"

using lumas::MonotonicClock;
using lumas::test::RecordedMessages;
using lumas::ui::TemperatureChart;
using lumas::ui::TForm1;

class MainWindowTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    // A fresh window over a settings file with `settings` as its text.
    std::unique_ptr<TForm1> makeWindow(const QByteArray& settings = {}) {
        settingsDir_ = std::make_unique<QTemporaryDir>();
        const QString path = settingsDir_->filePath(QStringLiteral("Settings.ini"));
        if (!settings.isEmpty()) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(settings);
        }
        messages_ = RecordedMessages{};
        auto window = std::make_unique<TForm1>(clock_, path, &messages_);
        window->show();
        return window;
    }

    // Puts the window's run into a run of `kind` as a Start does, without a controller.
    static void beginRun(TForm1& window, lumas::RunKind kind) {
        lumas::RunStart start;
        start.kind = kind;
        if (kind == lumas::RunKind::Programme) {
            start.programme = std::get<lumas::Programme>(lumas::Programme::make({{40.0, 10}}, {}));
        }
        window.logic().chamber().run().begin(start, 0);
    }

    template <typename W>
    static W* child(TForm1& window, const char* name) {
        W* found = window.findChild<W*>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no child %s", name);
        }
        return found;
    }

    static QString text(TForm1& window, const char* label) {
        return child<QLabel>(window, label)->text();
    }

    MonotonicClock clock_;
    RecordedMessages messages_;
    std::unique_ptr<QTemporaryDir> settingsDir_;

  private slots:
    void initTestCase() { lumas::ui::applyVisualStyle(*qApp); }

    void startsOfflineWithEverythingEmpty() {
        auto window = makeWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Lumas Software"));
        for (const char* label :
             {"lTemp", "lSetPoint", "lCS", "lCS2", "lTotal", "lFinish", "lTotalTime"}) {
            QCOMPARE(text(*window, label), QStringLiteral("--"));
        }
        QCOMPARE(text(*window, "statusConnection"), QStringLiteral("OFFLINE"));
        QVERIFY(!child<QCheckBox>(*window, "chkTargetTemp")->isChecked());
        // For the eye: the idle window as the operator first sees it.
        QVERIFY(window->grab().save(QStringLiteral("main_window_idle.png")));
    }

    void enabledStatesFollowTheRunState_data() {
        QTest::addColumn<bool>("programme");
        QTest::addColumn<bool>("single");
        QTest::addColumn<QStringList>("disabled");
        const QStringList fields{"fiSP0",   "fiSP11",      "fiSP0t",
                                 "fiSP11t", "bStartMulti", "bStartSingle"};
        QTest::newRow("idle") << false << false << QStringList{};
        QTest::newRow("programme running")
            << true << false
            << (fields + QStringList{"fiSingleSP", "UpDown1", "bSetSingleSP", "bStopSingle"});
        QTest::newRow("single control running")
            << false << true << (fields + QStringList{"bStopMulti"});
    }

    void enabledStatesFollowTheRunState() {
        QFETCH(bool, programme);
        QFETCH(bool, single);
        QFETCH(QStringList, disabled);
        auto window = makeWindow();
        if (programme || single) {
            beginRun(*window, programme ? lumas::RunKind::Programme : lumas::RunKind::Single);
            window->DisableItems();
        }
        const QStringList all{"fiSP0",         "fiSP11",     "fiSP0t",       "fiSP11t",
                              "bStartMulti",   "bStopMulti", "bStartSingle", "bStopSingle",
                              "chkTargetTemp", "fiSingleSP", "UpDown1",      "bSetSingleSP"};
        for (const QString& name : all) {
            auto* widget = window->findChild<QWidget*>(name);
            QVERIFY2(widget != nullptr, qPrintable(name));
            QCOMPARE(widget->isEnabled(), !disabled.contains(name));
        }
        window->EnableItems();
        for (const QString& name : all) {
            QVERIFY2(window->findChild<QWidget*>(name)->isEnabled(), qPrintable(name));
        }
    }

    void holdTimeTotalFollowsTheFields() {
        auto zeros = makeWindow("[HoldTime]\r\nt1=0\r\nt2=0\r\n");
        QCOMPARE(text(*zeros, "lTotalTime"), QStringLiteral("--"));

        auto window = makeWindow("[HoldTime]\r\nt1=10\r\nt2=5\r\n");
        QCOMPARE(text(*window, "lTotalTime"), QStringLiteral("15 Minutes"));
        auto* t1 = child<QLineEdit>(*window, "fiSP0t");
        auto* t2 = child<QLineEdit>(*window, "fiSP1t");
        t1->setText(QStringLiteral("0"));
        t2->selectAll();
        QTest::keyClicks(t2, QStringLiteral("0"));
        QCOMPARE(text(*window, "lTotalTime"), QStringLiteral("0 Minutes"));
    }

    // However long the hold-time total, the set-point fields keep room for their widest value
    // and the total is shown whole.
    void longHoldTimeTotalLeavesTheFieldsTheirWidth() {
        QByteArray settings = "[HoldTime]\r\n";
        for (int k = 1; k <= 12; ++k) {
            settings += "t" + QByteArray::number(k) + "=9999\r\n";
        }
        for (const QByteArray& text : {QByteArray("[HoldTime]\r\nt1=1\r\n"), settings}) {
            auto window = makeWindow(text);
            child<QTabWidget>(*window, "PageControl1")->setCurrentIndex(1);
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            auto* total = child<QLabel>(*window, "lTotalTime");
            for (int k = 0; k < 12; ++k) {
                auto* field =
                    child<QLineEdit>(*window, qPrintable(QStringLiteral("fiSP%1").arg(k)));
                const int needed = field->fontMetrics().horizontalAdvance(QStringLiteral("-70.0"));
                QVERIFY2(field->width() >= needed + 8,
                         qPrintable(QStringLiteral("T%1 is %2 px wide for %3 (%4)")
                                        .arg(k + 1)
                                        .arg(field->width())
                                        .arg(needed)
                                        .arg(total->text())));
            }
            QVERIFY(total->heightForWidth(total->width()) <= total->height());
        }
        QCOMPARE(text(*makeWindow(settings), "lTotalTime"), QStringLiteral("119988 Minutes"));
    }

    // The first size is the whole inner area, menu and status bar included; at the smallest size
    // the Advanced tab's lower groups can still be scrolled to and used.
    void sizeAndSmallestSize() {
        auto window = makeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The first size, within the screen (the offscreen one is 800 x 600).
        const QSize room =
            window->screen()->availableGeometry().size() - lumas::ui::TForm1::kFrameAllowance;
        QCOMPARE(window->size(), QSize(1158, 652).boundedTo(room));
        window->resize(window->minimumSize());
        const QSize frame = window->frameGeometry().size() - window->size();
        QCOMPARE(window->minimumSize() + frame, QSize(600, 480));
        child<QTabWidget>(*window, "PageControl1")->setCurrentIndex(1);
        auto* start = child<QPushButton>(*window, "bStartMulti");
        auto* page =
            qobject_cast<QScrollArea*>(child<QTabWidget>(*window, "PageControl1")->currentWidget());
        QVERIFY(page != nullptr);
        page->ensureWidgetVisible(start);
        QTRY_VERIFY(!start->visibleRegion().isEmpty());
        const QPoint centre = start->mapTo(window.get(), start->rect().center());
        QCOMPARE(window->childAt(centre), start);
        QVERIFY(window->grab().save(QStringLiteral("main_window_smallest.png")));
    }

    // What is typed is taken when the field is left, or refused with a message, the field then
    // showing its last good value (0.0 or 0 here): nothing typed is dropped or reinterpreted.
    void entryFieldsFollowTheirRules_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");    // after leaving the field
        QTest::addColumn<QString>("message");  // the refusal, if any
        const QString noMinus = QStringLiteral("This field takes no minus sign.");
        QTest::newRow("single set point takes a minus") << "fiSingleSP"
                                                        << "-12.5"
                                                        << "-12.5"
                                                        << "";
        QTest::newRow("a decimal comma") << "fiSP0"
                                         << "40,5"
                                         << "40.5"
                                         << "";
        QTest::newRow("T4 takes a minus") << "fiSP3"
                                          << "-5"
                                          << "-5.0"
                                          << "";
        QTest::newRow("T9 takes no minus") << "fiSP8"
                                           << "-5"
                                           << "0.0" << noMinus;
        QTest::newRow("above the programme's range") << "fiSP0"
                                                     << "1234"
                                                     << "0.0"
                                                     << "Temperature range:   -70 - 500°C";
        QTest::newRow("above the single set point's range") << "fiSingleSP"
                                                            << "405"
                                                            << "0.0"
                                                            << "Temperature range:   -70 - 400°C";
        QTest::newRow("two decimals") << "fiSP5"
                                      << "12.34"
                                      << "0.0"
                                      << "\"12.34\" has more than one decimal. Enter the "
                                         "temperature to a tenth of a degree, such as 12.3.";
        QTest::newRow("empty decimal field") << "fiSP2"
                                             << ""
                                             << "0.0"
                                             << "";
        QTest::newRow("hold time: digits only") << "fiSP0t"
                                                << "-1x2"
                                                << "0"
                                                << "*";
        QTest::newRow("hold time: above 9999") << "fiSP1t"
                                               << "123456"
                                               << "0"
                                               << "*";
        QTest::newRow("empty hold time") << "fiSP3t"
                                         << ""
                                         << "0"
                                         << "";
    }

    void entryFieldsFollowTheirRules() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        auto window = makeWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* edit = window->findChild<QLineEdit*>(field);
        QVERIFY(edit != nullptr);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);  // nothing typed is dropped
        messages_.shown.clear();
        child<QPushButton>(*window, "bStartMulti")->setFocus();  // leave the field
        QCOMPARE(edit->text(), shown);
        if (message.isEmpty()) {
            QVERIFY(messages_.shown.empty());
        } else {
            QCOMPARE(messages_.shown.size(), std::size_t{1});
            QCOMPARE(messages_.shown[0].kind, QStringLiteral("warning"));
            if (message != QStringLiteral("*")) {
                QCOMPARE(messages_.shown[0].text, message);
            }
        }
    }

    // A set point over the threshold is warned about when the operator leaves its field for
    // another control, not when the focus goes to another window or a menu for a while.
    void setPointCheckRunsOnlyWhenTheFieldIsLeft_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("checked");
        QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << false;
        QTest::newRow("a menu opens") << int(Qt::PopupFocusReason) << false;
        QTest::newRow("the menu bar") << int(Qt::MenuBarFocusReason) << false;
        QTest::newRow("Tab") << int(Qt::TabFocusReason) << true;
        QTest::newRow("a click elsewhere") << int(Qt::MouseFocusReason) << true;
    }

    void setPointCheckRunsOnlyWhenTheFieldIsLeft() {
        QFETCH(int, reason);
        QFETCH(bool, checked);
        auto window = makeWindow("[Temperatures]\r\nEmergencyTemp=280\r\n");
        auto* t3 = child<QLineEdit>(*window, "fiSP2");
        t3->setText(QStringLiteral("290"));
        QFocusEvent focusOut(QEvent::FocusOut, static_cast<Qt::FocusReason>(reason));
        QApplication::sendEvent(t3, &focusOut);
        QCOMPARE(messages_.shown.empty(), !checked);
        // Shown again in the field's form once it is left; otherwise left as it stands.
        QCOMPARE(t3->text(), checked ? QStringLiteral("290.0") : QStringLiteral("290"));
    }

    void spinButtonsFollowTheSingleSetPoint() {
        auto window = makeWindow();
        auto* field = child<QLineEdit>(*window, "fiSingleSP");
        auto* spin = child<lumas::ui::UpDown>(*window, "UpDown1");
        field->setText(QStringLiteral("12.5"));
        QCOMPARE(spin->position(), 12);
        QTest::mouseClick(spin->findChild<QWidget*>(QStringLiteral("up")), Qt::LeftButton);
        QCOMPARE(field->text(), QStringLiteral("13"));
        field->setText(QStringLiteral("400"));
        QTest::mouseClick(spin->findChild<QWidget*>(QStringLiteral("up")), Qt::LeftButton);
        QCOMPARE(field->text(), QStringLiteral("400"));  // the spin range ends at 400
    }

    void threeMenuItemsArePresentButHidden() {
        auto window = makeWindow();
        for (const char* name : {"miConnect", "Disconnect1", "maExit", "maPortConfiguration",
                                 "ExportChart1", "About1"}) {
            QVERIFY2(window->action(QLatin1String(name))->isVisible(), name);
        }
        for (const char* name : {"CSVExport1", "EmergencyTemp", "SPRamp1"}) {
            QVERIFY2(!window->action(QLatin1String(name))->isVisible(), name);
        }
    }

    // Alt with a letter reaches every menu and item: each caption has a mnemonic, none taken
    // twice in one menu; the usual keys reach Connect, Disconnect, Export, Exit and Help.
    void menusHaveMnemonicsAndShortcuts() {
        auto window = makeWindow();
        const auto mnemonic = [](const QString& caption) {
            const qsizetype at = caption.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            return at < 0 ? QChar() : caption.at(at + 1).toLower();
        };
        QList<QChar> topLetters;
        for (QAction* top : window->menuBar()->actions()) {
            const QChar letter = mnemonic(top->text());
            QVERIFY2(!letter.isNull() && !topLetters.contains(letter), qPrintable(top->text()));
            topLetters << letter;
            if (top->menu() == nullptr) {
                continue;
            }
            QList<QChar> letters;
            for (QAction* item : top->menu()->actions()) {
                if (item->isSeparator() || !item->isVisible()) {
                    continue;
                }
                const QChar itemLetter = mnemonic(item->text());
                QVERIFY2(!itemLetter.isNull() && !letters.contains(itemLetter),
                         qPrintable(item->text()));
                letters << itemLetter;
            }
        }
        const QList<std::pair<const char*, QKeySequence>> keys{
            {"miConnect", QKeySequence(Qt::CTRL | Qt::Key_K)},
            {"Disconnect1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K)},
            {"ExportChart1", QKeySequence(Qt::CTRL | Qt::Key_E)},
            {"maExit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {"miHelp", QKeySequence(Qt::Key_F1)}};
        QList<QKeySequence> seen;
        for (const auto& [name, key] : keys) {
            QCOMPARE(window->action(QLatin1String(name))->shortcut(), key);
        }
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!action->shortcut().isEmpty()) {
                QVERIFY2(!seen.contains(action->shortcut()),
                         qPrintable(action->shortcut().toString()));
                seen << action->shortcut();
            }
        }
    }

    void f1OpensTheHelpPage() {
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QString page;
        lumas::test::ModalWatch<lumas::ui::HelpDialog> watch([&](lumas::ui::HelpDialog& help) {
            page = help.findChild<QTextBrowser*>()->toPlainText();
            help.accept();
        });
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(watch.seen());
        QVERIFY(page.contains(QStringLiteral("Lumas " LUMAS_VERSION)));
        QVERIFY(page.contains(QStringLiteral("Connect…")));
    }

    void csvExportIsRefusedDuringARun() {
        auto window = makeWindow();
        beginRun(*window, lumas::RunKind::Single);
        window->CSVExport1Click();
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].kind, QStringLiteral("information"));
        QCOMPARE(messages_.shown[0].text,
                 QStringLiteral("You can change this settings when controller is stopped."));
    }

    // Every reading from the lowest to the highest set point fits both read-outs in every
    // locale, a decimal comma and digits of other scripts included; in the C locale the size is
    // the largest at which the widest does.
    void readoutsFitEveryReading_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("celsius");
        for (const char* locale : {"C", "de_DE", "fr_FR", "de_CH", "ar_EG", "fa_IR", "bn_BD"}) {
            for (const char* label : {"lTemp", "lSetPoint"}) {
                for (const double celsius : {-70.0, -8.8, 0.0, 99.9, 188.8, 400.0, 500.0}) {
                    QTest::addRow("%s %s %.1f", locale, label, celsius)
                        << QString::fromLatin1(locale) << QString::fromLatin1(label) << celsius;
                }
            }
        }
    }

    void readoutsFitEveryReading() {
        QFETCH(QString, locale);
        QFETCH(QString, label);
        QFETCH(double, celsius);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        auto window = makeWindow();
        QLocale::setDefault(before);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* readout = window->findChild<QLabel*>(label);
        readout->setText(window->logic().readoutText(celsius));
        const QRect room = readout->contentsRect();
        const QRect inked = readout->fontMetrics().boundingRect(readout->text());
        QVERIFY2(inked.width() <= room.width() && readout->fontMetrics().height() <= room.height(),
                 qPrintable(QStringLiteral("%1 at %2 px needs %3x%4, has %5x%6")
                                .arg(readout->text())
                                .arg(readout->font().pixelSize())
                                .arg(inked.width())
                                .arg(readout->fontMetrics().height())
                                .arg(room.width())
                                .arg(room.height())));
        // Readable still: no locale takes the read-outs below two thirds of their size.
        QVERIFY(readout->font().pixelSize() >= lumas::ui::kReadoutPixelSize * 2 / 3);
        if (locale == QStringLiteral("C")) {
            QCOMPARE(readout->font().pixelSize(), lumas::ui::kReadoutPixelSize);
        }
        if (locale == QStringLiteral("C") && label == QStringLiteral("lSetPoint") &&
            celsius == -70.0) {
            QFont larger = readout->font();
            larger.setPixelSize(lumas::ui::kReadoutPixelSize + 1);
            int widest = 0;
            for (const double value : {-70.0, 0.0, 99.9, 400.0, 500.0}) {
                widest = std::max(
                    widest,
                    QFontMetrics(larger).boundingRect(window->logic().readoutText(value)).width());
            }
            QVERIFY2(widest > room.width(), "a larger size would fit too");
        }
    }

    // Every text of the window apart from the read-outs is drawn in the dialogs' typeface.
    void oneTypefaceThroughout() {
        auto window = makeWindow();
        const QString dialogFace = QFontInfo(lumas::ui::dialogFontPixels(11)).family();
        for (const QWidget* widget : window->findChildren<QWidget*>()) {
            if (widget->objectName() == QStringLiteral("lTemp") ||
                widget->objectName() == QStringLiteral("lSetPoint")) {
                continue;
            }
            QVERIFY2(QFontInfo(widget->font()).family() == dialogFace,
                     qPrintable(widget->metaObject()->className() + QStringLiteral(" ") +
                                widget->objectName() + QStringLiteral(": ") +
                                QFontInfo(widget->font()).family()));
        }
    }

    // Closing the window during a run asks first; No keeps it open and the run going.
    void closingDuringARunAsksFirst() {
        auto window = makeWindow();
        beginRun(*window, lumas::RunKind::Programme);
        messages_.confirmAnswer = false;
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(messages_.shown.back().text,
                 QStringLiteral("A run is active. The controller keeps running at its last set "
                                "point. Exit anyway?"));
        QVERIFY(window->logic().state().ProgramRunning);
        messages_.confirmAnswer = true;
        QVERIFY(window->close());
    }

    void timerWithoutPeriodNeverRuns() {
        QTimer timer;
        lumas::ui::TimerSwitch timerSwitch(&timer);
        timerSwitch.setInterval(std::chrono::milliseconds(0));  // a log interval of 0 s
        timerSwitch.setEnabled(true);
        QVERIFY(!timerSwitch.enabled());
        timerSwitch.setInterval(std::chrono::milliseconds(5000));
        timerSwitch.setEnabled(true);
        QVERIFY(timerSwitch.enabled());
    }

    void spRampDuringARunAsksFirstAndNoLeavesTheWorker() {
        lumas::sim::SimulatedController simulator;
        auto window = makeWindow();
        QCOMPARE(window->logic().ConnectToPort(simulator.portPath()), std::nullopt);
        beginRun(*window, lumas::RunKind::Single);
        messages_.confirmAnswer = false;
        window->SPRamp1Click();
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].kind, QStringLiteral("confirm"));
        QCOMPARE(messages_.shown[0].text,
                 QStringLiteral("Warning: Temperature control will stop.\rContinue?"));
        QVERIFY(window->logic().workerRunning());
        window->close();
    }

    void clearChartAsksAndOnlyYesClearsTheCurves() {
        auto window = makeWindow();
        auto* chart = child<TemperatureChart>(*window, "Chart1");
        for (const bool yes : {false, true}) {
            chart->append(TemperatureChart::Series::Measured, 0.5, 30.0);
            chart->append(TemperatureChart::Series::Target, 0.0, 40.0);
            messages_.confirmAnswer = yes;
            emit chart->clearChartRequested();
            QCOMPARE(messages_.shown.back().text,
                     QStringLiteral("Delete curves?\rWarning: you can not undo this action."));
            QCOMPARE(chart->points(TemperatureChart::Series::Measured).empty(), yes);
            QCOMPARE(chart->points(TemperatureChart::Series::Target).empty(), yes);
        }
    }

    void spRampNeedsAConnection() {
        auto window = makeWindow();
        window->SPRamp1Click();
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown[0].kind, QStringLiteral("message"));
        QCOMPARE(messages_.shown[0].text, QStringLiteral("No Connection!"));
    }

    // The panel as the core drives it, through the label adapter: the warning colours while the
    // alert is on, the panel exactly as before once it is off (also after a repeated on).
    void connectionPanelShowsTheAlertInTheWarningColours() {
        auto window = makeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* panel = child<QLabel>(*window, "statusConnection");
        lumas::ui::LabelText connection(panel);
        connection.setText(QStringLiteral("No reply"));
        const QImage normal = panel->grab().toImage();
        const QPoint inside(panel->width() - 3, panel->height() / 2);  // beside the text
        QVERIFY(normal.pixelColor(inside) != lumas::ui::kAlertBackground);

        connection.setAlert(true);
        connection.setAlert(true);
        const QImage alert = panel->grab().toImage();
        QCOMPARE(alert.pixelColor(inside), lumas::ui::kAlertBackground);
        QCOMPARE(alert.pixelColor(0, panel->height() / 2), lumas::ui::kAlertBorder);
        QColor darkest = Qt::white;
        for (int y = 0; y < alert.height(); ++y) {
            for (int x = 0; x < alert.width(); ++x) {
                if (alert.pixelColor(x, y).lightness() < darkest.lightness()) {
                    darkest = alert.pixelColor(x, y);
                }
            }
        }
        const QColor& red = lumas::ui::kAlertText;
        QVERIFY2(std::abs(darkest.red() - red.red()) <= 40 &&
                     std::abs(darkest.green() - red.green()) <= 40 &&
                     std::abs(darkest.blue() - red.blue()) <= 40,
                 qPrintable(darkest.name()));
        // For the eye: the window while the controller does not answer.
        QVERIFY(window->grab().save(QStringLiteral("main_window_connection_alert.png")));

        connection.setAlert(false);
        QCOMPARE(panel->grab().toImage(), normal);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
