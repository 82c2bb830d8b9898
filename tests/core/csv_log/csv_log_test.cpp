// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/csv_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <csignal>
#include <ostream>

// Failure messages show texts as text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumas {
namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QDateTime kStart(QDate(2019, 5, 31), QTime(15, 13, 27));

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

class CsvLogTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QString folder() const { return folder_.path(); }

    std::unique_ptr<CsvTemperatureLog> createLog(const QString& folderPath, const QDateTime& start,
                                                 double temperature, const QLocale& locale) {
        CsvTemperatureLog::Creation creation =
            CsvTemperatureLog::create(folderPath, start, temperature, locale);
        EXPECT_TRUE(creation.log) << creation.failure.toStdString();
        EXPECT_TRUE(creation.failure.isEmpty());
        return std::move(creation.log);
    }

  private:
    QTemporaryDir folder_;
};

TEST_F(CsvLogTest, FileNameFollowsTheLocaleDateAndTime) {
    struct NameCase {
        const char* locale;
        const char* expected;
    };
    const NameCase cases[] = {
        {"de_DE", "Test_31052019_151327.csv"},   // two-digit year widened, time zone dropped
        {"en_US", "Test_5312019_31327 PM.csv"},  // slashes removed, AM/PM kept
        {"es_ES", "Test_3152019_151327.csv"},    // zone in brackets
        {"be_BY", "Test_31052019_151327.csv"},   // zone after a comma
        {"zh_CN", "Test_2019531_151327.csv"},    // zone before the time
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(csvLogFileName(kStart, QLocale(QString::fromLatin1(c.locale))),
                  QString::fromUtf8(c.expected));
    }
}

TEST_F(CsvLogTest, NoLocaleLeavesATimeZoneOrATwoDigitYear) {
    const QString zone = kStart.timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());
    const auto locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale& locale : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        // A zone would show as its abbreviation; a four-digit year as 2019 in the locale's digits.
        const QString time = locale.toString(kStart.time(), csvLogTimeFormat(locale));
        EXPECT_FALSE(time.contains(zone)) << time.toStdString();
        const QString date = locale.toString(kStart.date(), csvLogDateFormat(locale));
        QLocale digits = locale;
        digits.setNumberOptions(QLocale::OmitGroupSeparator);
        EXPECT_TRUE(date.contains(digits.toString(2019))) << date.toStdString();
    }
}

TEST_F(CsvLogTest, DecimalPointLogByteForByte) {
    auto log = createLog(folder(), kStart, 23.0, kEnglish);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->filePath(), folder() + "/Test_5312019_31327 PM.csv");
    EXPECT_FALSE(log->writeRow(kStart.addSecs(5), 23.45));
    EXPECT_FALSE(log->writeRow(kStart.addSecs(10), -0.5));
    EXPECT_FALSE(log->writeRow(QDateTime(QDate(2019, 6, 1), QTime(0, 0, 1)), 1234.5));

    // Each row is on disk as soon as it is written, before the log is closed.
    EXPECT_EQ(contentsOf(log->filePath()), QByteArray("\xEF\xBB\xBF"
                                                      "[Date Time], [Temperature]\r\n"
                                                      "\"5/31/2019 3:13:27 PM\", \"23\"\r\n"
                                                      "\"5/31/2019 3:13:32 PM\", \"23.45\"\r\n"
                                                      "\"5/31/2019 3:13:37 PM\", \"-0.5\"\r\n"
                                                      "\"6/1/2019 12:00:01 AM\", \"1234.5\"\r\n"));
}

TEST_F(CsvLogTest, DecimalCommaStaysInsideTheQuotes) {
    auto log = createLog(folder(), kStart, 23.45, kGerman);
    ASSERT_TRUE(log);
    EXPECT_EQ(QFileInfo(log->filePath()).fileName(), "Test_31052019_151327.csv");
    EXPECT_FALSE(log->writeRow(kStart.addSecs(30), 180.0));
    EXPECT_FALSE(log->writeRow(kStart.addSecs(60), 1000.25));
    log->close();

    EXPECT_EQ(contentsOf(log->filePath()), QByteArray("\xEF\xBB\xBF"
                                                      "[Date Time], [Temperature]\r\n"
                                                      "\"31.05.2019 15:13:27\", \"23,45\"\r\n"
                                                      "\"31.05.2019 15:13:57\", \"180\"\r\n"
                                                      "\"31.05.2019 15:14:27\", \"1000,25\"\r\n"));
}

TEST_F(CsvLogTest, RunStartedInTheSameSecondKeepsTheEarlierFile) {
    auto first = createLog(folder(), kStart, 20.0, kGerman);
    ASSERT_TRUE(first);
    ASSERT_FALSE(first->writeRow(kStart.addMSecs(400), 20.5));
    first->close();
    const QByteArray firstContents = contentsOf(first->filePath());

    auto second = createLog(folder(), kStart.addMSecs(900), 30.0, kGerman);
    auto third = createLog(folder(), kStart, 40.0, kGerman);
    ASSERT_TRUE(second);
    ASSERT_TRUE(third);

    EXPECT_EQ(contentsOf(first->filePath()), firstContents);
    EXPECT_EQ(second->filePath(), folder() + "/Test_31052019_151327_2.csv");
    EXPECT_EQ(third->filePath(), folder() + "/Test_31052019_151327_3.csv");
    EXPECT_TRUE(contentsOf(second->filePath()).endsWith("\"30\"\r\n"));
    EXPECT_TRUE(contentsOf(third->filePath()).endsWith("\"40\"\r\n"));
}

