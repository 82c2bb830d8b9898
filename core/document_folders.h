// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QString>

#include "core/run_archive.h"
#include "core/settings_store.h"

namespace lumas {

// Where reports and exported files are saved, and the names they are proposed under.
//
// A file is saved by default in "Lumas" in the user's documents folder, made when a save dialog
// first needs it. Once the operator saves into another folder, that folder is remembered in the
// settings file ([Folders] Reports= for the PDF reports, Exports= for a run's CSV) and the next
// dialog of the same kind starts there; a remembered folder that is gone is passed over for the
// default one.

// The two remembered folders.
enum class DocumentFolder {
    Reports,  // the chart's report and a recorded run's report (PDF)
    Exports,  // a recorded run's readings (CSV)
};

// "Lumas" in the user's documents folder, made with its parents when missing. When there is no
// documents folder, or the folder cannot be made, the home folder.
QString defaultDocumentFolder();
// The folder defaultDocumentFolder() proposes, without making it: "Lumas" in the documents
// folder, or the home folder when there is no documents folder.
QString proposedDocumentFolder();

// The folder a save dialog of `kind` starts in: the one remembered in the settings file at
// `settingsPath` while it is still a folder, defaultDocumentFolder() otherwise.
QString documentFolder(const QString& settingsPath, DocumentFolder kind);

// Remembers `folder` (the folder of a file just saved) for the next dialog of `kind`. The default
// folder is remembered as none, so that the default goes on following the documents folder. The
// settings file is written only when the remembered folder changes.
SaveResult rememberDocumentFolder(const QString& settingsPath, DocumentFolder kind,
                                  const QString& folder);

// The names proposed for a saved file, without the suffix. The date and time come in ISO order, so
// that the files sort by it, with "-" between hours and minutes, as ':' is refused by some file
// systems: "Lumas chart 2026-12-11 14-05" for the chart's report exported at `exportedAt` (local
// time), "Lumas run 12 2026-12-11 09-30" for the report and the CSV of run 12, at its start in the
// run's own local time (the time the runs list shows).
QString chartDocumentName(const QDateTime& exportedAt);
QString runDocumentName(const ArchivedRun& run);

}  // namespace lumas
