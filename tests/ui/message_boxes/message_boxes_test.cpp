// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The program's message boxes as the operator sees them: caption, icon, text, buttons, the
// default answer and the answer read back; notices and alarms shown one at a time after their
// caller has gone on, notices withdrawn, alarms acknowledged.

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "dialog_support/modal_watch.h"
#include "support/event_wait.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

class MessageBoxesTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        Qt::TextFormat format = Qt::AutoText;
        int width = 0;        // of the box, pixels
        int captionRoom = 0;  // what its caption needs in a bold title font, pixels
    };

    // What a box shows: caption, text, icon, buttons, default button and text format.
    static Seen seenIn(const QMessageBox& box);
    // Runs `call` while a watch records the box it opens and presses `answer` in it.
    static Seen showAndAnswer(const std::function<void()>& call,
                              QMessageBox::StandardButton answer);
    // The message boxes open now.
    static int openBoxes();
    // The notice or alarm on screen (opened without an event loop of its own), if any.
    static QMessageBox* openNotice();

  private slots:
    void eachKindShowsItsCaptionIconAndButtons_data();
    void eachKindShowsItsCaptionIconAndButtons();
    void confirmationAnswersByTheButtonPressed();
    void carriageReturnBreaksTheLineAndMarkupStaysText();
    void noticeIsAWindowModalWarningOpenedOnceTheCallerHasGoneOn();
    void noticesFollowOneAnotherNeverStacked();
    void withdrawnNoticesCloseOrAreDropped_data();
    void withdrawnNoticesCloseOrAreDropped();
    void alarmIsAcknowledgedOnlyWhenTheOperatorClosesIt();
    void noticeWaitsOutAPauseInsideAHandler();
    void nothingIsShownOrAcknowledgedOnceTheWindowIsGone();
};

int MessageBoxesTest::openBoxes() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) {
            ++open;
        }
    }
    return open;
}

QMessageBox* MessageBoxesTest::openNotice() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

MessageBoxesTest::Seen MessageBoxesTest::seenIn(const QMessageBox& box) {
    Seen seen;
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.icon = box.icon();
    seen.buttons = box.standardButtons();
    seen.format = box.textFormat();
    seen.width = box.width();
    QFont bold = box.font();
    bold.setBold(true);
    seen.captionRoom = QFontMetrics(bold).horizontalAdvance(box.windowTitle());
    if (box.defaultButton() != nullptr) {
        seen.defaultButton = box.standardButton(box.defaultButton());
    }
    return seen;
}

MessageBoxesTest::Seen MessageBoxesTest::showAndAnswer(const std::function<void()>& call,
                                                       QMessageBox::StandardButton answer) {
    Seen seen;
    test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
        seen = seenIn(box);
        box.button(answer)->click();
    });
    call();
    if (!watch.seen()) {
        qFatal("no message box was shown");
    }
    return seen;
}

void MessageBoxesTest::eachKindShowsItsCaptionIconAndButtons_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    QTest::newRow("warning") << "warning"
                             << "Warning" << int(QMessageBox::Warning) << ok << ok;
    QTest::newRow("information") << "information"
                                 << "Information" << int(QMessageBox::Information) << ok << ok;
    QTest::newRow("confirm") << "confirm"
                             << "Confirm" << int(QMessageBox::Question) << yesNo
                             << int(QMessageBox::Yes);
    QTest::newRow("message") << "message"
                             << "Lumas Software" << int(QMessageBox::NoIcon) << ok << ok;
}

void MessageBoxesTest::eachKindShowsItsCaptionIconAndButtons() {
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumas Software"));

    QWidget owner;
    QtMessageBoxes boxes(&owner);
    const QString text =
        kind == "message" ? QStringLiteral("Done.") : QStringLiteral("No device is connected   ");
    const auto answer =
        kind == "confirm" ? QMessageBox::No : static_cast<QMessageBox::StandardButton>(buttons);
    const Seen seen = showAndAnswer(
        [&] {
            if (kind == "warning") {
                boxes.warning(text);
            } else if (kind == "information") {
                boxes.information(text);
            } else if (kind == "confirm") {
                boxes.confirm(text);
            } else {
                boxes.message(text);
            }
        },
        answer);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.text, text);  // trailing blanks kept
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(int(seen.buttons), buttons);
    QCOMPARE(int(seen.defaultButton), defaultButton);
    // A short text still makes a box whose title bar holds its caption, with room for the frame's
    // icon and buttons.
    QVERIFY2(
        seen.width >= seen.captionRoom + 120,
        qPrintable(
            QStringLiteral("%1 px for a caption of %2").arg(seen.width).arg(seen.captionRoom)));
}

