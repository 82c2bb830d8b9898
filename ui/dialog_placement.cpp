// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/dialog_placement.h"

#include "ui/visual_style.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

namespace lumas::ui {

namespace {

// What a title bar takes beside its caption: the window's icon and its three buttons, with their
// margins.
constexpr int kTitleBarRoom = 140;

QFont dialogFont() {
    return QFont(windowFontFamily(QStringLiteral("Tahoma")));
}

}  // namespace

QFont dialogFontPixels(int pixels) {
    QFont font = dialogFont();
    font.setPixelSize(pixels);
    return font;
}

QFont dialogFontPoints(int points) {
    QFont font = dialogFont();
    font.setPointSize(points);
    return font;
}

int titleBarWidth(const QString& caption) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarRoom;
}

void makeFixedDialog(QDialog& dialog, QSize clientSize) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setFixedSize(clientSize);
    dialog.setSizeGripEnabled(false);
}

void placeFromOwner(QWidget& window, const QWidget* owner, QPoint offset) {
    if (owner == nullptr) {
        return;
    }
    window.move(owner->window()->pos() + offset);
}

void centreOnScreen(QWidget& window, const QWidget* owner) {
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize outer = window.frameGeometry().size();
    if (window.testAttribute(Qt::WA_WState_Created) && outer == window.size()) {
        return;  // on the screen but not framed yet: where it was placed before stands
    }
    window.move(area.left() + (area.width() - outer.width()) / 2,
                area.top() + (area.height() - outer.height()) / 2);
}

}  // namespace lumas::ui
