// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Where reports and exports are saved and the names they are proposed under: the documents folder
// under a HOME and XDG_CONFIG_HOME of the test's own, the folder remembered per kind, and the
// date and time in the names in every locale.

#include "core/document_folders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>
#include <vector>

#include "core/ini_file.h"

namespace lumas {
namespace {

// HOME and XDG_CONFIG_HOME in a temporary folder for the life of the test; the old values come
// back after it.
class DocumentFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(QDir().mkpath(home()));
        oldHome_ = qgetenv("HOME");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config()));
    }
    void TearDown() override {
        qputenv("HOME", oldHome_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    }

    QString home() const { return tmp_.filePath(QStringLiteral("home")); }
    QString config() const { return tmp_.filePath(QStringLiteral("config")); }
    QString settings() const { return tmp_.filePath(QStringLiteral("config/Lumas/Settings.ini")); }
    QString stored(const QString& key) const {
        IniFile file(settings());
        file.load();
        return file.readString(QStringLiteral("Folders"), key, QStringLiteral("<none>"));
    }

    QTemporaryDir tmp_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
};

TEST_F(DocumentFolders, DefaultIsLumasInTheDocumentsFolderMadeOnDemand) {
    const QString expected = home() + QStringLiteral("/Documents/Lumas");
    EXPECT_EQ(proposedDocumentFolder(), expected);
    ASSERT_FALSE(QFileInfo::exists(expected));  // proposing makes nothing
    EXPECT_EQ(defaultDocumentFolder(), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    // Nothing remembered: both kinds start there, and asking writes no settings file.
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), expected);
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Exports), expected);
    EXPECT_FALSE(QFileInfo::exists(settings()));
}

TEST_F(DocumentFolders, DocumentsFolderNamedByTheUserDirsFile) {
    ASSERT_TRUE(QDir().mkpath(config()));
    QFile dirs(config() + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
    dirs.close();
    EXPECT_EQ(defaultDocumentFolder(), home() + QStringLiteral("/Papiere/Lumas"));
}

TEST_F(DocumentFolders, HomeWhenTheDocumentsFolderCannotBeMade) {
    // A file where the documents folder would be.
    QFile blocking(home() + QStringLiteral("/Documents"));
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly));
    blocking.close();
    EXPECT_EQ(defaultDocumentFolder(), home());
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), home());
}

TEST_F(DocumentFolders, ChosenFolderIsRememberedPerKindUntilItIsGone) {
    // Keys of others in the settings file are kept.
    {
        IniFile file(settings());
        ASSERT_TRUE(file.writeString(QStringLiteral("CSV"), QStringLiteral("FolderPath"), "/log"));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(settings()).absolutePath()));
        ASSERT_TRUE(file.save());
    }
    const QString chosen = tmp_.filePath(QStringLiteral("lab reports"));
    ASSERT_TRUE(QDir().mkpath(chosen));
    const QString fallback = home() + QStringLiteral("/Documents/Lumas");

    EXPECT_TRUE(rememberDocumentFolder(settings(), DocumentFolder::Reports, chosen + "/").saved);
    EXPECT_EQ(stored(QStringLiteral("Reports")), chosen);
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), chosen);
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Exports), fallback);
    {
        IniFile file(settings());
        file.load();
        EXPECT_EQ(file.readString(QStringLiteral("CSV"), QStringLiteral("FolderPath"), {}), "/log");
    }

    // Gone: the default again, while the setting stays for when it comes back.
    ASSERT_TRUE(QDir(chosen).removeRecursively());
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), fallback);
    ASSERT_TRUE(QDir().mkpath(chosen));
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), chosen);

    // Back in the default folder: remembered as none, so the default follows the documents folder.
    EXPECT_TRUE(rememberDocumentFolder(settings(), DocumentFolder::Reports, fallback).saved);
    EXPECT_EQ(stored(QStringLiteral("Reports")), QString());
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Reports), fallback);

    // A folder the settings file cannot hold is refused, and the one before kept.
    EXPECT_TRUE(rememberDocumentFolder(settings(), DocumentFolder::Exports, chosen).saved);
    EXPECT_FALSE(
        rememberDocumentFolder(settings(), DocumentFolder::Exports, chosen + "/a\nb").saved);
    EXPECT_EQ(documentFolder(settings(), DocumentFolder::Exports), chosen);
}

TEST(DocumentNames, DateAndTimeInIsoOrderWithoutColonsInEveryLocale) {
    struct Case {
        QDateTime time;
        QString chart;
    };
    const QTimeZone utc = QTimeZone::utc();
    const std::vector<Case> cases = {
        {QDateTime(QDate(2026, 12, 11), QTime(14, 5), utc), "Lumas chart 2026-12-11 14-05"},
        {QDateTime(QDate(2027, 1, 1), QTime(0, 0), utc), "Lumas chart 2027-01-01 00-00"},
        {QDateTime(QDate(2026, 3, 4), QTime(9, 7, 59, 999), utc), "Lumas chart 2026-03-04 09-07"},
        {QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59), utc), "Lumas chart 2026-12-31 23-59"},
        {QDateTime(QDate(2026, 6, 1), QTime(12, 0), utc), "Lumas chart 2026-06-01 12-00"},
    };
    const QLocale before;
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Arabic, QLocale::Egypt),
          QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        for (const Case& c : cases) {
            EXPECT_EQ(chartDocumentName(c.time), c.chart) << qPrintable(locale.name());
        }
    }
    QLocale::setDefault(before);
}

TEST(DocumentNames, RunIsNamedByItsIdAndItsStartInItsOwnLocalTime) {
    struct Case {
        std::int64_t id;
        QDateTime startedUtc;
        int offsetSeconds;
        QString expected;
    };
    const QTimeZone utc = QTimeZone::utc();
    const std::vector<Case> cases = {
        {12, QDateTime(QDate(2026, 12, 11), QTime(8, 30), utc), 3600,
         "Lumas run 12 2026-12-11 09-30"},
        // The offset carries the start past midnight, both ways.
        {3, QDateTime(QDate(2026, 12, 2), QTime(23, 30), utc), 3600,
         "Lumas run 3 2026-12-03 00-30"},
        {40017, QDateTime(QDate(2027, 1, 1), QTime(3, 0), utc), -5 * 3600,
         "Lumas run 40017 2026-12-31 22-00"},
        {1, QDateTime(QDate(2026, 12, 1), QTime(0, 0), utc), 0, "Lumas run 1 2026-12-01 00-00"},
    };
    for (const Case& c : cases) {
        ArchivedRun run;
        run.id = c.id;
        run.started = c.startedUtc;
        run.utcOffsetSeconds = c.offsetSeconds;
        EXPECT_EQ(runDocumentName(run), c.expected);
    }
}

}  // namespace
}  // namespace lumas
