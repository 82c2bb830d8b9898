// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QString>
#include <QWidget>

namespace lumas::test {

// Saves a picture of `widget` as <name>.png beside the test program; returns its path, or an
// empty text when it could not be saved.
inline QString saveScreenshot(QWidget& widget, const QString& name) {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(name + QStringLiteral(".png"));
    return widget.grab().save(path) ? path : QString();
}

// Whether the operator can see `child` at all: it lies, at least in part, inside `dialog`'s
// client area and is not hidden.
inline bool onScreen(const QWidget& child, const QWidget& dialog) {
    const QRect area(child.mapTo(&dialog, QPoint(0, 0)), child.size());
    return !child.isHidden() && area.intersects(dialog.rect());
}

// Whether the dialog has a fixed size and a title bar with a close box only.
inline bool fixedWithCloseBoxOnly(const QDialog& dialog) {
    const Qt::WindowFlags flags = dialog.windowFlags();
    return dialog.minimumSize() == dialog.maximumSize() &&
           flags.testFlag(Qt::WindowCloseButtonHint) &&
           !flags.testFlag(Qt::WindowMinimizeButtonHint) &&
           !flags.testFlag(Qt::WindowMaximizeButtonHint) &&
           !flags.testFlag(Qt::WindowContextHelpButtonHint);
}

}  // namespace lumas::test
