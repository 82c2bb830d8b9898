// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/csv_log.h"

#include "core/number_text.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace lumas {

namespace {

// Enough for any number of runs an operator can start within one second.
constexpr int kMostFilesPerSecond = 99;

const QString kRunGoesOn = QStringLiteral("The run goes on without a log.");

// Applies edit to the parts of a QDateTime format that are not quoted text.
template <typename Edit>
QString editFormatOutsideQuotes(const QString& format, Edit edit) {
    QString result;
    QString unquoted;
    bool inQuotes = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            if (!inQuotes) {
                result += edit(unquoted);
                unquoted.clear();
            }
            inQuotes = !inQuotes;
            result += c;
        } else if (inQuotes) {
            result += c;
        } else {
            unquoted += c;
        }
    }
    return result + edit(unquoted);
}

// Qt's short dates often have a two-digit year, and its long times end in the time zone. The log
// keeps to the desktop forms its file names have always had, a short date such as "31.05.2019" and
// a long time such as "15:13:27": the year is written in four digits and the zone is left out.
QString widenTwoDigitYear(const QString& unquoted) {
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    return QString(unquoted).replace(twoDigitYear, QStringLiteral("yyyy"));
}

QString dropTimeZone(const QString& unquoted) {
    // The zone with any brackets around it and the spaces and comma that set it apart.
    static const QRegularExpression zone(QStringLiteral("[\\s,]*[(\\[]?t+[)\\]]?[\\s,]*"));
    return QString(unquoted).replace(zone, QStringLiteral(" "));
}

QString pathInFolder(const QString& folderPath, const QString& fileName) {
    return folderPath.endsWith(u'/') ? folderPath + fileName : folderPath + u'/' + fileName;
}

// "Test_31052019_151327.csv" for the first try, then "Test_31052019_151327_2.csv", ...
QString numberedFileName(const QString& fileName, int attempt) {
    if (attempt == 1) {
        return fileName;
    }
    QString numbered = fileName;
    return numbered.insert(fileName.size() - 4, u'_' + QString::number(attempt));
}

// A system error text as part of a sentence: "Permission denied" becomes "permission denied".
QString reasonText(const QString& errorString) {
    if (errorString.size() > 1 && errorString[0].isUpper() && errorString[1].isLower()) {
        return errorString[0].toLower() + errorString.mid(1);
    }
    return errorString;
}

QString creationFailure(const QString& folderPath, const QString& reason) {
    return QStringLiteral("The temperature log could not be created in %1: %2. ")
               .arg(QDir::toNativeSeparators(folderPath), reason) +
           kRunGoesOn;
}

}  // namespace

QString csvLogDateFormat(const QLocale& locale) {
    return editFormatOutsideQuotes(locale.dateFormat(QLocale::ShortFormat), widenTwoDigitYear)
        .trimmed();
}

QString csvLogTimeFormat(const QLocale& locale) {
    return editFormatOutsideQuotes(locale.timeFormat(QLocale::LongFormat), dropTimeZone).trimmed();
}

QString csvLogFileName(const QDateTime& startedAt, const QLocale& locale) {
    static const QRegularExpression dateSeparators(QStringLiteral("[./-]"));
    const QString date =
        locale.toString(startedAt.date(), csvLogDateFormat(locale)).remove(dateSeparators);
    const QString time = locale.toString(startedAt.time(), csvLogTimeFormat(locale)).remove(u':');
    return QStringLiteral("Test_") + date + u'_' + time + QStringLiteral(".csv");
}

CsvTemperatureLog::CsvTemperatureLog(const QString& filePath, const QLocale& locale)
    : file_(filePath),
      locale_(locale),
      dateFormat_(csvLogDateFormat(locale)),
      timeFormat_(csvLogTimeFormat(locale)) {}

