// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QSpacerItem>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "ui/dialog_placement.h"

namespace lumas::ui {

namespace {
// How soon notices held back by a pause inside a handler are tried again.
constexpr std::chrono::milliseconds kNoticeRetry{100};

void setUp(QMessageBox& box, QMessageBox::StandardButton defaultButton,
           QMessageBox::StandardButton escapeButton) {
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    // A short text makes a narrow box, whose frame would cut its caption ("Lum…ware"): the box is
    // kept wide enough for the caption in a bold title font.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(titleBarWidth(box.windowTitle()), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}
}  // namespace

QString messageBoxText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QtMessageBoxes::QtMessageBoxes(QWidget* parent) : parent_(parent), hasParent_(parent != nullptr) {
    noticeTimer_.setSingleShot(true);
    QObject::connect(&noticeTimer_, &QTimer::timeout, &noticeTimer_,
                     [this] { noticeTimerFired(); });
}

QtMessageBoxes::~QtMessageBoxes() {
    // The notice on screen goes with these boxes, unacknowledged.
    if (QMessageBox* box = openBox_.data()) {
        QObject::disconnect(box, nullptr, &noticeTimer_, nullptr);
        delete box;
    }
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

bool QtMessageBoxes::choose(const QString& text, const QString& accept, const QString& reject) {
    QMessageBox box(QMessageBox::Question, box_titles::kConfirm, messageBoxText(text),
                    QMessageBox::Yes | QMessageBox::No, parent_.data());
    setUp(box, QMessageBox::No, QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(accept);
    box.button(QMessageBox::No)->setText(reject);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::message(const QString& text) {
    // A plain message carries the program's name as its caption and no icon.
    show(QMessageBox::NoIcon, box_titles::kProgram, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

MessageBoxes::NoticeId QtMessageBoxes::notice(const QString& text) {
    const NoticeId id = ++lastId_;
    queued_.push_back({.id = id, .text = text, .alarm = false, .acknowledged = {}});
    postShowing();
    return id;
}

void QtMessageBoxes::alarm(const QString& text, std::function<void()> acknowledged) {
    queued_.push_back(
        {.id = ++lastId_, .text = text, .alarm = true, .acknowledged = std::move(acknowledged)});
    postShowing();
}

void QtMessageBoxes::withdrawNotice(NoticeId id, const QString& replacement) {
    if (id != 0 && open_ && open_->id == id && !open_->alarm) {
        // On screen: it closes, and the replacement is the next to open.
        open_.reset();
        if (QMessageBox* box = openBox_.data()) {
            openBox_.clear();
            QObject::disconnect(box, nullptr, &noticeTimer_, nullptr);
            delete box;
        }
        if (!replacement.isEmpty()) {
            queued_.push_front(
                {.id = ++lastId_, .text = replacement, .alarm = false, .acknowledged = {}});
        }
        postShowing();
        return;
    }
    const auto waiting = std::find_if(queued_.begin(), queued_.end(), [id](const Notice& notice) {
        return id != 0 && notice.id == id && !notice.alarm;
    });
    if (waiting != queued_.end()) {
        // Not shown yet: dropped, or its replacement takes its place.
        if (replacement.isEmpty()) {
            queued_.erase(waiting);
        } else {
            *waiting = {.id = ++lastId_, .text = replacement, .alarm = false, .acknowledged = {}};
        }
        return;
    }
    // Already closed by the operator (or never given): only the replacement is shown.
    if (!replacement.isEmpty()) {
        notice(replacement);
    }
}

void QtMessageBoxes::postShowing() {
    if (!noticeTimer_.isActive()) {
        noticeTimer_.start(0);
    }
}

void QtMessageBoxes::showNext() {
    if (windowGone()) {
        queued_.clear();
        return;
    }
    if (open_ || queued_.empty()) {
        return;  // the next opens when the one on screen is closed
    }
    // Not from inside a pause that serves events within a handler (the worker's update waits that
    // way), nor while a blocking box is open: the notice waits for the top-level event loop.
    if (QThread::currentThread()->loopLevel() > 1) {
        noticeTimer_.start(kNoticeRetry);
        return;
    }
    open_ = std::move(queued_.front());
    queued_.pop_front();
    const NoticeId id = open_->id;
    auto* box = new QMessageBox(QMessageBox::Warning, box_titles::kWarning,
                                messageBoxText(open_->text), QMessageBox::Ok, parent_.data());
    setUp(*box, QMessageBox::Ok, QMessageBox::Ok);
    openBox_ = box;
    QObject::connect(box, &QDialog::finished, &noticeTimer_, [this, id] { closedByOperator(id); });
    QObject::connect(box, &QObject::destroyed, &noticeTimer_, [this, id] { boxDestroyed(id); });
    box->open();  // window-modal; no event loop of its own
}

void QtMessageBoxes::closedByOperator(NoticeId id) {
    if (!open_ || open_->id != id) {
        return;
    }
    Notice closed = std::move(*open_);
    open_.reset();
    if (QMessageBox* box = openBox_.data()) {
        openBox_.clear();
        QObject::disconnect(box, nullptr, &noticeTimer_, nullptr);
        box->deleteLater();
    }
    if (closed.acknowledged) {
        acknowledgements_.push_back(std::move(closed.acknowledged));
    }
    noticeTimer_.start(0);  // the acknowledgement, then the next box
}

void QtMessageBoxes::noticeTimerFired() {
    // Each acknowledgement runs from the event loop, once the box's own handling is over; none
    // runs once the window has gone (what it would act on went with it), nor after one of them
    // has closed the window or these boxes.
    std::vector<std::function<void()>> due;
    due.swap(acknowledgements_);
    const QPointer<QTimer> alive(&noticeTimer_);
    for (const std::function<void()>& acknowledged : due) {
        if (alive.isNull() || windowGone()) {
            return;
        }
        acknowledged();
    }
    if (!alive.isNull()) {
        showNext();
    }
}

void QtMessageBoxes::boxDestroyed(NoticeId id) {
    if (open_ && open_->id == id) {
        open_.reset();  // unacknowledged
        postShowing();  // finds the window gone and drops the rest
    }
}

QMessageBox::StandardButton QtMessageBoxes::show(QMessageBox::Icon icon, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton,
                                                 QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, title, messageBoxText(text), buttons, parent_.data());
    setUp(box, defaultButton, escapeButton);
    const int answer = box.exec();
    return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace lumas::ui
