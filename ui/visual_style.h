// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QApplication;

namespace lumas::ui {

// The application-wide look: a light slate style for every window.
void applyVisualStyle(QApplication& application);

// The warning colours of a label in alert (the connection panel while the controller does not
// answer): dark red text on pale amber, kept apart from the slate colours around it.
inline const QColor kAlertText(139, 26, 14);
inline const QColor kAlertBackground(255, 233, 168);
inline const QColor kAlertBorder(226, 189, 85);

// The face every window is drawn in: `family` (Tahoma, Arial) where Tahoma is installed, as on
// the desktops the layout was drawn for. Elsewhere one narrow sans face of about Tahoma's width
// stands in for every family, so that texts sized for Tahoma still fit and the main window and
// the dialogs share one typeface.
QString windowFontFamily(const QString& family);
QFont windowFont(const QString& family, int pixelSize);

}  // namespace lumas::ui
