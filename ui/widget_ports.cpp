// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/widget_ports.h"

#include "ui/visual_style.h"

namespace lumas::ui {

void LabelText::setAlert(bool on) {
    if (on && !ownStyleSheet_) {
        ownStyleSheet_ = label_->styleSheet();
        label_->setStyleSheet(
            QStringLiteral("color: %1; background-color: %2; "
                           "border: 1px solid %3; padding: 0 2px;")
                .arg(kAlertText.name(), kAlertBackground.name(), kAlertBorder.name()));
    } else if (!on && ownStyleSheet_) {
        label_->setStyleSheet(*ownStyleSheet_);
        ownStyleSheet_.reset();
    }
}

void ProgrammePages::showLoaded(const ProgrammeSummary& summary) {
    w_.name->setText(summary.name);
    w_.rows->clear();
    w_.rows->addItems(summary.rows);
    w_.totals->setText(summary.totals);
    w_.end->setText(summary.end);
    w_.stack->setCurrentWidget(w_.loadedPage);
}

void ProgrammePages::showFields() {
    w_.rows->clear();
    w_.stack->setCurrentWidget(w_.fieldsPage);
}

}  // namespace lumas::ui
