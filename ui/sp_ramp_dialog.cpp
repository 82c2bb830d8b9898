// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/sp_ramp_dialog.h"

#include <QTimer>

#include "ui/dialog_placement.h"

namespace lumas::ui {

namespace {

// The pause after each request to the controller.
constexpr std::chrono::milliseconds kRequestPause{80};

DecimalField* rateField(QWidget* parent, const char* name, QRect geometry) {
    auto* field = new DecimalField({.minusAllowed = false}, parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(geometry);
    return field;
}

QLabel* rowLabel(QWidget* parent, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

SpRampDialog::SpRampDialog(QWidget* owner, TOmronCom& controller,
                           std::function<void(std::chrono::milliseconds)> delay,
                           std::function<void()> restartWorker)
    : QDialog(owner),
      controller_(controller),
      delay_(std::move(delay)),
      restartWorker_(std::move(restartWorker)) {
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
    setObjectName(QStringLiteral("SPRampForm"));
    readTimer_ = new QTimer(this);
    readTimer_->setSingleShot(true);
    readTimer_->setInterval(0);
    connect(readTimer_, &QTimer::timeout, this, &SpRampDialog::FormShow);
    setWindowTitle(QStringLiteral("SP Ramp Settings"));
    makeFixedDialog(*this, QSize(552, 226));
    setFont(dialogFontPixels(11));

    rampGroup = new QGroupBox(QStringLiteral("SP Ramp"), this);
    rampGroup->setFont(dialogFontPixels(13));
    rampGroup->setGeometry(8, 8, 536, 56);
    rEnable = new QRadioButton(QStringLiteral("Enable"), rampGroup);
    rEnable->setObjectName(QStringLiteral("rEnable"));
    rEnable->setGeometry(16, 24, 100, 21);
    rDisable = new QRadioButton(QStringLiteral("Disable"), rampGroup);
    rDisable->setObjectName(QStringLiteral("rDisable"));
    rDisable->setGeometry(128, 24, 100, 21);
    connect(rEnable, &QRadioButton::toggled, this, [this](bool ticked) {
        if (ticked) {
            rEnableClick();
        }
    });
    connect(rDisable, &QRadioButton::toggled, this, [this](bool ticked) {
        if (ticked) {
            rDisableClick();
        }
    });

    rateGroup = new QGroupBox(QStringLiteral("SP Ramp change rate settings"), this);
    rateGroup->setFont(dialogFontPixels(13));
    rateGroup->setGeometry(8, 72, 536, 106);
    setValueLabel = rowLabel(rateGroup, QStringLiteral("SP Ramp Set Value:"), QPoint(16, 34));
    RampSetValue = rateField(rateGroup, "RampSetValue", QRect(168, 30, 121, 23));
    fallValueLabel = rowLabel(rateGroup, QStringLiteral("SP Ramp Fall Value:"), QPoint(16, 70));
    RampFallValue = rateField(rateGroup, "RampFallValue", QRect(168, 66, 121, 23));

    bApply = new QPushButton(QStringLiteral("&Apply"), this);
    bApply->setObjectName(QStringLiteral("bApply"));
    bApply->setGeometry(384, 190, 75, 25);
    connect(bApply, &QPushButton::clicked, this, &SpRampDialog::bApplyClick);
    bClose = new QPushButton(QStringLiteral("&Close"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    bClose->setGeometry(469, 190, 75, 25);
    connect(bClose, &QPushButton::clicked, this, &QDialog::reject);
}

void SpRampDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!readOnShow_) {
        readOnShow_ = true;
        // The reads wait for their replies while serving events: run them once the dialog is on
        // the screen, from its own event loop.
        readTimer_->start();
    }
}

void SpRampDialog::FormShow() {
    runRequests([this] {
        sendAndWait([this] { controller_.ReadRampSetValue(); });
        sendAndWait([this] { controller_.ReadRampFallValue(); });
    });
    if (isVisible()) {
        ShowValues();
    }
}

void SpRampDialog::ShowValues() {
    const double setValue = controller_.RampSetValue();
    const double fallValue = controller_.RampFallValue();
    if (setValue != 0.0 || fallValue > 0.0) {
        rEnable->setChecked(true);
    } else {
        rDisable->setChecked(true);
    }
    RampSetValue->setText(valueText(setValue));
    RampFallValue->setText(valueText(fallValue));
    bApply->setFocus();
}

void SpRampDialog::rEnableClick() {
    RampSetValue->setEnabled(true);
    RampFallValue->setEnabled(true);
}

void SpRampDialog::rDisableClick() {
    RampSetValue->setEnabled(false);
    RampFallValue->setEnabled(false);
    RampSetValue->setValue(0.0);
    RampFallValue->setValue(0.0);
}

void SpRampDialog::bApplyClick() {
    if (!RampSetValue->commit() || !RampFallValue->commit()) {
        return;
    }
    const bool ramped = !rDisable->isChecked();
    const double setValue = ramped ? RampSetValue->value() : 0.0;
    const double fallValue = ramped ? RampFallValue->value() : 0.0;
    runRequests([&] {
        sendAndWait([&] { controller_.SetRSV(setValue); });
        sendAndWait([&] { controller_.SetRFV(fallValue); });
    });
}

void SpRampDialog::sendAndWait(const std::function<void()>& request) {
    request();
    delay_(kRequestPause);
}

void SpRampDialog::runRequests(const std::function<void()>& requests) {
    if (sending_) {
        return;  // asked again from an event served during the waits
    }
    sending_ = true;
    requests();
    sending_ = false;
    if (heldClose_) {
        const int result = *heldClose_;
        heldClose_.reset();
        done(result);
    }
}

void SpRampDialog::done(int result) {
    if (sending_) {
        heldClose_ = result;
        return;
    }
    if (!isVisible()) {
        QDialog::done(result);
        return;
    }
    // The worker was stopped for this dialog; it polls again once the dialog is gone.
    restartWorker_();
    QDialog::done(result);
}

QString SpRampDialog::valueText(double value) const {
    return locale_.toString(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace lumas::ui
