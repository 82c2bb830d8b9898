// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "core/shared_state.h"
#include "core/window_ports.h"
#include "ui/numeric_fields.h"

namespace lumas::ui {

// The emergency cut-off temperature: shows the stored threshold and, however the dialog is
// closed (OK, Cancel, Enter, Esc or the close box), stores what the field shows and makes it the
// threshold in effect. During a run the field is read-only and says why in its tooltip.
class EmergencyTempDialog final : public QDialog {
    Q_OBJECT

  public:
    // `settingsPath` is the settings file; `state` holds the run flag read on showing and the
    // threshold set on closing. `messages` reports a settings file that cannot be written;
    // without it the dialog shows Qt message boxes over itself.
    EmergencyTempDialog(QWidget* owner, QString settingsPath, SharedState& state,
                        MessageBoxes* messages = nullptr, const QLocale& locale = QLocale());
    ~EmergencyTempDialog() override;

    void done(int result) override;

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void FormClose();

    QString settingsPath_;
    SharedState& state_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_;
    QLocale locale_;
    bool loaded_ = false;  // the stored value has been put into the field

    QFrame* frame;
    QLabel* thresholdLabel;
    DecimalField* advEmergencyTemp;
    QLabel* unitLabel;
    QLabel* noteLabel;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

namespace emergency_texts {
inline const QString kReadOnlyTip = QStringLiteral("Stop the controller to change this value.");
inline const QString kNote = QStringLiteral(
    "Note: Controller will stop if the temperature will exceed the threshold value ");
}  // namespace emergency_texts

}  // namespace lumas::ui
