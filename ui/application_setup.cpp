// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/application_setup.h"

#include <QApplication>
#include <QIcon>

#include "lumas_version.h"
#include "ui/visual_style.h"

namespace lumas::ui {

void setUpApplication(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Lumas"));
    QApplication::setApplicationVersion(QStringLiteral(LUMAS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Lumas"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lumas.svg")));
    applyVisualStyle(application);
}

}  // namespace lumas::ui
