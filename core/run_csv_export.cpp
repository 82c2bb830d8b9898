// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/run_csv_export.h"

#include <QByteArray>
#include <QIODevice>

#include "core/csv_log.h"
#include "core/number_text.h"

namespace lumas {

namespace {

// Rows are handed to the device in blocks of about this size: a week's run is some 400,000 rows.
constexpr qsizetype kBlockBytes = qsizetype{64} * 1024;

// Collects text and hands it to the device a block at a time.
class BlockWriter {
  public:
    explicit BlockWriter(QIODevice& out) : out_(out) { block_.reserve(kBlockBytes + 256); }

    void add(const QString& text) {
        block_ += text.toUtf8();
        if (block_.size() >= kBlockBytes) {
            flush();
        }
    }
    void add(const char* text) {
        block_ += text;
        if (block_.size() >= kBlockBytes) {
            flush();
        }
    }
    bool finish() {
        flush();
        return ok_;
    }

  private:
    void flush() {
        if (ok_ && !block_.isEmpty()) {
            ok_ = out_.write(block_) == block_.size();
        }
        block_.clear();
    }

    QIODevice& out_;
    QByteArray block_;
    bool ok_ = true;
};

QString tenthText(const std::optional<double>& celsius) {
    return celsius ? oneDecimalText(*celsius, QLocale::c()) : QString();
}

void writeLogForm(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                  const QLocale& locale, BlockWriter& writer) {
    writer.add(QString(QChar(QChar::ByteOrderMark)) +
               QStringLiteral("[Date Time], [Temperature]\r\n"));
    const QString dateFormat = csvLogDateFormat(locale);
    const QString timeFormat = csvLogTimeFormat(locale);
    const QDateTime start = run.started.toOffsetFromUtc(run.utcOffsetSeconds);
    // The date's text changes once a day: made again only then.
    QDate shownDate;
    QString dateText;
    for (const ArchivedReading& reading : readings) {
        if (!reading.temperature) {
            continue;
        }
        const QDateTime at = start.addMSecs(reading.atMs);
        if (at.date() != shownDate) {
            shownDate = at.date();
            dateText = locale.toString(shownDate, dateFormat);
        }
        writer.add(u'"' + dateText + u' ' + locale.toString(at.time(), timeFormat) +
                   QStringLiteral("\", \"") + generalNumberText(*reading.temperature, locale) +
                   QStringLiteral("\"\r\n"));
    }
}

void writeIsoForm(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                  BlockWriter& writer) {
    writer.add(kRunCsvIsoHeader);
    writer.add("\r\n");
    const QDateTime start = run.started.toUTC();
    for (const ArchivedReading& reading : readings) {
        const QDateTime at = start.addMSecs(reading.atMs);
        writer.add(at.toString(Qt::ISODateWithMs) + u',' +
                   QString::number(static_cast<double>(reading.atMs) / 1000.0, 'f', 3) + u',' +
                   tenthText(reading.temperature) + u',' + tenthText(reading.setPoint) + u',' +
                   QString::number(reading.step) + u',' + linkStateCsvText(reading.link) +
                   QStringLiteral("\r\n"));
    }
}

}  // namespace

QString linkStateCsvText(LinkHealth::State state) {
    switch (state) {
        case LinkHealth::State::Offline:
            return QStringLiteral("offline");
        case LinkHealth::State::Waiting:
            return QStringLiteral("waiting");
        case LinkHealth::State::Live:
            return QStringLiteral("live");
        case LinkHealth::State::NoReply:
            return QStringLiteral("no reply");
        case LinkHealth::State::PortFailed:
            return QStringLiteral("port failed");
    }
    return QStringLiteral("offline");
}

bool writeRunCsv(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                 RunCsvForm form, QIODevice& out, const QLocale& locale) {
    BlockWriter writer(out);
    if (form == RunCsvForm::Log) {
        writeLogForm(run, readings, locale, writer);
    } else {
        writeIsoForm(run, readings, writer);
    }
    return writer.finish();
}

}  // namespace lumas
