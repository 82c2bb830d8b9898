#pragma once

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QWidget>

namespace lumas::ui {

// The face the dialogs are drawn in. Where Tahoma is not installed (most Linux desktops), a
// narrow sans face of about its width stands in, so that texts sized for Tahoma still fit; the
// desktop's default sans face would be some 15 % wider.
inline constexpr const char* kDialogFontFamily = "Tahoma";
QFont dialogFontPixels(int pixels);
QFont dialogFontPoints(int points);

// Gives `dialog` a fixed client area of `clientSize` and a title bar with only a close box (no
// minimise, maximise or help box).
void makeFixedDialog(QDialog& dialog, QSize clientSize);

// Moves `window` so that its top-left corner lies `offset` pixels right of and below the
// top-left corner of `owner`, in screen coordinates. Without an owner the window stays where it is.
void placeFromOwner(QWidget& window, const QWidget* owner, QPoint offset);

// Moves `window` to the middle of the screen it is on (the owner's screen, else the primary
// one): each coordinate is (screen size - window size) / 2, truncated toward zero.
void centreOnScreen(QWidget& window, const QWidget* owner);

}  // namespace lumas::ui
