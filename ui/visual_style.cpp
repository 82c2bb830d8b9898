// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/visual_style.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QPalette>
#include <QStyleFactory>

namespace lumas::ui {

QString windowFontFamily(const QString& family) {
    static const bool tahomaInstalled = QFontDatabase::hasFamily(QStringLiteral("Tahoma"));
    static const QString standIn = [] {
        for (const QString& candidate :
             {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans")}) {
            if (QFontDatabase::hasFamily(candidate)) {
                return candidate;
            }
        }
        return QStringLiteral("Sans Serif");
    }();
    return tahomaInstalled && QFontDatabase::hasFamily(family) ? family : standIn;
}

QFont windowFont(const QString& family, int pixelSize) {
    QFont font(windowFontFamily(family));
    font.setPixelSize(pixelSize);
    return font;
}

void applyVisualStyle(QApplication& application) {
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    application.setFont(windowFont(QStringLiteral("Tahoma"), 11));

    const QColor window(233, 237, 242);
    const QColor base(252, 253, 254);
    const QColor text(38, 50, 64);
    const QColor accent(92, 124, 160);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(222, 228, 236));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 158, 168));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(150, 158, 168));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 158, 168));
    application.setPalette(palette);

    application.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #a9b6c6; border-radius: 4px; margin-top: 7px; "
        "padding-top: 3px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; "
        "color: #2f4a68; }"
        "QPushButton { border: 1px solid #8fa1b7; border-radius: 4px; padding: 2px 6px; "
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7f9fb, stop:1 #d9e1ea); }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #ffffff, stop:1 #e3eaf2); }"
        "QPushButton:pressed { background: #c9d4e1; }"
        "QPushButton:disabled { color: #98a2ae; border-color: #c2cbd6; background: #e6ebf0; }"
        "QTabWidget::pane { border: 1px solid #a9b6c6; border-radius: 3px; }"
        "QStatusBar { background: #dde4ec; border-top: 1px solid #b8c4d2; }"
        "QStatusBar::item { border: none; }"
        "QMenuBar { background: #e3e9f0; }"));
}

}  // namespace lumas::ui