void MessageBoxesTest::confirmationAnswersByTheButtonPressed() {
    QtMessageBoxes boxes;
    bool answer = false;
    showAndAnswer([&] { answer = boxes.confirm(QStringLiteral("Delete curves?")); },
                  QMessageBox::Yes);
    QVERIFY(answer);
    showAndAnswer([&] { answer = boxes.confirm(QStringLiteral("Delete curves?")); },
                  QMessageBox::No);
    QVERIFY(!answer);

    // Esc answers No.
    test::ModalWatch<QMessageBox> escape(
        [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    answer = boxes.confirm(QStringLiteral("Delete curves?"));
    QVERIFY(escape.seen());
    QVERIFY(!answer);
}

void MessageBoxesTest::carriageReturnBreaksTheLineAndMarkupStaysText() {
    QCOMPARE(
        messageBoxText(QStringLiteral("Delete curves?\rWarning: you can not undo this action.")),
        QStringLiteral("Delete curves?\nWarning: you can not undo this action."));
    QCOMPARE(messageBoxText(QStringLiteral("a\r\nb\r\rc")), QStringLiteral("a\nb\n\nc"));

    QtMessageBoxes boxes;
    const Seen seen = showAndAnswer(
        [&] { boxes.message(QStringLiteral("Error occured: <b>COM3</b>\rx")); }, QMessageBox::Ok);
    QCOMPARE(seen.text, QStringLiteral("Error occured: <b>COM3</b>\nx"));
    QCOMPARE(seen.format, Qt::PlainText);
}

void MessageBoxesTest::noticeIsAWindowModalWarningOpenedOnceTheCallerHasGoneOn() {
    QWidget owner;
    QtMessageBoxes boxes(&owner);
    Seen seen;
    Qt::WindowModality modality = Qt::NonModal;
    int loopLevel = -1;
    test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
        seen = seenIn(box);
        modality = box.windowModality();
        loopLevel = QThread::currentThread()->loopLevel();
        box.button(QMessageBox::Ok)->click();
    });

    const auto first =
        boxes.notice(QStringLiteral("The controller does not answer.\rHeating is off."));
    QCOMPARE(openBoxes(), 0);  // the caller goes on first
    QVERIFY(!watch.seen());

    QTRY_VERIFY(watch.seen());
    QCOMPARE(seen.title, QStringLiteral("Warning"));
    QCOMPARE(seen.text, QStringLiteral("The controller does not answer.\nHeating is off."));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(modality, Qt::WindowModal);
    QCOMPARE(loopLevel, 0);  // opened, not run in an event loop of its own
    QTRY_COMPARE(openBoxes(), 0);

    const auto second = boxes.notice(QStringLiteral("again"));
    QVERIFY(first != 0 && second != 0 && first != second);
    QTRY_VERIFY(openNotice() != nullptr);
    openNotice()->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(openBoxes(), 0);
}

void MessageBoxesTest::noticesFollowOneAnotherNeverStacked() {
    QtMessageBoxes boxes;
    QStringList shown;  // each text with the number of boxes open beside it
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QMessageBox* box = openNotice();
        if (box == nullptr) {
            return;
        }
        shown << QStringLiteral("%1 (%2 open)").arg(box->text()).arg(openBoxes());
        if (box->text() == QStringLiteral("first")) {
            boxes.notice(QStringLiteral("given while the first is open"));
        }
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(10);

    boxes.notice(QStringLiteral("first"));
    boxes.notice(QStringLiteral("second"));

    QTRY_COMPARE(shown, (QStringList{"first (1 open)", "second (1 open)",
                                     "given while the first is open (1 open)"}));
    QTest::qWait(50);
    QCOMPARE(shown.size(), 3);
}

