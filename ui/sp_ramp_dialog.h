// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

#include "protocol/omron_com.h"
#include "ui/numeric_fields.h"

namespace lumas::ui {

// The SP ramp settings of the controller: whether the working set point is ramped, and its
// largest rise and fall per minute. Opened with the monitoring worker stopped, so that its
// requests are the only traffic on the port. On showing it reads both values from the controller;
// "Apply" writes them (zeros while "Disable" is ticked). However it is closed ("Close", the close
// box, Esc), the monitoring worker is started again; a close asked for while requests are being
// sent waits until they are done.
class SpRampDialog final : public QDialog {
    Q_OBJECT

  public:
    // `delay` waits the time given while serving events (replies are decoded during it);
    // `restartWorker` starts a new monitoring worker.
    SpRampDialog(QWidget* owner, TOmronCom& controller,
                 std::function<void(std::chrono::milliseconds)> delay,
                 std::function<void()> restartWorker);

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void ShowValues();
    void rEnableClick();
    void rDisableClick();
    void bApplyClick();
    // Sends `request` and waits the pause that follows each request.
    void sendAndWait(const std::function<void()>& request);
    // Runs `requests` with closing held back until they are done.
    void runRequests(const std::function<void()>& requests);
    QString valueText(double value) const;

    TOmronCom& controller_;
    std::function<void(std::chrono::milliseconds)> delay_;
    std::function<void()> restartWorker_;
    QLocale locale_;
    bool readOnShow_ = false;       // the values have been read for this opening
    bool sending_ = false;          // requests are being sent
    std::optional<int> heldClose_;  // the result of a close asked for while sending

    QTimer* readTimer_;  // starts the reads once the dialog is shown

    QGroupBox* rampGroup;
    QRadioButton* rEnable;
    QRadioButton* rDisable;
    QGroupBox* rateGroup;
    QLabel* setValueLabel;
    DecimalField* RampSetValue;
    QLabel* fallValueLabel;
    DecimalField* RampFallValue;
    QPushButton* bApply;
    QPushButton* bClose;
};

}  // namespace lumas::ui
