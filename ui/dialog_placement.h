// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

namespace lumas::ui {

// The face the dialogs are drawn in: Tahoma, or the main window's stand-in for it (windowFont).
QFont dialogFontPixels(int pixels);
QFont dialogFontPoints(int points);

// Gives `dialog` a fixed client area of `clientSize` and a title bar with only a close box (no
// minimise, maximise or help box).
void makeFixedDialog(QDialog& dialog, QSize clientSize);

// The width a window needs for the window manager's title bar to show `caption` whole: the caption
// in a bold face (the title font, reckoned as the application's font in bold) beside the frame's
// icon and buttons.
int titleBarWidth(const QString& caption);

// Moves `window` so that the top-left corner of its frame lies `offset` pixels right of and below
// the top-left corner of `owner`'s frame, in screen coordinates. Without an owner the window stays
// where it is. Called before the window first appears: until the window manager has framed a
// window, a move places its frame (afterwards Qt knows the frame and places it too).
void placeFromOwner(QWidget& window, const QWidget* owner, QPoint offset);

// Moves `window` to the middle of the screen it is on (the owner's screen, else the primary
// one): each coordinate is (screen size - window size) / 2, truncated toward zero. Called before
// the window first appears, it places the frame's corner as if the frame added nothing; called
// again once the window is framed, it centres the frame (until then it does nothing).
void centreOnScreen(QWidget& window, const QWidget* owner);

}  // namespace lumas::ui
