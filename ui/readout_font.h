#pragma once

#include <QString>

namespace lumas::ui {

// Registers the seven-segment face the read-outs use, from the program's own resources, for this
// process only (nothing is installed on the system). Returns its family name, or an empty text
// when it could not be loaded (the read-outs then keep the default face). Registers once.
QString registerReadoutFont();

}  // namespace lumas::ui