TEST_F(CsvLogTest, MissingFolderIsCreatedOneLevelAndJoinedWithOneSlash) {
    const QString logs = folder() + "/logs";
    auto log = createLog(logs + "/", kStart, 21.0, kGerman);
    ASSERT_TRUE(log);
    EXPECT_TRUE(QFileInfo(logs).isDir());
    EXPECT_EQ(log->filePath(), logs + "/Test_31052019_151327.csv");
    EXPECT_TRUE(QFileInfo::exists(log->filePath()));
}

TEST_F(CsvLogTest, UncreatableFileIsReportedAndNothingIsThrown) {
    QFile plainFile(folder() + "/afile");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();

    struct FailureCase {
        QString folderPath;
        QString failure;
    };
    const QString runGoesOn = " The run goes on without a log.";
    const FailureCase cases[] = {
        // Fails for root as well, which a folder without write permission would not.
        {folder() + "/afile/sub", "The temperature log could not be created in " + folder() +
                                      "/afile/sub: not a directory." + runGoesOn},
        {folder() + "/two/levels", "The temperature log could not be created in " + folder() +
                                       "/two/levels: no such file or directory." + runGoesOn},
        {QString(),
         "The temperature log could not be created: no folder is set for it." + runGoesOn},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.folderPath.toStdString());
        CsvTemperatureLog::Creation creation;
        EXPECT_NO_THROW(creation = CsvTemperatureLog::create(c.folderPath, kStart, 23.0, kGerman));
        EXPECT_FALSE(creation.log);
        EXPECT_EQ(creation.failure, c.failure);
    }
    EXPECT_FALSE(QFileInfo::exists(folder() + "/two"));
}

// Lets this process write files of at most `bytes` bytes, so that a write beyond fails with
// "File too large" as on a full disk; the previous limit comes back at the end of the scope.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        applied_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool applied() const { return applied_; }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool applied_ = false;
};

TEST_F(CsvLogTest, UnwritableRowIsReportedOnceAndTheFileKeepsWholeRows) {
    auto log = createLog(folder(), kStart, 23.0, kGerman);
    ASSERT_TRUE(log);
    const qint64 createdSize = QFileInfo(log->filePath()).size();  // header and one row
    std::vector<QString> failures;
    {
        // Room for the first rows and part of one more.
        const FileSizeLimit limit(static_cast<rlim_t>(createdSize + 70));
        ASSERT_TRUE(limit.applied());
        for (int second = 1; second <= 6; ++second) {
            if (auto failure = log->writeRow(kStart.addSecs(second), 23.5)) {
                failures.push_back(*failure);
            }
        }
    }
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "The temperature log " + log->filePath() +
                               " could not be written: file too large. The run goes on without "
                               "a log.");
    EXPECT_FALSE(log->isOpen());
    EXPECT_FALSE(log->writeRow(kStart.addSecs(7), 23.5));

    const QByteArray contents = contentsOf(log->filePath());
    const qint64 rowSize = 31;
    EXPECT_EQ(contents.size(), createdSize + 2 * rowSize);  // two whole rows fitted
    EXPECT_TRUE(contents.endsWith("\"31.05.2019 15:13:29\", \"23,5\"\r\n"));
}

// A folder removed while the log is open (by hand, a clean-up script, an unmounted share): the
// file is made again where it was, with every row written so far, the operator is told once, and
// the log goes on.
TEST_F(CsvLogTest, AFolderRemovedDuringTheRunIsMadeAgainWithEveryRowSoFar) {
    const QString logFolder = folder() + "/logs";
    auto log = createLog(logFolder, kStart, 23.0, kEnglish);
    ASSERT_TRUE(log);
    EXPECT_FALSE(log->writeRow(kStart.addSecs(5), 23.5));
    ASSERT_TRUE(QDir(logFolder).removeRecursively());

    const std::optional<QString> told = log->writeRow(kStart.addSecs(10), 24.0);
    ASSERT_TRUE(told.has_value());
    EXPECT_TRUE(
        told->contains("was removed during the run; it was made again there with every "
                       "row so far, and the log goes on."));
    EXPECT_FALSE(log->writeRow(kStart.addSecs(15), 24.5)) << "told once";
    EXPECT_FALSE(log->failed());
    EXPECT_EQ(contentsOf(log->filePath()), QByteArray("\xEF\xBB\xBF"
                                                      "[Date Time], [Temperature]\r\n"
                                                      "\"5/31/2019 3:13:27 PM\", \"23\"\r\n"
                                                      "\"5/31/2019 3:13:32 PM\", \"23.5\"\r\n"
                                                      "\"5/31/2019 3:13:37 PM\", \"24\"\r\n"
                                                      "\"5/31/2019 3:13:42 PM\", \"24.5\"\r\n"));
}

TEST_F(CsvLogTest, ClosedLogTakesNoMoreRowsAndClosesOnlyOnce) {
    auto log = createLog(folder(), kStart, 23.0, kGerman);
    ASSERT_TRUE(log);
    log->close();
    const QByteArray closedContents = contentsOf(log->filePath());
    log->close();
    EXPECT_FALSE(log->isOpen());
    EXPECT_FALSE(log->writeRow(kStart.addSecs(1), 24.0));
    EXPECT_EQ(contentsOf(log->filePath()), closedContents);
}

}  // namespace
}  // namespace lumas
