// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <vector>

namespace lumas {

// An INI file in the Windows profile format: section header lines "[Name]" and key lines
// "Key=Value". Section and key names compare without regard to case; names and values are read
// with the blanks around them removed, and a value enclosed in matching double or single quotes
// is read without them, as the Windows profile functions do. Where a section or key occurs more
// than once, the first one counts.
//
// Every line the program does not touch (unknown sections and keys, comments, blank lines) is
// kept as it was and in its place, so it survives a save. Writing a key replaces its line in place
// (keeping the spelling of its name) or appends it after the last key of its section; a missing
// section is appended at the end of the file.
//
// Text: UTF-8 with or without a byte order mark; a file that is not valid UTF-8 is read as
// Latin-1 (an ANSI file written on Windows). A save keeps the file's form (byte order mark,
// Latin-1 while every character fits in it) and ends every line with CR LF.
//
// A save is atomic: the text goes to a temporary file in the same folder, which is flushed to the
// disk and then renamed over the old file, so a crash leaves the old or the new file whole.
//
// The object holds the file's text in memory between load() and save(); it is not tied to one
// thread but is not shared between threads either.
class IniFile {
  public:
    enum class LoadResult {
        Loaded,      // the file was read
        Missing,     // there is no file: every key reads as its default
        Unreadable,  // the file exists but could not be read: every key reads as its default
    };

    // `locale` gives the decimal separator of floating-point values.
    explicit IniFile(QString path, const QLocale& locale = QLocale());

    const QString& path() const { return path_; }

    // Reads the file, replacing what this object held. After Unreadable, save() refuses to
    // replace the file, so text that could not be read is never overwritten.
    LoadResult load();

    // Writes the file atomically. Returns false, with the reason in errorString(), when the file
    // could not be written; the old file is then left as it was.
    bool save();
    QString errorString() const { return error_; }

    // The text as save() writes it.
    QByteArray toBytes() const;
    // Replaces the content with `bytes`, read as load() reads a file.
    void setBytes(const QByteArray& bytes);

    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;

    // Typed reads. A missing key, or a value that does not parse, yields `defaultValue`.
    // Integers: decimal, optional sign, 32 bits. Booleans: a leading integer, true when it is
    // not 0. Floats: the locale's decimal form, finite values only.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    double readFloat(const QString& section, const QString& key, double defaultValue) const;

    // Typed writes. Integers in decimal, booleans as 1 or 0, floats in the shortest decimal form
    // that reads back as the same number, with the locale's decimal separator. A string value
    // with blanks at either end or enclosing quotes is written in double quotes so that it reads
    // back unchanged. Returns false, writing nothing, for what the format cannot hold: a line
    // break in any of the three, an empty name, "]" in a section name or "=" in a key name.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);
    bool writeBool(const QString& section, const QString& key, bool value);
    bool writeFloat(const QString& section, const QString& key, double value);

  private:
    enum class LineKind { Other, Section, Key };
    struct Line {
        QString text;  // the line as it stands in the file, without its line end
        LineKind kind = LineKind::Other;
        QString name;   // section or key name, blanks removed
        QString value;  // key value as stored (blanks removed, quotes kept)
    };
    enum class TextForm { Utf8, Utf8WithBom, Latin1 };

    static Line parseLine(const QString& text);
    // The text of a float as writeFloat writes it.
    QString formatFloat(double value) const;
    // Index of the first header line of `section`, or -1.
    int findSection(const QString& section) const;
    // One past the last line of the section whose header is at `header`.
    int sectionEnd(int header) const;
    // Index of the first line of `key` in the section whose header is at `header`, or -1.
    int findKey(int header, const QString& key) const;
    // The stored value of a key, or nullptr when the key is missing.
    const QString* findValue(const QString& section, const QString& key) const;

    QString path_;
    QLocale locale_;
    std::vector<Line> lines_;
    TextForm form_ = TextForm::Utf8;
    bool refuseSave_ = false;  // set after an Unreadable load
    QString error_;
};

}  // namespace lumas
