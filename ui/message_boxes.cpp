#include "ui/message_boxes.h"

#include <QGuiApplication>
#include <QThread>

#include <chrono>

namespace lumas::ui {

namespace {
// How soon notices held back by a nested event loop are tried again.
constexpr std::chrono::milliseconds kNoticeRetry{100};
}  // namespace

QString messageBoxText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QtMessageBoxes::QtMessageBoxes(QWidget* parent) : parent_(parent), hasParent_(parent != nullptr) {
    noticeTimer_.setSingleShot(true);
    noticeTimer_.setInterval(0);
    QObject::connect(&noticeTimer_, &QTimer::timeout, &noticeTimer_, [this] { showNotices(); });
}

void QtMessageBoxes::warning(const QString& text) {
    show(QMessageBox::Warning, box_titles::kWarning, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

void QtMessageBoxes::information(const QString& text) {
    show(QMessageBox::Information, box_titles::kInformation, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

bool QtMessageBoxes::confirm(const QString& text) {
    return show(QMessageBox::Question, box_titles::kConfirm, text,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                QMessageBox::No) == QMessageBox::Yes;
}

void QtMessageBoxes::message(const QString& text) {
    // A plain message carries the program's name as its caption and no icon.
    show(QMessageBox::NoIcon, box_titles::kProgram, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

MessageBoxes::NoticeId QtMessageBoxes::notice(const QString& text) {
    notices_.push_back(text);
    if (!noticesPosted_) {
        noticesPosted_ = true;
        noticeTimer_.start(0);
    }
    return 0;
}

// Shows the notices in turn; ones given while a box is open wait for it. Nothing is shown once
// the window they belong to is gone.
void QtMessageBoxes::showNotices() {
    // Not from inside a pause that serves events within a handler (the worker's update waits
    // that way): a box opened there would hold the update, and with it monitoring, until it is
    // closed. The notices wait for the top-level event loop.
    if (QThread::currentThread()->loopLevel() > 1) {
        noticeTimer_.start(kNoticeRetry);
        return;
    }
    const QPointer<QTimer> alive(&noticeTimer_);
    while (!notices_.empty() && !(hasParent_ && parent_.isNull())) {
        const QString text = notices_.front();
        notices_.pop_front();
        warning(text);
        if (alive.isNull()) {
            return;  // these boxes went with their window while the box was open
        }
    }
    notices_.clear();
    noticesPosted_ = false;
}

QMessageBox::StandardButton QtMessageBoxes::show(QMessageBox::Icon icon, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton,
                                                 QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, title, messageBoxText(text), buttons, parent_.data());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    const int answer = box.exec();
    return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace lumas::ui