// A notice withdrawn while it is open closes and its replacement opens next; one still waiting is
// dropped or replaced where it stands; for one already closed (or id 0) only the replacement comes,
// after the others.
void MessageBoxesTest::withdrawnNoticesCloseOrAreDropped_data() {
    QTest::addColumn<QString>("which");  // "open", "queued", "closed" or "none" (id 0)
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("open") << "open" << QString() << QStringList{"a", "b", "c"};
    QTest::newRow("open, replaced") << "open"
                                    << "a is over" << QStringList{"a", "a is over", "b", "c"};
    QTest::newRow("queued") << "queued" << QString() << QStringList{"a", "c"};
    QTest::newRow("queued, replaced") << "queued"
                                      << "b is over" << QStringList{"a", "b is over", "c"};
    QTest::newRow("closed") << "closed" << QString() << QStringList{"a", "b", "c"};
    QTest::newRow("closed, replaced") << "closed"
                                      << "a is over" << QStringList{"a", "b", "c", "a is over"};
    QTest::newRow("id 0, replaced") << "none"
                                    << "all is well" << QStringList{"a", "b", "c", "all is well"};
}

void MessageBoxesTest::withdrawnNoticesCloseOrAreDropped() {
    QFETCH(QString, which);
    QFETCH(QString, replacement);
    QFETCH(QStringList, shown);
    QWidget owner;
    QtMessageBoxes boxes(&owner);
    const auto a = boxes.notice(QStringLiteral("a"));
    const auto b = boxes.notice(QStringLiteral("b"));
    boxes.notice(QStringLiteral("c"));
    QStringList seen;
    QTRY_VERIFY(openNotice() != nullptr);
    seen << openNotice()->text();

    if (which == "open") {
        QPointer<QMessageBox> withdrawn = openNotice();
        boxes.withdrawNotice(a, replacement);
        QVERIFY(withdrawn.isNull() || !withdrawn->isVisible());  // closed at once
    } else if (which == "queued") {
        boxes.withdrawNotice(b, replacement);
    } else {
        openNotice()->button(QMessageBox::Ok)->click();
        QTRY_COMPARE(openNotice() != nullptr ? openNotice()->text() : QString(),
                     QStringLiteral("b"));
        boxes.withdrawNotice(which == "closed" ? a : 0, replacement);
        QCOMPARE(openNotice()->text(), QStringLiteral("b"));  // the open one stays
    }
    // The operator closes the rest one by one.
    while (true) {
        if (!test::waitUntil([&] { return openNotice() != nullptr; }, 300)) {
            break;
        }
        if (seen.size() > 1 || openNotice()->text() != seen.front()) {
            seen << openNotice()->text();
        }
        QCOMPARE(openBoxes(), 1);
        openNotice()->button(QMessageBox::Ok)->click();
    }
    QCOMPARE(seen, shown);
}

// An alarm waits its turn among the notices, cannot be withdrawn, and is acknowledged once the
// operator has closed it, and only then.
void MessageBoxesTest::alarmIsAcknowledgedOnlyWhenTheOperatorClosesIt() {
    for (const QString way : {"OK", "Esc", "close box"}) {
        QWidget owner;
        QtMessageBoxes boxes(&owner);
        int acknowledged = 0;
        const auto before = boxes.notice(QStringLiteral("before"));
        boxes.alarm(QStringLiteral("Over temperature.\rHeating is off."), [&] { ++acknowledged; });
        boxes.notice(QStringLiteral("after"));

        QTRY_VERIFY(openNotice() != nullptr);
        QCOMPARE(openNotice()->text(), QStringLiteral("before"));
        openNotice()->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(openNotice() != nullptr &&
                    openNotice()->text() == QStringLiteral("Over temperature.\nHeating is off."));
        QPointer<QMessageBox> alarmBox = openNotice();
        QCOMPARE(alarmBox->icon(), QMessageBox::Warning);
        boxes.withdrawNotice(before + 1);  // the id an alarm would have, were it a notice
        boxes.withdrawNotice(before);
        QTest::qWait(50);
        QCOMPARE(openNotice(), alarmBox.data());
        QCOMPARE(acknowledged, 0);

        if (way == "OK") {
            alarmBox->button(QMessageBox::Ok)->click();
        } else if (way == "Esc") {
            QTest::keyClick(alarmBox, Qt::Key_Escape);
        } else {
            alarmBox->close();
        }
        QTRY_COMPARE(acknowledged, 1);
        QTRY_VERIFY(openNotice() != nullptr);
        QCOMPARE(openNotice()->text(), QStringLiteral("after"));
        openNotice()->button(QMessageBox::Ok)->click();
        QTest::qWait(50);
        QCOMPARE(acknowledged, 1);
    }
}

