// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/document_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include "core/ini_file.h"

namespace lumas {

namespace {

const QString kFolders = QStringLiteral("Folders");

QString folderKey(DocumentFolder kind) {
    return kind == DocumentFolder::Reports ? QStringLiteral("Reports") : QStringLiteral("Exports");
}

// Date and time in a file name: digits in every locale, no ':'.
QString fileNameTime(const QDateTime& time) {
    return QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd HH-mm"));
}

QString cleanFolder(const QString& folder) {
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

}  // namespace

QString proposedDocumentFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) {
        return QDir::homePath();
    }
    return cleanFolder(QDir(documents).filePath(QStringLiteral("Lumas")));
}

QString defaultDocumentFolder() {
    const QString folder = proposedDocumentFolder();
    return QDir().mkpath(folder) ? folder : QDir::homePath();
}

QString documentFolder(const QString& settingsPath, DocumentFolder kind) {
    IniFile file(settingsPath);
    file.load();
    const QString remembered = file.readString(kFolders, folderKey(kind), QString());
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) {
        return cleanFolder(remembered);
    }
    return defaultDocumentFolder();
}

SaveResult rememberDocumentFolder(const QString& settingsPath, DocumentFolder kind,
                                  const QString& folder) {
    const QString chosen = cleanFolder(folder);
    const QString stored = chosen == defaultDocumentFolder() ? QString() : chosen;
    IniFile file(settingsPath);
    if (file.load() == IniFile::LoadResult::Unreadable) {
        return {false, file.errorString()};
    }
    if (file.readString(kFolders, folderKey(kind), QString()) == stored) {
        return {};
    }
    if (!file.writeString(kFolders, folderKey(kind), stored)) {
        return {false,
                QStringLiteral("The folder path cannot be stored: it contains a line break")};
    }
    return saveWithFolder(file);
}

QString chartDocumentName(const QDateTime& exportedAt) {
    return QStringLiteral("Lumas chart ") + fileNameTime(exportedAt);
}

QString runDocumentName(const ArchivedRun& run) {
    return QStringLiteral("Lumas run %1 ").arg(run.id) +
           fileNameTime(run.started.toOffsetFromUtc(run.utcOffsetSeconds));
}

}  // namespace lumas
