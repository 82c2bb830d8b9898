// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QString>

namespace lumas::ui {

// The document information of a PDF file. Empty texts are left out.
struct PdfDocumentInfo {
    QString title;
    QString author;
    QString subject;
    QString creator;
    QString producer;
    QDateTime created;
};

// Gives the PDF file at `path` this document information by an incremental update: a new
// information dictionary and a cross-reference section for it, with a trailer that points back
// to the previous one, are appended; the file's earlier bytes stay as they are. The file must end
// in a classic cross-reference table and trailer, as QPdfWriter writes them. Returns false, and
// leaves the file alone, when it cannot be read or is not such a file, or when writing fails.
bool appendPdfDocumentInfo(const QString& path, const PdfDocumentInfo& info);

}  // namespace lumas::ui
