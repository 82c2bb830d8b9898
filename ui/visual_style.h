#pragma once

class QApplication;

namespace lumas::ui {

// The application-wide look: a light slate style for every window.
void applyVisualStyle(QApplication& application);

}  // namespace lumas::ui
