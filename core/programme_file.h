// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

#include "core/programme.h"

namespace lumas {

// Programme files: a programme as written (ProgrammeDocument) kept as JSON, for example
//
//   {"format": "lumas-programme", "version": 1, "name": "Cycling",
//    "steps": [{"temperature": 25.0, "hold": 10},
//              {"temperature": -40.0, "rate": 5.0, "hold": 15, "band": 2.0},
//              {"temperature": 85.0, "ramp": 20, "hold": 15},
//              {"repeat": {"from": 2, "to": 3, "times": 10}}],
//    "end": "stop"}
//
// Reading checks the file's form only (JSON, the format and version, known fields of the right
// types, a step's temperature and hold, never both rate and ramp); whether the values make a
// programme is Programme::checkDocument's business.

// A document read, or every fault found in its form (step 0 for the file as a whole).
using ProgrammeRead = std::variant<ProgrammeDocument, std::vector<ProgrammeFault>>;

// The document in `json`.
ProgrammeRead parseProgrammeJson(const QByteArray& json);
// The document as a programme file holds it (indented, UTF-8, numbers as short as they round-trip).
QByteArray programmeFileJson(const ProgrammeDocument& document);
// The same on one line without blanks, as the run archive keeps a run's programme.
QByteArray programmeCompactJson(const ProgrammeDocument& document);

// The programme file at `path`; a file that cannot be read is one fault naming it.
ProgrammeRead loadProgrammeFile(const QString& path);
// Writes `document` to `path` whole or not at all (a temporary file renamed over it). Nothing when
// it was written, else the sentence for the operator.
std::optional<QString> saveProgrammeFile(const QString& path, const ProgrammeDocument& document);

// Where programme files are kept by default: $XDG_DATA_HOME/Lumas/programmes (made on demand by
// the caller).
QString programmesFolder();

// "Step 3, rate: The rate must be above 0 °C per minute." / "The file: ..." for step 0.
QString programmeFaultText(const ProgrammeFault& fault);

}  // namespace lumas
