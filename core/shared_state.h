// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

#include "core/clock.h"
#include "core/target_curve.h"

namespace lumas {

// The fixed range a programme temperature must lie in, °C.
inline constexpr double kSetPointMin = -70.0;
inline constexpr double kSetPointMax = 500.0;

// The application state that the main window's handlers, UpdateMainForm and the monitoring
// worker share. One instance lives as long as the application.
//
// Ownership between threads: `PollStep` and `LastSendTick` are set by StartThread before a worker
// starts and then written by that worker alone; the UI thread's reply watchdog reads
// `LastSendTick`, so both are atomics. Every other member is read and written on the UI thread
// only (handlers, timers and UpdateMainForm all run there).
//
// The run flags, the pending-command flags and the programme's timing are written by the run
// model (RunModel) alone; everyone else reads them. Ticks of the programme (ProgramStartTick,
// SingleStartTick) are the run clock's, which --time-scale may speed up; LastSendTick is the line
// clock's, which always keeps real time.
struct SharedState {
    std::atomic<int> PollStep{0};
    std::atomic<Tick> LastSendTick{0};

    double LastTemperature = 0.0;  // °C
    double LastSetPoint = 0.0;     // °C
    double SetPointMin = kSetPointMin;
    double SetPointMax = kSetPointMax;
    double EmergencyThreshold = 280.0;

    bool ControlActive = false;
    bool ProgramRunning = false;
    bool SingleRunning = false;

    int StepCount = 0;    // the programme's steps, repeats unrolled
    int CurrentStep = 0;  // 1..StepCount while a programme runs
    Tick ProgramStartTick = 0;
    double ElapsedMinutes = 0.0;    // the plan's minutes done (waits not counted)
    std::int32_t TotalMinutes = 0;  // the plan's minutes in all

    Tick SingleStartTick = 0;

    // The commands asked for that the worker's next update sends. The set point goes with the
    // value it was asked with: what was on the screen then is what is sent, whatever the field
    // shows by the time the update runs. One Stop flag serves every Stop (a programme's, a
    // single run's, the cut-off's).
    bool PendingSingleSetPoint = false;
    double PendingSetPointValue = 0.0;  // °C
    bool PendingRun = false;
    bool PendingStop = false;
    bool PendingProgramStart = false;
};

// The CSV log settings in effect; all off until the CSV export dialog is confirmed.
struct TCSVExport {
    bool Enabled = false;
    int ExportInterval = 0;  // seconds
    QString FolderPath;
};

}  // namespace lumas
