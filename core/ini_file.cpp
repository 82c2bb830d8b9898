// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cmath>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lumas {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QString kLineEnd = QStringLiteral("\r\n");

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isQuoted(const QString& value) {
    if (value.size() < 2) {
        return false;
    }
    const QChar first = value.front();
    return (first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first;
}

// The value as the profile functions hand it out: without enclosing quotes.
QString unquoted(const QString& stored) {
    return isQuoted(stored) ? stored.mid(1, stored.size() - 2) : stored;
}

// The text to store for `value` so that it reads back unchanged.
QString quotedIfNeeded(const QString& value) {
    if (value != value.trimmed() || isQuoted(value)) {
        return QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

bool fitsLatin1(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            return false;
        }
    }
    return true;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QLocale numberLocale(const QLocale& locale) {
    QLocale result(locale);
    result.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return result;
}

// Makes a finished rename durable: the folder's entry is flushed as well as the file's data.
void syncFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

}  // namespace

IniFile::IniFile(QString path, const QLocale& locale)
    : path_(std::move(path)), locale_(numberLocale(locale)) {}

IniFile::LoadResult IniFile::load() {
    lines_.clear();
    form_ = TextForm::Utf8;
    refuseSave_ = false;
    error_.clear();

    QFile file(path_);
    if (!QFileInfo::exists(path_)) {
        return LoadResult::Missing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path_), file.errorString());
        refuseSave_ = true;
        return LoadResult::Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error_ = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path_), file.errorString());
        refuseSave_ = true;
        return LoadResult::Unreadable;
    }
    setBytes(bytes);
    return LoadResult::Loaded;
}

void IniFile::setBytes(const QByteArray& bytes) {
    QByteArray body = bytes;
    form_ = TextForm::Utf8;
    if (body.startsWith(kUtf8Bom)) {
        form_ = TextForm::Utf8WithBom;
        body.remove(0, kUtf8Bom.size());
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError()) {
        text = QString::fromLatin1(body);
        form_ = TextForm::Latin1;
    }

    lines_.clear();
    QStringList rawLines = text.split(QLatin1Char('\n'));
    if (!rawLines.isEmpty() && rawLines.back().isEmpty()) {
        rawLines.removeLast();  // the line end of the last line, not a line of its own
    }
    lines_.reserve(static_cast<std::size_t>(rawLines.size()));
    for (QString& raw : rawLines) {
        if (raw.endsWith(QLatin1Char('\r'))) {
            raw.chop(1);
        }
        lines_.push_back(parseLine(raw));
    }
}

IniFile::Line IniFile::parseLine(const QString& text) {
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        line.kind = LineKind::Section;
        line.name = (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
        return line;
    }
    if (trimmed.startsWith(QLatin1Char(';'))) {
        return line;  // a comment
    }
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals > 0) {
        line.kind = LineKind::Key;
        line.name = trimmed.left(equals).trimmed();
        line.value = trimmed.mid(equals + 1).trimmed();
    }
    return line;
}

QByteArray IniFile::toBytes() const {
    QString text;
    for (const Line& line : lines_) {
        text += line.text;
        text += kLineEnd;
    }
    switch (form_) {
        case TextForm::Utf8WithBom:
            return kUtf8Bom + text.toUtf8();
        case TextForm::Latin1:
            if (fitsLatin1(text)) {
                return text.toLatin1();
            }
            return text.toUtf8();
        case TextForm::Utf8:
            break;
    }
    return text.toUtf8();
}

bool IniFile::save() {
    error_.clear();
    const QString where = QDir::toNativeSeparators(path_);
    if (refuseSave_) {
        error_ = QStringLiteral("%1: the file could not be read, so it is not replaced").arg(where);
        return false;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        error_ = QStringLiteral("%1: %2").arg(where, file.errorString());
        return false;
    }
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        error_ = QStringLiteral("%1: %2").arg(where, file.errorString());
        file.cancelWriting();
        return false;
    }
    // commit() flushes the temporary file to the disk and renames it over the old one.
    if (!file.commit()) {
        error_ = QStringLiteral("%1: %2").arg(where, file.errorString());
        return false;
    }
    syncFolder(QFileInfo(path_).absolutePath());
    return true;
}

