#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <utility>

#include "core/window_ports.h"

namespace lumas::ui {

// The window's widgets seen through the core's narrow interfaces.

class LabelText final : public TextDisplay {
  public:
    explicit LabelText(QLabel* label) : label_(label) {}
    void setText(const QString& text) override { label_->setText(text); }

  private:
    QLabel* label_;
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
    void setIntervalMs(int ms) override { timer_->setInterval(ms); }
    void setEnabled(bool enabled) override {
        if (enabled && !timer_->isActive()) {
            timer_->start();
        } else if (!enabled) {
            timer_->stop();
        }
    }
    bool enabled() const override { return timer_->isActive(); }

  private:
    QTimer* timer_;
};

}  // namespace lumas::ui

namespace lumas::ui {

// A chart series as the core sees it; the window supplies how to clear and extend the curve.
class SeriesPort final : public ChartSeries {
  public:
    SeriesPort(std::function<void()> clear, std::function<void(double, double)> append)
        : clear_(std::move(clear)), append_(std::move(append)) {}
    void clear() override { clear_(); }
    void append(double minutes, double celsius) override { append_(minutes, celsius); }

  private:
    std::function<void()> clear_;
    std::function<void(double, double)> append_;
};

}  // namespace lumas::ui
