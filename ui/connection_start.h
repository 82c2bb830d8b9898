// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

class QAction;
class QWidget;

namespace lumas {
class MainFormLogic;
class TCustomComPort;
class TextDisplay;
}  // namespace lumas

namespace lumas::ui {

// The window's part in the connection settings (core/connection_settings.h): from now on the port
// readings come in through is remembered in `settingsPath`, and once `window` is first shown Lumas
// connects to the last port when the operator asked for that (reconnectAtStart), telling it in
// `statusLine`; File > Connect (`connectItem`, may be null) is unavailable while it connects.
//
// What this sets up is a child of `window` and is deleted with it, after the window's members:
// `logic`, `port` and `statusLine` must be members of `window` (or outlive it). It stays
// registered with `logic` to the end, which it thus outlives.
void keepConnectionSettings(QWidget& window, MainFormLogic& logic, const TCustomComPort& port,
                            const QString& settingsPath, TextDisplay& statusLine,
                            QAction* connectItem);

}  // namespace lumas::ui
