// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

namespace lumas {

// What the worker's update found on the link, after every pass: whether the readings are fresh,
// and the driver's values when they are (otherwise they are the last values read, not to be shown
// as current).
struct LinkView {
    bool live = false;
    double temperature = 0.0;  // °C
    double setPoint = 0.0;     // °C, as the controller reports it
    bool stopped = true;       // the controller reports Stop
};

// What happens to the link that the window, lumasctl and the metrics need to know of, reported by
// the chamber's control on the UI thread as it happens. Every member has an empty default, so an
// observer overrides only what it uses. What happens to a run is a RunObserver's (run_events.h).
class LinkObserver {
  public:
    enum class Loss {
        NoReply,     // the port is open but the controller sends no valid readings
        PortFailed,  // the device went away or could not be written to
    };

    virtual ~LinkObserver() = default;

    // Every worker update, first thing: what it found on the link.
    virtual void polled(const LinkView& /*view*/) {}
    // Readings come in (again) after connecting or after a loss.
    virtual void linkUp() {}
    // Readings stopped; `why` says how. Reported once per loss.
    virtual void linkLost(Loss /*why*/) {}
    // The device was opened again after it went away; `devicePath` is the path that opened.
    virtual void portReopened(const QString& /*devicePath*/) {}
};

}  // namespace lumas
