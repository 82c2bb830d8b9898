#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <deque>

#include "core/window_ports.h"

namespace lumas::ui {

// The program's modal message boxes as Qt message boxes over `parent`: a warning, an
// information and a plain message, each with OK, and a confirmation with Yes and No (Yes is the
// default button, Esc answers No). A "\r" in a text is shown as a line break; texts are shown as
// plain text, never as markup. A notice is the warning box shown from the event loop once the
// caller's handler has returned; notices given while one is open follow one after another.
class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr);

    void warning(const QString& text) override;
    void information(const QString& text) override;
    bool confirm(const QString& text) override;
    void message(const QString& text) override;
    NoticeId notice(const QString& text) override;

  private:
    void showNotices();

    QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& title,
                                     const QString& text, QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton,
                                     QMessageBox::StandardButton escapeButton);

    QPointer<QWidget> parent_;
    bool hasParent_;
    std::deque<QString> notices_;  // not yet shown
    bool noticesPosted_ = false;   // showNotices() is due or running
    // Runs showNotices() from the event loop; it goes with these boxes.
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