// A handler that pauses while serving events (as the worker's update does between commands) gets
// no box opened inside its pause: the notice waits until the handler has returned.
void MessageBoxesTest::noticeWaitsOutAPauseInsideAHandler() {
    QtMessageBoxes boxes;
    bool seenDuringPause = true;
    bool handlerReturned = false;
    QEventLoop topLevel;  // stands for the program's own event loop
    QTimer::singleShot(0, &topLevel, [&] {
        boxes.notice(QStringLiteral("The controller does not answer."));
        QEventLoop pause;
        QTimer::singleShot(300, &pause, &QEventLoop::quit);
        pause.exec();
        seenDuringPause = openNotice() != nullptr;
        handlerReturned = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &topLevel, [&] {
        if (QMessageBox* box = openNotice()) {
            box->button(QMessageBox::Ok)->click();
            topLevel.quit();
        }
    });
    poll.start(10);
    QTimer::singleShot(3000, &topLevel, &QEventLoop::quit);
    topLevel.exec();
    QVERIFY(handlerReturned);
    QVERIFY(!seenDuringPause);
    QTRY_COMPARE(openBoxes(), 0);
}

// Once the window is gone, or the boxes themselves, nothing more is shown and no alarm is
// acknowledged: not the notice on screen, not the ones waiting.
void MessageBoxesTest::nothingIsShownOrAcknowledgedOnceTheWindowIsGone() {
    int acknowledged = 0;
    {
        auto owner = std::make_unique<QWidget>();
        QtMessageBoxes boxes(owner.get());
        boxes.alarm(QStringLiteral("on screen when the window closes"), [&] { ++acknowledged; });
        boxes.alarm(QStringLiteral("waiting when the window closes"), [&] { ++acknowledged; });
        boxes.notice(QStringLiteral("waiting as well"));
        QTRY_VERIFY(openNotice() != nullptr);
        owner.reset();
        QTest::qWait(100);
        QCOMPARE(openBoxes(), 0);
        boxes.notice(QStringLiteral("given after the window has gone"));
        QTest::qWait(100);
        QCOMPARE(openBoxes(), 0);
    }
    {
        // Closed just before the window goes: the acknowledgement, due from the event loop, would
        // find the window gone.
        auto owner = std::make_unique<QWidget>();
        QtMessageBoxes boxes(owner.get());
        boxes.alarm(QStringLiteral("closed as the window closes"), [&] { ++acknowledged; });
        QTRY_VERIFY(openNotice() != nullptr);
        openNotice()->button(QMessageBox::Ok)->click();
        owner.reset();
        QTest::qWait(100);
    }
    {
        QWidget owner;
        {
            QtMessageBoxes boxes(&owner);
            boxes.alarm(QStringLiteral("on screen when the boxes go"), [&] { ++acknowledged; });
            boxes.notice(QStringLiteral("waiting when the boxes go"));
            QTRY_VERIFY(openNotice() != nullptr);
        }
        QCOMPARE(openBoxes(), 0);
        {
            QtMessageBoxes gone;
            gone.notice(QStringLiteral("for boxes that are gone"));
        }
        QTest::qWait(100);
        QCOMPARE(openBoxes(), 0);
    }
    QCOMPARE(acknowledged, 0);
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::MessageBoxesTest)
#include "message_boxes_test.moc"
