// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/readout_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>

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

int readoutPixelSizeFitting(const QFont& face, const QStringList& texts, QSize room) {
    // Only the widest texts at the largest size are measured at the smaller ones: widths scale
    // with the size, give or take a pixel of rounding, which the few kept cover.
    constexpr qsizetype kKept = 16;
    QFont font = face;
    font.setPixelSize(kReadoutPixelSize);
    const QFontMetrics largest(font);
    QList<std::pair<int, QString>> widths;
    widths.reserve(texts.size());
    for (const QString& text : texts) {
        widths.append({largest.boundingRect(text).width(), text});
    }
    std::sort(widths.begin(), widths.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    widths.resize(std::min(widths.size(), kKept));
    for (int pixels = kReadoutPixelSize; pixels > kSmallestReadoutPixelSize; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const bool fits = metrics.height() <= room.height() &&
                          std::all_of(widths.cbegin(), widths.cend(), [&](const auto& measured) {
                              return metrics.boundingRect(measured.second).width() <= room.width();
                          });
        if (fits) {
            return pixels;
        }
    }
    return kSmallestReadoutPixelSize;
}

}  // namespace lumas::ui