CsvTemperatureLog::Creation CsvTemperatureLog::create(const QString& folderPath,
                                                      const QDateTime& startedAt,
                                                      std::optional<double> temperature,
                                                      const QLocale& locale) {
    if (folderPath.isEmpty()) {
        return {nullptr,
                QStringLiteral("The temperature log could not be created: no folder is set for "
                               "it. ") +
                    kRunGoesOn};
    }
    if (!QFileInfo(folderPath).isDir()) {
        // One level only; when this fails, opening the file below says why.
        QDir().mkdir(folderPath);
    }

    const QString fileName = csvLogFileName(startedAt, locale);
    std::unique_ptr<CsvTemperatureLog> log;
    for (int attempt = 1; attempt <= kMostFilesPerSecond; ++attempt) {
        const QString path = pathInFolder(folderPath, numberedFileName(fileName, attempt));
        log.reset(new CsvTemperatureLog(path, locale));
        // NewOnly: an existing file, such as the log of an earlier run, is never replaced.
        if (log->file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            break;
        }
        if (!QFileInfo::exists(path)) {
            return {nullptr, creationFailure(folderPath, reasonText(log->file_.errorString()))};
        }
        log.reset();
    }
    if (!log) {
        return {nullptr,
                creationFailure(
                    folderPath,
                    QStringLiteral("every file name for %1 is already taken").arg(fileName))};
    }

    const QString firstLines = QChar(QChar::ByteOrderMark) +
                               QStringLiteral("[Date Time], [Temperature]\r\n") +
                               (temperature ? log->rowText(startedAt, *temperature) : QString());
    if (!log->writeText(firstLines)) {
        const QString reason = reasonText(log->file_.errorString());
        log->file_.remove();  // our own new file, holding at most part of the header
        return {nullptr, creationFailure(folderPath, reason)};
    }
    return {std::move(log), QString()};
}

std::optional<QString> CsvTemperatureLog::writeRow(const QDateTime& at, double temperature) {
    if (!file_.isOpen()) {
        return std::nullopt;
    }
    // A file (or its folder) removed while the log is open still takes rows, into nothing that
    // can be found again: the log is put back where it was, with every row so far, and goes on.
    std::optional<QString> told;
    if (!QFileInfo::exists(file_.fileName())) {
        if (const auto failure = putBack()) {
            failed_ = true;
            file_.close();
            return QStringLiteral(
                       "The temperature log %1 was removed during the run and could "
                       "not be made again: %2. ")
                       .arg(QDir::toNativeSeparators(file_.fileName()), *failure) +
                   kRunGoesOn;
        }
        told = QStringLiteral(
                   "The temperature log %1 was removed during the run; it was made "
                   "again there with every row so far, and the log goes on.")
                   .arg(QDir::toNativeSeparators(file_.fileName()));
    }
    const qint64 completeRowsSize = file_.size();
    if (writeText(rowText(at, temperature))) {
        return told;
    }
    const QString reason = reasonText(file_.errorString());
    // Cut off a row the system took only part of, so that the file holds complete rows only.
    file_.resize(completeRowsSize);
    file_.close();
    failed_ = true;
    return QStringLiteral("The temperature log %1 could not be written: %2. ")
               .arg(QDir::toNativeSeparators(file_.fileName()), reason) +
           kRunGoesOn;
}

std::optional<QString> CsvTemperatureLog::putBack() {
    // The open file still holds every row: read them back through the process's own handle.
    QFile removed(QStringLiteral("/proc/self/fd/%1").arg(file_.handle()));
    if (!removed.open(QIODevice::ReadOnly)) {
        return reasonText(removed.errorString());
    }
    const QByteArray rows = removed.readAll();
    removed.close();
    const QString folder = QFileInfo(file_.fileName()).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        return QStringLiteral("its folder cannot be made");
    }
    QFile again(file_.fileName());
    if (!again.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        return reasonText(again.errorString());
    }
    if (again.write(rows) != rows.size()) {
        const QString reason = reasonText(again.errorString());
        again.remove();
        return reason;
    }
    again.close();
    file_.close();
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return reasonText(file_.errorString());
    }
    return std::nullopt;
}

void CsvTemperatureLog::close() {
    file_.close();
}

bool CsvTemperatureLog::writeText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    // The file is unbuffered: what write() took is with the system. The system may take part of
    // the text and fail on the rest, so the rest is written again until it is all taken or the
    // system says why it cannot be.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 taken = file_.write(bytes.constData() + written, bytes.size() - written);
        if (taken <= 0) {
            return false;
        }
        written += taken;
    }
    return true;
}

QString CsvTemperatureLog::rowText(const QDateTime& at, double temperature) const {
    return u'"' + locale_.toString(at.date(), dateFormat_) + u' ' +
           locale_.toString(at.time(), timeFormat_) + QStringLiteral("\", \"") +
           generalNumberText(temperature, locale_) + QStringLiteral("\"\r\n");
}

}  // namespace lumas
