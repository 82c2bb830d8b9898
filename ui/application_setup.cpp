#include "ui/application_setup.h"

#include <QApplication>
#include <QIcon>

#include "ui/visual_style.h"

namespace lumas::ui {

void setUpApplication(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Lumas"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.3"));
    QApplication::setDesktopFileName(QStringLiteral("lumas"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lumas.svg")));
    applyVisualStyle(application);
}

}  // namespace lumas::ui
