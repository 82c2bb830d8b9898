// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QLineF>
#include <QLocale>
#include <QPicture>
#include <QRectF>
#include <QSize>
#include <QString>

#include <concepts>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/run_archive.h"
#include "ui/chart_painter.h"

class QPagedPaintDevice;
class QPainter;

namespace lumas::ui {

// Draws a chart laid out afresh for a target rectangle, with `events` marked on its time axis.
using ChartDrawing = std::function<void(QPainter& painter, const QRectF& target,
                                        std::span<const ChartEventMark> events)>;

// The chart report. The first page is A4 landscape with 10 mm margins; positions below are in
// millimetres from the top-left corner of the printable area (277 × 190 mm):
// - title band, 11 mm high: the time of preparation at (5, 2), the date at (27, 2);
// - the chart in a 265 × 150 mm frame at (5, 20);
// - footer band, the last 6 mm: the page number, right-aligned in a 20 × 5 mm box at 254 mm.
// Without a run's record that is the whole report, one page. With one, the title band names the
// run, its start, its end and how it ended, the strip below the chart gives the operator, the port,
// the set point or programme, the emergency threshold, the minimum, the maximum and the alarms,
// the chart marks the run's events, and the following pages hold the whole record: its facts, the
// programme as a table, and the events, continued on as many pages as they need.
class ChartReport {
  public:
    static constexpr double kPageMarginMm = 10.0;
    static const QRectF kChartFrameMm;
    static const QString kDefaultPdfName;  // without the suffix
    static const QString kPdfAuthor;
    static const QString kPdfSubject;

    // Prepares the report: draws the chart as it is now with `drawChart`, laid out afresh for a
    // canvas of the frame's size in report units (96 per inch, so 1002 × 567), and takes the time
    // and date of `preparedAt` in the locale's formats; numbers of the record follow `locale` too.
    // Later changes to the chart do not alter the report.
    ChartReport(const ChartDrawing& drawChart, const QDateTime& preparedAt, const QLocale& locale,
                std::optional<RunRecord> record);

    // The same for a chart that draws itself (the main window's chart widget).
    template <typename Chart>
    requires requires(const Chart& chart, QPainter& painter, const QRectF& target,
                      std::span<const ChartEventMark> events) {
        chart.drawChart(painter, target, events);
    }
    explicit ChartReport(const Chart& chart,
                         const QDateTime& preparedAt = QDateTime::currentDateTime(),
                         const QLocale& locale = QLocale(),
                         std::optional<RunRecord> record = std::nullopt)
        : ChartReport(
              [&chart](QPainter& painter, const QRectF& target,
                       std::span<const ChartEventMark> events) {
                  chart.drawChart(painter, target, events);
              },
              preparedAt, locale, std::move(record)) {}

    // Sets up a printer or PDF writer for the pages.
    static void setUpPage(QPagedPaintDevice& device);
    int pageCount() const { return pageCount_; }
    // Draws page `page` (0 is the first) with `painter`, whose device has been set up with
    // setUpPage.
    void paintPage(QPainter& painter, int page = 0) const;
    // Draws every page on `device`, which `painter` paints on, starting a new page between them.
    // False when the device refuses a new page.
    bool paintPages(QPainter& painter, QPagedPaintDevice& device) const;

    // Writes the pages to a PDF file, replacing any file there, with the author and subject (and
    // the run, when there is a record) in its document information. Returns false when the file
    // cannot be written.
    bool exportPdf(const QString& path) const;

    // The chart's canvas: the frame's size in report units.
    static QSize chartCanvas();
    const QString& timeText() const { return timeText_; }
    const QString& dateText() const { return dateText_; }
    const std::optional<RunRecord>& record() const { return record_; }

  private:
    // A text of the record's pages, in report units.
    struct PlacedText {
        int page = 0;
        QRectF box;
        QString text;
        QFont font;
        QColor colour;
        int flags = 0;
    };
    struct PlacedRule {
        int page = 0;
        QLineF line;
    };

    void layOutRecord(const QLocale& locale);
    void place(int page, const QRectF& box, const QString& text, const QFont& font,
               const QColor& colour = Qt::black, int flags = 0);

    QPicture chartDrawing_;
    QDateTime preparedAt_;
    QString timeText_;
    QString dateText_;
    std::optional<RunRecord> record_;
    std::vector<PlacedText> texts_;
    std::vector<PlacedRule> rules_;
    int pageCount_ = 1;
};

}  // namespace lumas::ui
