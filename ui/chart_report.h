#pragma once

#include <QDateTime>
#include <QLocale>
#include <QPicture>
#include <QPrintPreviewDialog>
#include <QRectF>
#include <QString>
#include <QUrl>

#include <functional>

class QAction;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace lumas::ui {

class TemperatureChart;

// The one-page chart report. The page is A4 landscape with 10 mm margins; positions below are
// in millimetres from the top-left corner of the printable area (277 × 190 mm):
// - title band, 11 mm high: the time of preparation at (5, 2), the date at (27, 2);
// - the chart in a 265 × 150 mm frame at (5, 20);
// - footer band, the last 6 mm: the page number, right-aligned in a 20 × 5 mm box at 254 mm.
class ChartReport {
  public:
    static constexpr double kPageMarginMm = 10.0;
    static const QRectF kChartFrameMm;
    static const QString kDefaultPdfName;  // without the suffix
    static const QString kPdfAuthor;
    static const QString kPdfSubject;

    // Prepares the report: draws the chart as it is now, laid out afresh for a canvas of the
    // frame's size in report units (96 per inch, so 1002 × 567), and takes the time and date of
    // `preparedAt` in the locale's formats. Later changes to the chart do not alter the report.
    explicit ChartReport(const TemperatureChart& chart,
                         const QDateTime& preparedAt = QDateTime::currentDateTime(),
                         const QLocale& locale = QLocale());

    // Sets up a printer or PDF writer for the page.
    static void setUpPage(QPagedPaintDevice& device);
    // Draws the page with `painter`, whose device has been set up with setUpPage.
    void paintPage(QPainter& painter) const;

    // Writes the page to a PDF file, replacing any file there, with the author and subject in its
    // document information. Returns false when the file cannot be written.
    bool exportPdf(const QString& path) const;

    // The chart's canvas: the frame's size in report units.
    static QSize chartCanvas();
    const QString& timeText() const { return timeText_; }
    const QString& dateText() const { return dateText_; }

  private:
    QPicture chartDrawing_;
    QDateTime preparedAt_;
    QString timeText_;
    QString dateText_;
};

// The preview window of a prepared report: titled "Preview", maximised, at 100 %, printing on
// `printer`, with an "Export to PDF" action beside the print action. `report` and `printer` must
// outlive it.
class ChartReportPreview final : public QPrintPreviewDialog {
    Q_OBJECT

  public:
    ChartReportPreview(const ChartReport& report, QPrinter* printer, QWidget* parent = nullptr);
    QAction* exportPdfAction() const { return exportPdfAction_; }

  private:
    QAction* exportPdfAction_;
};

// Asks for a PDF file (proposing Chart.pdf; an existing file is overwritten without asking),
// writes the report to it and opens it in the system's PDF viewer; a file that cannot be written
// is reported in a warning box.
void exportChartReportPdf(const ChartReport& report, QWidget* parent);

// Opens the exported file at `path` with `openInViewer` (the system's viewer by default); where
// nothing opens it, an information box tells the operator where the file was written.
using PdfOpener = std::function<bool(const QUrl&)>;
void showExportedPdf(const QString& path, QWidget* parent, const PdfOpener& openInViewer = {});

// Export Chart: prepares the report now and shows it in the modal preview until the operator
// closes it. Printing goes to the system's default printer.
void showChartReport(const TemperatureChart& chart, QWidget* parent);

}  // namespace lumas::ui
