// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/emergency_temp_dialog.h"

#include "core/settings_store.h"
#include "ui/dialog_placement.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

EmergencyTempDialog::EmergencyTempDialog(QWidget* owner, QString settingsPath, SharedState& state,
                                         MessageBoxes* messages, const QLocale& locale)
    : QDialog(owner),
      settingsPath_(std::move(settingsPath)),
      state_(state),
      ownMessages_(messages == nullptr ? std::make_unique<QtMessageBoxes>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()),
      locale_(locale) {
    setObjectName(QStringLiteral("EmergencyStopForm"));
    setWindowTitle(QStringLiteral("Emergency Temperature cut off"));
    makeFixedDialog(*this, QSize(379, 135));
    setFont(dialogFontPixels(11));

    frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(8, 8, 277, 119);

    thresholdLabel = new QLabel(QStringLiteral("Threshold value:"), frame);
    thresholdLabel->move(12, 22);
    thresholdLabel->adjustSize();
    advEmergencyTemp = new DecimalField(
        {.minusAllowed = false, .minimum = 0.0, .maximum = kSetPointMax}, frame, messages_);
    advEmergencyTemp->setObjectName(QStringLiteral("advEmergencyTemp"));
    advEmergencyTemp->setGeometry(112, 18, 89, 23);
    unitLabel = new QLabel(QStringLiteral(" °C"), frame);
    unitLabel->setObjectName(QStringLiteral("advEmergencyTempUnit"));
    unitLabel->move(203, 22);
    unitLabel->adjustSize();

    noteLabel = new QLabel(emergency_texts::kNote, frame);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setWordWrap(true);
    noteLabel->setGeometry(12, 54, 253, 52);
    noteLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(296, 8, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(296, 38, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

EmergencyTempDialog::~EmergencyTempDialog() = default;

void EmergencyTempDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        centreOnScreen(*this, parentWidget());
    }
    QDialog::setVisible(visible);
}

void EmergencyTempDialog::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        FormShow();
    }
    centreOnScreen(*this, parentWidget());
    QDialog::showEvent(event);
}

void EmergencyTempDialog::FormShow() {
    advEmergencyTemp->setValue(readEmergencyTemp(settingsPath_, locale_));
    if (state_.ControlActive) {
        advEmergencyTemp->setReadOnly(true);
        advEmergencyTemp->setToolTip(emergency_texts::kReadOnlyTip);
    }
}

void EmergencyTempDialog::done(int result) {
    if (isVisible()) {
        FormClose();
    }
    QDialog::done(result);
}

void EmergencyTempDialog::FormClose() {
    // What is typed is taken first; text the field refuses leaves the threshold as it was.
    advEmergencyTemp->commit();
    const double threshold = advEmergencyTemp->value();
    const SaveResult saved = writeEmergencyTemp(settingsPath_, threshold, locale_);
    state_.EmergencyThreshold = threshold;
    if (!saved.saved) {
        messages_->warning(QStringLiteral("The settings could not be saved: %1.").arg(saved.error));
    }
}

}  // namespace lumas::ui
