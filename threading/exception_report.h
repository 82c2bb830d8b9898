// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <functional>
#include <string>

namespace lumas {

// The application's standard report of an exception that escaped a handler. The desktop program
// shows it in an error box; without a window it goes to standard error. Set once at start-up,
// before any background thread runs; shown on the UI thread.
using ExceptionReport = std::function<void(const std::string& text)>;

void setStandardExceptionReport(ExceptionReport report);
void showStandardExceptionReport(const std::string& text);

}  // namespace lumas
