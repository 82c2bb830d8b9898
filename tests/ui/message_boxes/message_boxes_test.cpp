// The program's message boxes as the operator sees them: caption, icon, text, buttons, the
// default answer and the answer read back; notices shown after their caller has gone on.

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "dialog_support/modal_watch.h"
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
    };

    // What a box shows: caption, text, icon, buttons, default button and text format.
    static Seen seenIn(const QMessageBox& box);
    // Runs `call` while a watch records the box it opens and presses `answer` in it.
    static Seen showAndAnswer(const std::function<void()>& call,
                              QMessageBox::StandardButton answer);
    // The message boxes open now.
    static int openBoxes();

  private slots:
    void eachKindShowsItsCaptionIconAndButtons_data();
    void eachKindShowsItsCaptionIconAndButtons();
    void confirmationAnswersByTheButtonPressed();
    void carriageReturnBreaksTheLineAndMarkupStaysText();
    void noticeIsTheWarningBoxShownOnceTheCallerHasGoneOn();
    void noticesFollowOneAnotherNeverStacked();
    void noticeWaitsOutAPauseInsideAHandler();
    void noticeIsDroppedWithItsWindowOrItsBoxes();
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

MessageBoxesTest::Seen MessageBoxesTest::seenIn(const QMessageBox& box) {
    Seen seen;
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.icon = box.icon();
    seen.buttons = box.standardButtons();
    seen.format = box.textFormat();
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
    const QString text = QStringLiteral("No device is connected   ");
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

void MessageBoxesTest::noticeIsTheWarningBoxShownOnceTheCallerHasGoneOn() {
    QWidget owner;
    QtMessageBoxes boxes(&owner);
    Seen seen;
    test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
        seen = seenIn(box);
        box.button(QMessageBox::Ok)->click();
    });

    boxes.notice(QStringLiteral("The controller does not answer.\rHeating is off."));
    QCOMPARE(openBoxes(), 0);  // the caller goes on first
    QVERIFY(!watch.seen());

    QTRY_VERIFY(watch.seen());
    QCOMPARE(seen.title, QStringLiteral("Warning"));
    QCOMPARE(seen.text, QStringLiteral("The controller does not answer.\nHeating is off."));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QTRY_COMPARE(openBoxes(), 0);
}

void MessageBoxesTest::noticesFollowOneAnotherNeverStacked() {
    QtMessageBoxes boxes;
    QStringList shown;  // each text with the number of boxes open beside it
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
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

// A handler that pauses while serving events (as the worker's update does between commands) must
// not get a box opened inside its pause: the box would hold the handler, and monitoring with it,
// until someone closes it.
void MessageBoxesTest::noticeWaitsOutAPauseInsideAHandler() {
    QtMessageBoxes boxes;
    test::ModalWatch<QMessageBox> watch(
        [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    bool seenDuringPause = true;
    bool handlerReturned = false;
    QEventLoop topLevel;  // stands for the program's own event loop
    QTimer::singleShot(0, &topLevel, [&] {
        boxes.notice(QStringLiteral("The controller does not answer."));
        QEventLoop pause;
        QTimer::singleShot(300, &pause, &QEventLoop::quit);
        pause.exec();
        seenDuringPause = watch.seen();
        handlerReturned = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &topLevel, [&] {
        if (watch.seen()) {
            topLevel.quit();
        }
    });
    poll.start(10);
    QTimer::singleShot(3000, &topLevel, &QEventLoop::quit);
    topLevel.exec();
    QVERIFY(handlerReturned);
    QVERIFY(!seenDuringPause);
    QVERIFY(watch.seen());
}

void MessageBoxesTest::noticeIsDroppedWithItsWindowOrItsBoxes() {
    auto owner = std::make_unique<QWidget>();
    QtMessageBoxes boxes(owner.get());
    boxes.notice(QStringLiteral("for a window that closes"));
    owner.reset();
    {
        QtMessageBoxes gone;
        gone.notice(QStringLiteral("for boxes that are gone"));
    }
    bool anyShown = false;
    test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
        anyShown = true;
        box.button(QMessageBox::Ok)->click();
    });
    QTest::qWait(100);
    QVERIFY(!anyShown);
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::MessageBoxesTest)
#include "message_boxes_test.moc"
