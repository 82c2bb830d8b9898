// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <functional>

namespace lumas {

// On the UI thread: runs the event loop until `done()` holds or `timeout` has passed, and
// returns whether `done()` held. The condition is tested after every hand-over from a background
// thread (that is where replies and port notifications arrive) and once more at the time-out, so
// the wait blocks on the event loop instead of spinning.
bool serveEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// On the UI thread: runs the event loop for `duration`.
void serveEventsFor(std::chrono::milliseconds duration);

}  // namespace lumas
