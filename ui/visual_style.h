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

// A window face of `family` at `pixelSize` pixels (Tahoma, Arial), or its free equivalent where
// the face is not installed.
QFont windowFont(const QString& family, int pixelSize);

}  // namespace lumas::ui
