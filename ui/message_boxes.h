// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/window_ports.h"

namespace lumas::ui {

// The program's modal message boxes as Qt message boxes over `parent`: a warning, an
// information and a plain message, each with OK, and a confirmation with Yes and No (Yes is the
// default button, Esc answers No). These four block their caller until the box is closed. A "\r"
// in a text is shown as a line break; texts are shown as plain text, never as markup.
//
// Notices and alarms are warning boxes that do not hold up their caller. They wait in one queue
// and are shown one at a time, in the order given, each as a window-modal box opened from the
// event loop once the caller's handler has returned (not from inside a pause that serves events
// within a handler); the next opens when the operator closes the one on screen. A notice can be
// withdrawn; an alarm cannot, and its `acknowledged` runs once the operator has closed it.
// Nothing is shown, and nothing acknowledged, once the parent window is gone or these boxes are.
class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr);
    ~QtMessageBoxes() override;
    QtMessageBoxes(const QtMessageBoxes&) = delete;
    QtMessageBoxes& operator=(const QtMessageBoxes&) = delete;

    void warning(const QString& text) override;
    void information(const QString& text) override;
    bool confirm(const QString& text) override;
    void message(const QString& text) override;
    bool choose(const QString& text, const QString& accept, const QString& reject) override;
    NoticeId notice(const QString& text) override;
    void withdrawNotice(NoticeId id, const QString& replacement = QString()) override;
    void alarm(const QString& text, std::function<void()> acknowledged) override;

  private:
    struct Notice {
        NoticeId id = 0;
        QString text;
        bool alarm = false;
        std::function<void()> acknowledged;  // alarms only; may be empty
    };

    // Has noticeTimerFired() run from the event loop, unless it is due already.
    void postShowing();
    // Runs the acknowledgements due, then opens the next box.
    void noticeTimerFired();
    void showNext();
    // The open box was closed by the operator.
    void closedByOperator(NoticeId id);
    // The open box is gone without the operator closing it (its window went with it).
    void boxDestroyed(NoticeId id);
    bool windowGone() const { return hasParent_ && parent_.isNull(); }

    QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& title,
                                     const QString& text, QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton,
                                     QMessageBox::StandardButton escapeButton);

    QPointer<QWidget> parent_;
    bool hasParent_;
    std::deque<Notice> queued_;      // not yet shown, in order
    std::optional<Notice> open_;     // the one on screen
    QPointer<QMessageBox> openBox_;  // its box
    // Of alarms the operator has closed, to run from the event loop.
    std::vector<std::function<void()>> acknowledgements_;
    NoticeId lastId_ = 0;
    // Runs noticeTimerFired() from the event loop; it is also the context of every connection to
    // a box, so that none runs once these boxes are gone.
    QTimer noticeTimer_;
};

// A message text as a box shows it: every "\r\n" and every lone "\r" becomes "\n".
QString messageBoxText(const QString& text);

// The captions of the boxes.
namespace box_titles {
inline const QString kWarning = QStringLiteral("Warning");
inline const QString kInformation = QStringLiteral("Information");
inline const QString kConfirm = QStringLiteral("Confirm");
// A plain message carries the program's title.
inline const QString kProgram = QStringLiteral("Lumas Software");
}  // namespace box_titles

}  // namespace lumas::ui
