#pragma once

#include <QFont>
#include <QString>

class QApplication;

namespace lumas::ui {

// The application-wide look: a light slate style for every window.
void applyVisualStyle(QApplication& application);

// A window face of `family` at `pixelSize` pixels (Tahoma, Arial), or its free equivalent where
// the face is not installed.
QFont windowFont(const QString& family, int pixelSize);

}  // namespace lumas::ui
