// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

namespace lumas {

// The date and time formats of the log: the locale's short date and long time, as the operator's
// desktop shows them, with the year in four digits and without a time zone.
QString csvLogDateFormat(const QLocale& locale);
QString csvLogTimeFormat(const QLocale& locale);

// "Test_" + date + "_" + time + ".csv" for a run started at startedAt: the date without ".", "/"
// and "-", the time without ":". 31.05.2019 15:13:27 in German gives Test_31052019_151327.csv.
QString csvLogFileName(const QDateTime& startedAt, const QLocale& locale);

// The temperature log of one run: a CSV file in UTF-8 with a byte order mark and CR LF line ends,
// the header "[Date Time], [Temperature]", then one row per call:
// "<short date> <long time>", "<temperature>".
// Every row goes to the operating system as soon as it is written, so a run that ends abruptly
// keeps all rows written before. Used on the UI thread only; it shares no state with other threads.
class CsvTemperatureLog {
  public:
    // Either a log, or failure: the sentence that tells the operator why there is none.
    struct Creation {
        std::unique_ptr<CsvTemperatureLog> log;
        QString failure;
    };

    // Creates the log of a run started at startedAt in folderPath and writes the header and the
    // first row with temperature (none when there is no reading at the start). A missing folder is
    // created, one level only. An existing file is never replaced: when the name is taken (a second
    // run in the same second), "_2", "_3", ... is put before ".csv".
    static Creation create(const QString& folderPath, const QDateTime& startedAt,
                           std::optional<double> temperature, const QLocale& locale = QLocale());

    CsvTemperatureLog(const CsvTemperatureLog&) = delete;
    CsvTemperatureLog& operator=(const CsvTemperatureLog&) = delete;
    ~CsvTemperatureLog() = default;

    // Appends the row of temperature measured at `at`. When the row cannot be written the log is
    // closed and the sentence for the operator is returned; this happens once: after it, and after
    // close(), rows are dropped and nothing is returned. A log whose file or folder was removed is
    // made again at its path with every row so far, and the operator is told so (the returned
    // sentence; the log stays open).
    std::optional<QString> writeRow(const QDateTime& at, double temperature);

    // Closes the file. Closing a closed log does nothing.
    void close();

    bool isOpen() const { return file_.isOpen(); }
    // Whether rows were lost: the log was closed because a row could not be written.
    bool failed() const { return failed_; }
    QString filePath() const { return file_.fileName(); }

  private:
    CsvTemperatureLog(const QString& filePath, const QLocale& locale);

    // Writes all of text; false when the system refused part of it.
    bool writeText(const QString& text);
    // Makes the removed file again at its path, with the rows the open file holds, and goes on
    // writing there. The reason when it cannot.
    std::optional<QString> putBack();
    QString rowText(const QDateTime& at, double temperature) const;

    QFile file_;
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    bool failed_ = false;
};

}  // namespace lumas
