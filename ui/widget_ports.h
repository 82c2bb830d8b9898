// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTimer>
#include <chrono>

#include <optional>

#include "core/window_ports.h"

namespace lumas::ui {

// The window's widgets seen through the core's narrow interfaces.

class LabelText final : public TextDisplay {
  public:
    explicit LabelText(QLabel* label) : label_(label) {}
    void setText(const QString& text) override { label_->setText(text); }
    // While on, the label shows the warning colours (visual_style.h) in place of its own style
    // sheet; off gives it its own back.
    void setAlert(bool on) override;

  private:
    QLabel* label_;
    std::optional<QString> ownStyleSheet_;  // kept while the alert is on
};

// The core's change handler is connected to the box's toggled signal, so it runs on every actual
// change, by the operator or by the program.
class CheckBoxState final : public CheckBox {
  public:
    explicit CheckBoxState(QCheckBox* box) : box_(box) {}
    bool checked() const override { return box_->isChecked(); }
    void setChecked(bool checked) override { box_->setChecked(checked); }

  private:
    QCheckBox* box_;
};

class TimerSwitch final : public RepeatingTimer {
  public:
    explicit TimerSwitch(QTimer* timer) : timer_(timer) {}
    void setInterval(std::chrono::milliseconds interval) override { timer_->setInterval(interval); }
    // A timer without a period never fires (Qt would fire a zero-period timer on every pass of
    // the event loop).
    void setEnabled(bool enabled) override {
        if (enabled && !timer_->isActive() && timer_->interval() > 0) {
            timer_->start();
        } else if (!enabled) {
            timer_->stop();
        }
    }
    bool enabled() const override { return timer_->isActive(); }

  private:
    QTimer* timer_;
};

// The Advanced tab's programme: a stack of two pages, the twelve fields and the read-only view of
// a loaded programme (its name, its rows as written, its totals and its end).
class ProgrammePages final : public ProgrammeView {
  public:
    struct Widgets {
        QStackedWidget* stack = nullptr;
        QWidget* fieldsPage = nullptr;
        QWidget* loadedPage = nullptr;
        QLabel* name = nullptr;
        QListWidget* rows = nullptr;
        QLabel* totals = nullptr;
        QLabel* end = nullptr;
    };
    explicit ProgrammePages(Widgets widgets) : w_(widgets) {}
    void showLoaded(const ProgrammeSummary& summary) override;
    void showFields() override;

  private:
    Widgets w_;
};

}  // namespace lumas::ui
