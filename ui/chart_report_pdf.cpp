// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_report_pdf.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace lumas::ui {

namespace {

// A PDF text string: a literal string for printable ASCII, UTF-16BE with a byte order mark
// otherwise.
QByteArray textString(const QString& text) {
    const bool printableAscii = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7f;
    });
    if (printableAscii) {
        QByteArray literal = text.toLatin1();
        literal.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
        return '(' + literal + ')';
    }
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text) {
        utf16.append(static_cast<char>(c.unicode() >> 8));
        utf16.append(static_cast<char>(c.unicode() & 0xff));
    }
    return '<' + utf16.toHex().toUpper() + '>';
}

QByteArray infoDictionary(const PdfDocumentInfo& info) {
    QByteArray entries;
    const auto add = [&entries](const char* key, const QString& text) {
        if (!text.isEmpty()) {
            entries += QByteArray(" /") + key + ' ' + textString(text);
        }
    };
    add("Title", info.title);
    add("Author", info.author);
    add("Subject", info.subject);
    add("Creator", info.creator);
    add("Producer", info.producer);
    if (info.created.isValid()) {
        entries += " /CreationDate (D:" +
                   info.created.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
                   "Z)";
    }
    return "<<" + entries + " >>";
}

std::optional<QString> firstCapture(const QString& text, const QString& pattern) {
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1);
}

}  // namespace

bool appendPdfDocumentInfo(const QString& path, const PdfDocumentInfo& info) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return false;
    }
    const QByteArray pdf = file.readAll();
    const qsizetype startXrefAt = pdf.lastIndexOf("startxref");
    const qsizetype trailerAt = pdf.lastIndexOf("trailer", startXrefAt);
    if (!pdf.startsWith("%PDF-") || startXrefAt < 0 || trailerAt < 0) {
        return false;
    }
    const QString trailer = QString::fromLatin1(pdf.mid(trailerAt, startXrefAt - trailerAt));
    const std::optional<QString> size = firstCapture(trailer, QStringLiteral(R"(/Size\s+(\d+))"));
    const std::optional<QString> root =
        firstCapture(trailer, QStringLiteral(R"(/Root\s+(\d+\s+\d+\s+R))"));
    const std::optional<QString> id =
        firstCapture(trailer, QStringLiteral(R"((/ID\s*\[[^\]]*\]))"));
    const std::optional<QString> previousXref = firstCapture(
        QString::fromLatin1(pdf.mid(startXrefAt)), QStringLiteral(R"(^startxref\s+(\d+))"));
    if (!size || !root || !previousXref) {
        return false;
    }

    const QByteArray infoObject = size->toLatin1();
    QByteArray update = pdf.endsWith('\n') ? QByteArray() : QByteArray("\n");
    const qsizetype infoAt = pdf.size() + update.size();
    update += infoObject + " 0 obj\n" + infoDictionary(info) + "\nendobj\n";
    const qsizetype xrefAt = pdf.size() + update.size();
    // Each cross-reference entry is exactly 20 bytes.
    update += "xref\n" + infoObject + " 1\n" + QByteArray::number(infoAt).rightJustified(10, '0') +
              " 00000 n \n";
    update += "trailer\n<< /Size " + QByteArray::number(size->toLongLong() + 1) + " /Root " +
              root->toLatin1() + " /Info " + infoObject + " 0 R /Prev " + previousXref->toLatin1() +
              (id ? ' ' + id->toLatin1() : QByteArray()) + " >>\n";
    update += "startxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return file.seek(pdf.size()) && file.write(update) == update.size() && file.flush();
}

}  // namespace lumas::ui
