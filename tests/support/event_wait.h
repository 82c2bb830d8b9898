// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <functional>

#include "threading/event_wait.h"

namespace lumas::test {

// Runs the UI thread's event loop until `done()` holds or `timeoutMs` has passed; returns
// whether `done()` held (see serveEventsUntil).
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return serveEventsUntil(done, std::chrono::milliseconds(timeoutMs));
}

// Runs the UI thread's event loop for `ms` milliseconds.
inline void serveEventsFor(int ms) {
    lumas::serveEventsFor(std::chrono::milliseconds(ms));
}

}  // namespace lumas::test
