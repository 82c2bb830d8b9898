// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_report.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <algorithm>

#include "core/run_texts.h"
#include "ui/chart_report_pdf.h"
#include "ui/run_chart.h"
#include "ui/run_report_text.h"

namespace lumas::ui {

namespace {

// Report units: one per pixel at 96 pixels per inch.
constexpr double kUnitsPerInch = 96.0;
constexpr double kMillimetresPerInch = 25.4;

constexpr double kPrintableHeightMm = 210.0 - 2.0 * ChartReport::kPageMarginMm;
constexpr double kFooterHeightMm = 6.0;
const QRectF kTimeBoxMm(5.0, 2.0, 16.0, 6.0);
const QRectF kDateBoxMm(27.0, 2.0, 19.0, 6.0);
const QRectF kPageNumberBoxMm(254.0, kPrintableHeightMm - kFooterHeightMm, 20.0, 5.0);
constexpr int kTextPixels = 13;  // 10 pt in report units
const QString kCreator = QStringLiteral("Lumas Software");

// The record on the chart's page: the run in the title band, beside the time and date; the rest of
// its facts in the strip between the chart and the footer.
const QRectF kRunLineMm(60.0, 2.0, 210.0, 6.0);
const QRectF kSummaryMm(5.0, 172.0, 265.0, 10.0);
// The record's pages: two columns between the title band and the footer.
const QRectF kRecordHeadingMm(5.0, 2.0, 150.0, 7.0);
const QRectF kPreparedMm(160.0, 2.0, 110.0, 6.0);
constexpr double kColumnTopMm = 14.0;
constexpr double kColumnBottomMm = 182.0;
constexpr double kColumnLeftMm[2] = {5.0, 142.0};
constexpr double kColumnWidthMm = 128.0;
constexpr int kTablePixels = 11;
constexpr int kHeadingPixels = 13;
constexpr double kCellGapMm = 1.5;
constexpr double kRowGapMm = 0.6;
constexpr double kBlockGapMm = 5.0;
const QColor kRuleColour(160, 160, 160);
const QColor kAlarmTextColour(190, 90, 0);

double units(double millimetres) {
    return millimetres * kUnitsPerInch / kMillimetresPerInch;
}

QRectF unitsRect(const QRectF& millimetres) {
    return {units(millimetres.x()), units(millimetres.y()), units(millimetres.width()),
            units(millimetres.height())};
}

// The locale's long time format (with seconds) without the time zone.
QString timeOfDayText(const QTime& time, const QLocale& locale) {
    static const QRegularExpression timeZone(QStringLiteral(R"((^|\s+)t+(\s+|$))"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(timeZone, QStringLiteral(" "));
    return locale.toString(time, format.trimmed());
}

QFont reportFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// One column of a table on the record's pages: its share of the column's width in millimetres
// and how its cells align.
struct TableColumn {
    QString title;
    double widthMm = 0.0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// One row of a table: its cells, and whether it is an alarm.
struct TableRow {
    QStringList cells;
    bool alarm = false;
};

}  // namespace

const QRectF ChartReport::kChartFrameMm(5.0, 20.0, 265.0, 150.0);
const QString ChartReport::kDefaultPdfName = QStringLiteral("Chart");
const QString ChartReport::kPdfAuthor = QStringLiteral("Brandel GmbH");
const QString ChartReport::kPdfSubject = QStringLiteral("Chart");

ChartReport::ChartReport(const ChartDrawing& drawChart, const QDateTime& preparedAt,
                         const QLocale& locale, std::optional<RunRecord> record)
    : preparedAt_(preparedAt),
      timeText_(timeOfDayText(preparedAt.time(), locale)),
      dateText_(locale.toString(preparedAt.date(), QLocale::ShortFormat)),
      record_(std::move(record)) {
    const std::vector<ChartEventMark> marks =
        record_ ? eventMarks(record_->events) : std::vector<ChartEventMark>();
    {
        QPainter painter(&chartDrawing_);
        drawChart(painter, QRectF(QPointF(0.0, 0.0), chartCanvas()), marks);
    }
    if (record_) {
        layOutRecord(locale);
    }
}

QSize ChartReport::chartCanvas() {
    return {qRound(units(kChartFrameMm.width())), qRound(units(kChartFrameMm.height()))};
}

void ChartReport::setUpPage(QPagedPaintDevice& device) {
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Landscape);
    device.setPageMargins(QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                          QPageLayout::Millimeter);
}

void ChartReport::place(int page, const QRectF& box, const QString& text, const QFont& font,
                        const QColor& colour, int flags) {
    texts_.push_back({page, box, text, font, colour, flags});
}

void ChartReport::layOutRecord(const QLocale& locale) {
    const ArchivedRun& run = record_->run;
    const QFont text = reportFont(kTablePixels);
    const QFont bold = reportFont(kTablePixels, true);
    const QFont heading = reportFont(kHeadingPixels, true);
    const QFontMetricsF textMetrics(text);
    const QFontMetricsF headingMetrics(heading);

    // The chart's page: the run beside the time and date, its facts below the chart.
    QString runLine = QStringLiteral("Run %1, started %2")
                          .arg(run.id)
                          .arg(runTimeText(run.started, run.utcOffsetSeconds));
    if (run.ended) {
        runLine += QStringLiteral(", ended %1: %2")
                       .arg(runTimeText(*run.ended, run.utcOffsetSeconds), run.endReason);
    } else {
        runLine += QStringLiteral(", still running");
    }
    const QRectF runBox = unitsRect(kRunLineMm);
    place(0, runBox,
          QFontMetricsF(reportFont(kTextPixels, true))
              .elidedText(runLine, Qt::ElideRight, runBox.width()),
          reportFont(kTextPixels, true), Qt::black, Qt::AlignLeft | Qt::AlignTop);
    const QString target =
        run.programme ? QStringLiteral("Programme: ") + programmeText(*run.programme, locale)
                      : QStringLiteral("Set point: ") + runTargetText(run, locale);
    const QString gap = QStringLiteral("     ");
    const QStringList summary{QStringLiteral("Operator: ") + runOperatorText(run) + gap +
                                  QStringLiteral("Port: ") + run.port + gap + target + gap +
                                  QStringLiteral("Emergency threshold: ") +
                                  celsiusText(run.threshold, locale),
                              QStringLiteral("Minimum: ") + celsiusText(run.minimum, locale) + gap +
                                  QStringLiteral("Maximum: ") + celsiusText(run.maximum, locale) +
                                  gap + QStringLiteral("Alarms: %1").arg(run.alarms) + gap +
                                  QStringLiteral("The record and its events follow on page 2.")};
    const QRectF summaryBox = unitsRect(kSummaryMm);
    for (int line = 0; line < summary.size(); ++line) {
        const QRectF box(summaryBox.left(), summaryBox.top() + line * textMetrics.lineSpacing(),
                         summaryBox.width(), textMetrics.lineSpacing());
        place(0, box, textMetrics.elidedText(summary[line], Qt::ElideRight, box.width()), text,
              Qt::black, Qt::AlignLeft | Qt::AlignTop);
    }

    // The record's pages: blocks that flow down a column, then into the next one, two columns a
    // page.
    int column = 0;
    double y = units(kColumnTopMm);
    const double bottom = units(kColumnBottomMm);
    const auto pageOf = [&] { return 1 + column / 2; };
    const auto left = [&] { return units(kColumnLeftMm[column % 2]); };
    const auto nextColumn = [&] {
        ++column;
        y = units(kColumnTopMm);
    };
    // The height of a row of cells, each wrapped within its width.
    const auto rowHeight = [&](const QStringList& cells, const std::vector<double>& widths) {
        double height = textMetrics.height();
        for (int cell = 0; cell < cells.size(); ++cell) {
            // A little narrower than drawn, so that a printer's metrics wrap no earlier.
            const QRectF bounds = textMetrics.boundingRect(
                QRectF(0.0, 0.0, std::max(1.0, widths[static_cast<std::size_t>(cell)] - 2.0), 1e6),
                Qt::TextWordWrap, cells[cell]);
            height = std::max(height, bounds.height());
        }
        return height + units(kRowGapMm);
    };
    const auto headingRow = [&](const QString& title) {
        const double height = headingMetrics.height() + units(kRowGapMm) * 2.0;
        if (y + height + 2.0 * textMetrics.height() > bottom) {
            nextColumn();
        }
        place(pageOf(), QRectF(left(), y, units(kColumnWidthMm), headingMetrics.height()), title,
              heading, Qt::black, Qt::AlignLeft | Qt::AlignTop);
        y += height;
    };
    // A table: its title and column titles at the top of every column it runs in.
    const auto table = [&](const QString& title, const std::vector<TableColumn>& columns,
                           const std::vector<TableRow>& rows) {
        std::vector<double> widths;
        widths.reserve(columns.size());
        for (const TableColumn& tableColumn : columns) {
            widths.push_back(units(tableColumn.widthMm));
        }
        QStringList titles;
        for (const TableColumn& tableColumn : columns) {
            titles << tableColumn.title;
        }
        const bool titled = std::any_of(columns.begin(), columns.end(),
                                        [](const TableColumn& c) { return !c.title.isEmpty(); });
        const auto header = [&](const QString& shown) {
            headingRow(shown);
            if (!titled) {
                return;
            }
            double x = left();
            for (std::size_t cell = 0; cell < columns.size(); ++cell) {
                place(pageOf(), QRectF(x, y, widths[cell], textMetrics.height()),
                      columns[cell].title, bold, Qt::black,
                      (columns[cell].alignment | Qt::AlignTop).toInt());
                x += widths[cell] + units(kCellGapMm);
            }
            y += textMetrics.height() + units(kRowGapMm);
            rules_.push_back({pageOf(), QLineF(left(), y, left() + units(kColumnWidthMm), y)});
            y += units(kRowGapMm);
        };
        header(title);
        for (const TableRow& row : rows) {
            const double height = rowHeight(row.cells, widths);
            if (y + height > bottom) {
                nextColumn();
                header(title + QStringLiteral(" (continued)"));
            }
            double x = left();
            for (std::size_t cell = 0; cell < columns.size(); ++cell) {
                place(pageOf(), QRectF(x, y, widths[cell], height),
                      row.cells.value(static_cast<int>(cell)), row.alarm ? bold : text,
                      row.alarm ? kAlarmTextColour : Qt::black,
                      (columns[cell].alignment | Qt::AlignTop).toInt() | Qt::TextWordWrap);
                x += widths[cell] + units(kCellGapMm);
            }
            y += height;
        }
        y += units(kBlockGapMm);
    };

    std::vector<TableRow> facts;
    const auto fact = [&facts](const QString& name, const QString& value) {
        facts.push_back({{name, value}, false});
    };
    fact(QStringLiteral("Run"), QString::number(run.id));
    if (run.continues) {
        fact(QStringLiteral("Continues run"), QString::number(*run.continues));
    }
    fact(QStringLiteral("Started"), runTimeText(run.started, run.utcOffsetSeconds));
    if (run.ended) {
        fact(QStringLiteral("Ended"), runTimeText(*run.ended, run.utcOffsetSeconds));
    }
    if (run.lastReading) {
        fact(QStringLiteral("Last reading"), runTimeText(*run.lastReading, run.utcOffsetSeconds));
    }
    fact(QStringLiteral("Duration"), durationText(runDurationMs(run)));
    fact(QStringLiteral("How it ended"), runEndText(run));
    fact(QStringLiteral("Operator"), runOperatorText(run));
    fact(QStringLiteral("Port"), run.port);
    if (run.programme) {
        fact(QStringLiteral("Programme"), programmeText(*run.programme, locale));
    } else {
        fact(QStringLiteral("Set point"), runTargetText(run, locale));
    }
    fact(QStringLiteral("Emergency threshold"), celsiusText(run.threshold, locale));
    fact(QStringLiteral("Blind-run limit"), run.blindStopSeconds > 0
                                                ? QStringLiteral("%1 s").arg(run.blindStopSeconds)
                                                : QStringLiteral("none"));
    fact(QStringLiteral("Minimum"), celsiusText(run.minimum, locale));
    fact(QStringLiteral("Maximum"), celsiusText(run.maximum, locale));
    fact(QStringLiteral("Alarms"), QString::number(run.alarms));
    fact(QStringLiteral("Readings"), QString::number(run.readings));
    fact(QStringLiteral("Program version"), run.version);
    // The seal's 64 hex digits in two lines of 32.
    fact(QStringLiteral("Seal (SHA-256)"), run.seal.isEmpty()
                                               ? QStringLiteral("none while the run goes on")
                                               : run.seal.left(32) + u'\n' + run.seal.mid(32));
    table(QStringLiteral("Run %1").arg(run.id),
          {{QString(), 38.0}, {QString(), kColumnWidthMm - 38.0 - kCellGapMm}}, facts);

    if (run.programme) {
        std::vector<TableRow> steps;
        int number = 0;
        for (const ProgrammeStep& step : run.programme->steps()) {
            steps.push_back({{QString::number(++number), locale.toString(step.temperature, 'f', 1),
                              texts::minutesText(step.holdMinutes, locale)},
                             false});
        }
        table(QStringLiteral("Programme"),
              {{QStringLiteral("Step"), 16.0, Qt::AlignRight},
               {QStringLiteral("°C"), 24.0, Qt::AlignRight},
               {QStringLiteral("Minutes"), 24.0, Qt::AlignRight}},
              steps);
    }

    // The events begin a column of their own.
    if (column % 2 == 0) {
        nextColumn();
    }
    std::vector<TableRow> events;
    for (const ArchivedEvent& event : record_->events) {
        events.push_back(
            {{elapsedText(event.atMs), event.kind, event.text}, isAlarmEvent(event.kind)});
    }
    if (events.empty()) {
        events.push_back(
            {{QString(), QString(), QStringLiteral("No events were recorded.")}, false});
    }
    table(QStringLiteral("Events"),
          {{QStringLiteral("Time"), 17.0},
           {QStringLiteral("Event"), 34.0},
           {QStringLiteral("Text"), kColumnWidthMm - 17.0 - 34.0 - 2.0 * kCellGapMm}},
          events);

    pageCount_ = 1 + (column / 2 + 1);
    const QFont title = reportFont(15, true);
    for (int page = 1; page < pageCount_; ++page) {
        place(page, unitsRect(kRecordHeadingMm), QStringLiteral("Record of run %1").arg(run.id),
              title, Qt::black, Qt::AlignLeft | Qt::AlignTop);
        place(page, unitsRect(kPreparedMm),
              QStringLiteral("Prepared %1 %2").arg(dateText_, timeText_), reportFont(kTextPixels),
              Qt::black, Qt::AlignRight | Qt::AlignTop);
    }
}

void ChartReport::paintPage(QPainter& painter, int page) const {
    painter.save();
    const double devicePerUnit = painter.device()->logicalDpiX() / kUnitsPerInch;
    painter.scale(devicePerUnit, devicePerUnit);

    painter.setFont(reportFont(kTextPixels));
    painter.setPen(Qt::black);
    painter.drawText(unitsRect(kPageNumberBoxMm), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip,
                     QString::number(page + 1));
    if (page == 0) {
        painter.drawText(unitsRect(kTimeBoxMm), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         timeText_);
        painter.drawText(unitsRect(kDateBoxMm), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         dateText_);
    }
    for (const PlacedText& text : texts_) {
        if (text.page == page) {
            painter.setFont(text.font);
            painter.setPen(text.colour);
            painter.drawText(text.box, text.flags, text.text);
        }
    }
    painter.setPen(QPen(kRuleColour, 0.75));
    for (const PlacedRule& rule : rules_) {
        if (rule.page == page) {
            painter.drawLine(rule.line);
        }
    }

    if (page == 0) {
        const QRectF frame = unitsRect(kChartFrameMm);
        const QSize canvas = chartCanvas();
        painter.translate(frame.topLeft());
        painter.scale(frame.width() / canvas.width(), frame.height() / canvas.height());
        // A picture plays back scaled from its own resolution to the device's; the scale to
        // report units above already covers that.
        const double playbackScale =
            static_cast<double>(chartDrawing_.logicalDpiX()) / painter.device()->logicalDpiX();
        painter.scale(playbackScale, playbackScale);
        painter.drawPicture(0, 0, chartDrawing_);
    }
    painter.restore();
}

bool ChartReport::paintPages(QPainter& painter, QPagedPaintDevice& device) const {
    for (int page = 0; page < pageCount_; ++page) {
        if (page > 0 && !device.newPage()) {
            return false;
        }
        paintPage(painter, page);
    }
    return true;
}

bool ChartReport::exportPdf(const QString& path) const {
    {
        QPdfWriter writer(path);
        writer.setCreator(kCreator);
        setUpPage(writer);
        QPainter painter;
        if (!painter.begin(&writer)) {
            return false;
        }
        const bool painted = paintPages(painter, writer);
        if (!painter.end() || !painted) {
            return false;
        }
    }
    PdfDocumentInfo info;
    if (record_) {
        info.title = QStringLiteral("Run %1").arg(record_->run.id);
    }
    info.author = kPdfAuthor;
    info.subject = kPdfSubject;
    info.creator = kCreator;
    info.producer = QStringLiteral("Qt ") + QString::fromLatin1(qVersion());
    info.created = QDateTime::currentDateTime();
    return appendPdfDocumentInfo(path, info);
}

}  // namespace lumas::ui
