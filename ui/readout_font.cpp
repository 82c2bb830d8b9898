#include "ui/readout_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace lumas::ui {

QString registerReadoutFont() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/readout.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

QFont readoutFont() {
    const QString face = registerReadoutFont();
    QFont font(face.isEmpty() ? QStringLiteral("Monospace") : face);
    font.setPixelSize(kReadoutPixelSize);
    return font;
}

}  // namespace lumas::ui
