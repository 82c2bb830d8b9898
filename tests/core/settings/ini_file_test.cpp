// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/ini_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

namespace lumas {
namespace {

IniFile fromBytes(const QByteArray& bytes, const QLocale& locale = QLocale::c()) {
    IniFile file(QStringLiteral("unused.ini"), locale);
    file.setBytes(bytes);
    return file;
}

// A file as the Windows profile functions leave it: CR LF, names in their own letter case,
// comments, a blank line and sections this program does not know.
const QByteArray kWindowsFile =
    "; written by hand\r\n"
    "[SETTINGS]\r\n"
    "param=Value\r\n"
    "PosTop = 120\r\n"
    "\r\n"
    "[Window]\r\n"
    "Maximized=1\r\n"
    "[temperatures]\r\n"
    "t1=55\r\n"
    "T1=99\r\n"
    "[Temperatures]\r\n"
    "T2=77\r\n";

TEST(IniFile, ReadsNamesWithoutRegardToCaseFirstOccurrenceCounting) {
    const IniFile file = fromBytes(kWindowsFile);
    EXPECT_EQ(file.readString("Settings", "Param", "?"), "Value");
    EXPECT_EQ(file.readInteger("settings", "POSTOP", -1), 120);
    EXPECT_EQ(file.readInteger("Temperatures", "T1", -1), 55);  // first key of that name
    EXPECT_EQ(file.readInteger("Temperatures", "T2", -1), -1);  // only in the second section
    EXPECT_EQ(file.readInteger("Window", "PosTop", -1), -1);    // keys belong to their section
    EXPECT_TRUE(file.hasSection("WINDOW"));
    EXPECT_FALSE(file.hasKey("Settings", "Maximized"));
}

TEST(IniFile, UntouchedAndRewrittenWithSameValuesIsByteForByteTheSame) {
    IniFile file = fromBytes(kWindowsFile);
    EXPECT_EQ(file.toBytes(), kWindowsFile);
    EXPECT_TRUE(file.writeString("Settings", "Param", "Value"));
    EXPECT_TRUE(file.writeInteger("Settings", "PosTop", 120));  // stored as "120" already
    EXPECT_TRUE(file.writeInteger("Temperatures", "T1", 55));
    EXPECT_EQ(file.toBytes(), kWindowsFile);
}

TEST(IniFile, WritesInPlaceAtSectionEndOrInANewSectionAtFileEnd) {
    IniFile file = fromBytes(kWindowsFile);
    EXPECT_TRUE(file.writeInteger("Settings", "PosTop", -5));    // in place, name kept
    EXPECT_TRUE(file.writeInteger("Settings", "PosLeft", 300));  // after the last key
    EXPECT_TRUE(file.writeInteger("HoldTime", "t1", 10));        // new section at the end
    EXPECT_TRUE(file.writeInteger("HOLDTIME", "t2", 20));        // into that section
    const QByteArray expected =
        "; written by hand\r\n"
        "[SETTINGS]\r\n"
        "param=Value\r\n"
        "PosTop=-5\r\n"
        "PosLeft=300\r\n"
        "\r\n"
        "[Window]\r\n"
        "Maximized=1\r\n"
        "[temperatures]\r\n"
        "t1=55\r\n"
        "T1=99\r\n"
        "[Temperatures]\r\n"
        "T2=77\r\n"
        "[HoldTime]\r\n"
        "t1=10\r\n"
        "t2=20\r\n";
    EXPECT_EQ(file.toBytes(), expected);
}

TEST(IniFile, LineEndsAndTextForms) {
    struct Case {
        const char* name;
        QByteArray input;
        QString folder;     // the value of [CSV] FolderPath
        QByteArray output;  // toBytes() without any change
    };
    const std::vector<Case> cases = {
        {"LF line ends come back as CR LF", "[CSV]\nFolderPath=/data\n", "/data",
         "[CSV]\r\nFolderPath=/data\r\n"},
        {"no line end after the last line", "[CSV]\r\nFolderPath=/data", "/data",
         "[CSV]\r\nFolderPath=/data\r\n"},
        {"UTF-8 byte order mark is kept", "\xEF\xBB\xBF[CSV]\r\nFolderPath=/d\xC3\xBC\r\n",
         QString::fromUtf8("/d\xC3\xBC"), "\xEF\xBB\xBF[CSV]\r\nFolderPath=/d\xC3\xBC\r\n"},
        {"invalid UTF-8 reads as Latin-1 and stays so", "[CSV]\r\nFolderPath=C:\\M\xFCller\r\n",
         QString::fromUtf8("C:\\M\xC3\xBCller"), "[CSV]\r\nFolderPath=C:\\M\xFCller\r\n"},
        {"quotes around a value are not part of it", "[CSV]\r\nFolderPath=\" /a b \"\r\n", " /a b ",
         "[CSV]\r\nFolderPath=\" /a b \"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const IniFile file = fromBytes(c.input);
        EXPECT_EQ(file.readString("csv", "folderpath", "?"), c.folder);
        EXPECT_EQ(file.toBytes(), c.output);
    }
}

TEST(IniFile, LatinOneFileTakingACharacterBeyondLatinOneIsWrittenAsUtf8) {
    IniFile file = fromBytes("[CSV]\r\nA=M\xFCller\r\n");
    ASSERT_TRUE(file.writeString("CSV", "B", QString::fromUtf8("\xE2\x82\xAC")));  // euro sign
    EXPECT_EQ(file.toBytes(), QByteArray("[CSV]\r\nA=M\xC3\xBCller\r\nB=\xE2\x82\xAC\r\n"));
}

TEST(IniFile, StringsReadBackAsWrittenOrAreRefused) {
    IniFile file = fromBytes("");
    for (const QString& value : {QStringLiteral("  padded "), QStringLiteral("'quoted'"),
                                 QStringLiteral("\"x\""), QStringLiteral("a=b;c"), QString()}) {
        SCOPED_TRACE(value.toStdString());
        ASSERT_TRUE(file.writeString("S", "K", value));
        EXPECT_EQ(fromBytes(file.toBytes()).readString("S", "K", "?"), value);
    }
    const QByteArray before = file.toBytes();
    EXPECT_FALSE(file.writeString("S", "K", "/a\r\n[Settings]\r\nPosTop=1"));
    EXPECT_FALSE(file.writeString("S", "K=1", "v"));
    EXPECT_FALSE(file.writeString("S]", "K", "v"));
    EXPECT_FALSE(file.writeString("S", "", "v"));
    EXPECT_FALSE(file.writeString("", "K", "v"));
    EXPECT_EQ(file.toBytes(), before);
}

TEST(IniFile, ValuesThatDoNotParseYieldTheDefault) {
    struct Case {
        const char* stored;
        int integer;    // readInteger with default -1
        int boolean;    // readBool: 1 true, 0 false, -1 the default (checked with both defaults)
        double number;  // readFloat in the C locale, default -1.5
    };
    const std::vector<Case> cases = {
        {"25", 25, 1, 25.0},
        {" -7 ", -7, 1, -7.0},
        {"+3", 3, 1, 3.0},
        {"0", 0, 0, 0.0},
        {"00", 0, 0, 0.0},
        {"2", 2, 1, 2.0},
        {"25.5", -1, 1, 25.5},
        {"25abc", -1, 1, -1.5},
        {"1abc", -1, 1, -1.5},
        {"0x10", -1, 0, -1.5},
        {"abc", -1, -1, -1.5},
        {"", -1, -1, -1.5},
        {"-", -1, -1, -1.5},
        {"2147483647", 2147483647, 1, 2147483647.0},
        {"2147483648", -1, 1, 2147483648.0},
        {"1,5", -1, 1, -1.5},
        {"1e3", -1, 1, 1000.0},
        {"nan", -1, -1, -1.5},
        {"inf", -1, -1, -1.5},
        {"1e999", -1, 1, -1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const IniFile file = fromBytes(QByteArray("[S]\r\nK=") + c.stored + "\r\n");
        EXPECT_EQ(file.readInteger("S", "K", -1), c.integer);
        EXPECT_EQ(file.readBool("S", "K", true), c.boolean != 0);
        EXPECT_EQ(file.readBool("S", "K", false), c.boolean == 1);
        EXPECT_EQ(file.readFloat("S", "K", -1.5), c.number);
    }
    const IniFile empty = fromBytes("");
    EXPECT_EQ(empty.readString("S", "K", "d"), "d");
    EXPECT_EQ(empty.readInteger("S", "K", 30), 30);
    EXPECT_EQ(empty.readFloat("S", "K", 280.0), 280.0);
}

TEST(IniFile, FloatsUseTheLocalesDecimalSeparatorBothWays) {
    struct Case {
        const char* locale;
        double value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"C", 280.0, "280"},         {"C", 95.5, "95.5"},
        {"en_US", 1234.5, "1234.5"}, {"de_DE", 95.5, "95,5"},
        {"de_DE", 1234.5, "1234,5"}, {"de_DE", -0.1, "-0,1"},
        {"de_DE", 280.0, "280"},     {"C", 0.1 + 0.2, "0.30000000000000004"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.text);
        const QLocale locale(QString::fromLatin1(c.locale));
        IniFile file = fromBytes("", locale);
        ASSERT_TRUE(file.writeFloat("Temperatures", "EmergencyTemp", c.value));
        EXPECT_EQ(file.readString("Temperatures", "EmergencyTemp", "?"), c.text);
        EXPECT_EQ(fromBytes(file.toBytes(), locale).readFloat("Temperatures", "EmergencyTemp", -1),
                  c.value);
    }
    // Read back with the same separator only: a decimal comma is not a number in the C locale,
    // nor a decimal point under de_DE (where "1.5" would otherwise be taken for a group mark).
    EXPECT_EQ(fromBytes("[T]\r\nE=95,5\r\n", QLocale::c()).readFloat("T", "E", -1), -1);
    EXPECT_EQ(fromBytes("[T]\r\nE=1.5\r\n", QLocale("de_DE")).readFloat("T", "E", -1), -1);
}

TEST(IniFile, LoadTellsMissingFromUnreadableAndNeverReplacesAnUnreadableFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    IniFile missing(dir.filePath("none.ini"));
    EXPECT_EQ(missing.load(), IniFile::LoadResult::Missing);
    ASSERT_TRUE(missing.writeInteger("S", "K", 1));
    ASSERT_TRUE(missing.save()) << missing.errorString().toStdString();
    IniFile reread(dir.filePath("none.ini"));
    EXPECT_EQ(reread.load(), IniFile::LoadResult::Loaded);
    EXPECT_EQ(reread.readInteger("S", "K", 0), 1);

    // A folder where the file should be cannot be read (even by root).
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    IniFile unreadable(dir.filePath("folder.ini"));
    EXPECT_EQ(unreadable.load(), IniFile::LoadResult::Unreadable);
    EXPECT_FALSE(unreadable.errorString().isEmpty());
    ASSERT_TRUE(unreadable.writeInteger("S", "K", 1));
    EXPECT_FALSE(unreadable.save());
    EXPECT_TRUE(unreadable.errorString().contains("not replaced"))
        << unreadable.errorString().toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.ini")).isDir());
}

}  // namespace
}  // namespace lumas
