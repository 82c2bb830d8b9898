// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <chrono>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/window_ports.h"
#include "support/recorded_messages.h"

namespace lumas::test {

// A window for the core that records what the core does to it.
struct FakeText final : TextDisplay {
    void setText(const QString& value) override {
        text = value;
        history << value;
    }
    void setAlert(bool on) override { alert = on; }
    QString text;
    QStringList history;
    bool alert = false;
};

struct FakeNumber final : NumericField {
    double value() const override { return number; }
    void setValue(double value) override { number = value; }
    double number = 0.0;
};

// Runs `onChange` on every actual change, as the window's check box does.
struct FakeCheckBox final : CheckBox {
    bool checked() const override { return state; }
    void setChecked(bool value) override {
        if (value != state) {
            state = value;
            if (onChange) {
                onChange();
            }
        }
    }
    bool state = false;
    std::function<void()> onChange;
};

struct FakeSeries final : ChartSeries {
    void clear() override { points.clear(); }
    void append(double minutes, double celsius) override { points.emplace_back(minutes, celsius); }
    void appendGap() override { gapsAfter.push_back(points.size()); }
    std::vector<QPointF> points;
    std::vector<std::size_t> gapsAfter;  // the number of points before each gap
};

struct FakeTimer final : RepeatingTimer {
    void setInterval(std::chrono::milliseconds duration) override { interval = duration; }
    void setEnabled(bool value) override { on = value; }
    bool enabled() const override { return on; }
    std::chrono::milliseconds interval{1000};
    bool on = false;
};

struct FakeWindow {
    FakeWindow() {
        for (int k = 0; k < 12; ++k) {
            ports.fiSP[k] = &temperatures[k];
            ports.fiSPt[k] = &holdTimes[k];
        }
    }

    FakeText lTemp, lSetPoint, lCS, lCS2, lFinish, lTotal, statusConnection, statusWarning,
        statusRun, lStep;
    FakeNumber singleSetPoint;
    std::array<FakeNumber, 12> temperatures;
    std::array<FakeNumber, 12> holdTimes;
    FakeCheckBox targetCurve;
    FakeSeries measured, target;
    FakeTimer timerMulti, timerSingle, timerCsv;
    RecordedMessages messages;
    int enableCalls = 0;
    int disableCalls = 0;
    int clearCalls = 0;
    int configFormRuns = 0;

    MainWindowPorts ports{lTemp,
                          lSetPoint,
                          lCS,
                          lCS2,
                          lFinish,
                          lTotal,
                          statusConnection,
                          statusWarning,
                          statusRun,
                          lStep,
                          singleSetPoint,
                          {},
                          {},
                          targetCurve,
                          measured,
                          target,
                          timerMulti,
                          timerSingle,
                          timerCsv,
                          messages,
                          [this] { ++enableCalls; },
                          [this] { ++disableCalls; },
                          [this] { ++clearCalls; },
                          [] {},
                          [this](TComConfigForm&) {
                              ++configFormRuns;
                              return false;
                          }};

    // Fills T1..Tn and t1..tn; the other steps keep 0.
    void setProgramme(const std::vector<std::pair<double, int>>& steps) {
        for (std::size_t k = 0; k < steps.size(); ++k) {
            temperatures[k].number = steps[k].first;
            holdTimes[k].number = steps[k].second;
        }
    }
};

}  // namespace lumas::test