int IniFile::findSection(const QString& section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section && sameName(lines_[i].name, section)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IniFile::sectionEnd(int header) const {
    std::size_t i = static_cast<std::size_t>(header) + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::Section) {
        ++i;
    }
    return static_cast<int>(i);
}

int IniFile::findKey(int header, const QString& key) const {
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Line& line = lines_[static_cast<std::size_t>(i)];
        if (line.kind == LineKind::Key && sameName(line.name, key)) {
            return i;
        }
    }
    return -1;
}

const QString* IniFile::findValue(const QString& section, const QString& key) const {
    const int header = findSection(section);
    if (header < 0) {
        return nullptr;
    }
    const int index = findKey(header, key);
    return index < 0 ? nullptr : &lines_[static_cast<std::size_t>(index)].value;
}

bool IniFile::hasSection(const QString& section) const {
    return findSection(section) >= 0;
}

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return findValue(section, key) != nullptr;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const QString* stored = findValue(section, key);
    return stored ? unquoted(*stored) : defaultValue;
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const QString* stored = findValue(section, key);
    if (!stored) {
        return defaultValue;
    }
    bool ok = false;
    const int value = unquoted(*stored).trimmed().toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    const QString* stored = findValue(section, key);
    if (!stored) {
        return defaultValue;
    }
    // The integer at the start of the value; whatever follows it is ignored.
    const QString text = unquoted(*stored).trimmed();
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        ++i;
    }
    bool anyDigit = false;
    bool nonZero = false;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        anyDigit = true;
        nonZero = nonZero || text[i] != QLatin1Char('0');
    }
    return anyDigit ? nonZero : defaultValue;
}

double IniFile::readFloat(const QString& section, const QString& key, double defaultValue) const {
    const QString* stored = findValue(section, key);
    if (!stored) {
        return defaultValue;
    }
    bool ok = false;
    const double value = locale_.toDouble(unquoted(*stored).trimmed(), &ok);
    return ok && std::isfinite(value) ? value : defaultValue;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const bool sectionOk = !section.isEmpty() && section == section.trimmed() &&
                           !section.contains(QLatin1Char(']')) && !hasLineBreak(section);
    const bool keyOk = !key.isEmpty() && key == key.trimmed() && !key.contains(QLatin1Char('=')) &&
                       !key.startsWith(QLatin1Char('[')) && !key.startsWith(QLatin1Char(';')) &&
                       !hasLineBreak(key);
    if (!sectionOk || !keyOk || hasLineBreak(value)) {
        return false;
    }

    const QString stored = quotedIfNeeded(value);
    int header = findSection(section);
    if (header < 0) {
        lines_.push_back(parseLine(QLatin1Char('[') + section + QLatin1Char(']')));
        lines_.push_back(parseLine(key + QLatin1Char('=') + stored));
        return true;
    }
    const int index = findKey(header, key);
    if (index >= 0) {
        Line& line = lines_[static_cast<std::size_t>(index)];
        if (line.value != stored) {
            line = parseLine(line.name + QLatin1Char('=') + stored);
        }
        return true;
    }
    int insertAt = header + 1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (lines_[static_cast<std::size_t>(i)].kind == LineKind::Key) {
            insertAt = i + 1;
        }
    }
    lines_.insert(lines_.begin() + insertAt, parseLine(key + QLatin1Char('=') + stored));
    return true;
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString& section, const QString& key, bool value) {
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::writeFloat(const QString& section, const QString& key, double value) {
    return writeString(section, key, formatFloat(value));
}

QString IniFile::formatFloat(double value) const {
    return locale_.toString(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace lumas
