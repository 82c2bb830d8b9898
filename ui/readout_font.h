// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lumas::ui {

// Registers the seven-segment face the read-outs use, from the program's own resources, for this
// process only (nothing is installed on the system). Returns its family name, or an empty text
// when it could not be loaded (the read-outs then keep the default face). Registers once.
QString registerReadoutFont();

// The read-outs' size: the largest at which every reading from -70.0°C to 500.0°C fits the
// narrower of the two boxes (the set point's, 106 pixels wide, 100 inside) in the seven-segment
// face: at 21 pixels the widest, "-70.0°C", takes 99; at 22 it would take 103.
inline constexpr int kReadoutPixelSize = 21;

// The seven-segment face at the read-outs' size, or a monospace face where it could not be
// loaded.
QFont readoutFont();

// The largest pixel size, from kSmallestReadoutPixelSize to kReadoutPixelSize, at which every one
// of `texts` fits `room` (wide and high) in `face`'s family. A locale's decimal comma, or digits
// the seven-segment face lacks and another face draws, can make a reading wider than in the C
// locale; the read-outs then take a smaller size instead of losing a digit at their edges.
inline constexpr int kSmallestReadoutPixelSize = 8;
int readoutPixelSizeFitting(const QFont& face, const QStringList& texts, QSize room);

}  // namespace lumas::ui
