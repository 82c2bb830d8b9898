#pragma once

#include <QFont>
#include <QString>

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

}  // namespace lumas::ui
