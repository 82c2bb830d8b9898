// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

class QApplication;

namespace lumas::ui {

// The desktop program's identity and look: its name and version, its desktop entry and icon,
// and the visual style of every window. Window captions are shown exactly as set: no program
// name is appended to them.
void setUpApplication(QApplication& application);

}  // namespace lumas::ui
