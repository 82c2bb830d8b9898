// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// An archived run written as CSV: the temperature log's own form, byte for byte as the log writes
// it, and the ISO form for scripts; gaps stay gaps in both.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "core/csv_log.h"
#include "core/run_csv_export.h"

namespace lumas {
namespace {

// A run that starts two seconds before midnight, local time one hour ahead of UTC.
const QDateTime kStart(QDate(2026, 12, 31), QTime(23, 59, 58), Qt::OffsetFromUTC, 3600);

ArchivedRun runStartedAt(const QDateTime& start) {
    ArchivedRun run;
    run.id = 4;
    run.started = start.toUTC();
    run.utcOffsetSeconds = start.offsetFromUtc();
    return run;
}

// Readings 1.5 s apart across midnight, the link lost for the third and fourth.
const std::vector<ArchivedReading> kReadings = {
    {0, 23.0, 40.0, 1, LinkHealth::State::Live},
    {1500, 23.4, 40.0, 1, LinkHealth::State::Live},
    {3000, std::nullopt, std::nullopt, 1, LinkHealth::State::NoReply},
    {4500, std::nullopt, std::nullopt, 2, LinkHealth::State::PortFailed},
    {6000, -5.5, -10.0, 2, LinkHealth::State::Live},
};

QByteArray exported(RunCsvForm form, const QLocale& locale) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeRunCsv(runStartedAt(kStart), kReadings, form, buffer, locale));
    return buffer.data();
}

// The log form is what the temperature log itself would have written for the same readings, in
// a decimal-point and a decimal-comma locale: a reading without a temperature has no row.
TEST(RunCsvExportTest, TheLogFormIsTheTemperatureLogsOwnFile) {
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QTemporaryDir folder;
        CsvTemperatureLog::Creation created =
            CsvTemperatureLog::create(folder.path(), kStart, 23.0, locale);
        ASSERT_TRUE(created.log) << created.failure.toStdString();
        for (std::size_t k = 1; k < kReadings.size(); ++k) {
            if (kReadings[k].temperature) {
                created.log->writeRow(kStart.addMSecs(kReadings[k].atMs),
                                      *kReadings[k].temperature);
            }
        }
        created.log->close();
        QFile written(created.log->filePath());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(exported(RunCsvForm::Log, locale), written.readAll());
    }
    EXPECT_EQ(exported(RunCsvForm::Log, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("\uFEFF[Date Time], [Temperature]\r\n"
                             "\"31.12.2026 23:59:58\", \"23\"\r\n"
                             "\"31.12.2026 23:59:59\", \"23,4\"\r\n"
                             "\"01.01.2027 00:00:04\", \"-5,5\"\r\n")
                  .toUtf8())
        << "the run's local time, the date as it turns, a decimal comma inside the quotes";
}

// The ISO form is the same in every locale: UTC times, points, empty fields where the link was
// down.
TEST(RunCsvExportTest, TheIsoFormHasUtcTimesPlainNumbersAndEmptyFieldsInGaps) {
    const QByteArray expected =
        "time_utc,elapsed_s,temperature_c,set_point_c,step,link\r\n"
        "2026-12-31T22:59:58.000Z,0.000,23.0,40.0,1,live\r\n"
        "2026-12-31T22:59:59.500Z,1.500,23.4,40.0,1,live\r\n"
        "2026-12-31T23:00:01.000Z,3.000,,,1,no reply\r\n"
        "2026-12-31T23:00:02.500Z,4.500,,,2,port failed\r\n"
        "2026-12-31T23:00:04.000Z,6.000,-5.5,-10.0,2,live\r\n";
    EXPECT_EQ(exported(RunCsvForm::Iso, QLocale::c()), expected);
    EXPECT_EQ(exported(RunCsvForm::Iso, QLocale(QLocale::German, QLocale::Germany)), expected);
}

// A device that takes nothing (a full disk) is reported, not passed over.
TEST(RunCsvExportTest, ADeviceThatRefusesTheRowsIsReported) {
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    EXPECT_FALSE(writeRunCsv(runStartedAt(kStart), kReadings, RunCsvForm::Iso, full));
    EXPECT_FALSE(writeRunCsv(runStartedAt(kStart), kReadings, RunCsvForm::Log, full));
}

}  // namespace
}  // namespace lumas
