#pragma once

#include <QPrintPreviewDialog>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

#include "core/run_archive.h"
#include "ui/chart_report.h"

class QAction;
class QPrinter;
class QWidget;

namespace lumas::ui {

class TemperatureChart;

// The preview window of a prepared report: titled "Preview", maximised, at 100 %, printing on
// `printer`, with an "Export to PDF" action beside the print action. `report` and `printer` must
// outlive it.
class ChartReportPreview final : public QPrintPreviewDialog {
    Q_OBJECT

  public:
    ChartReportPreview(const ChartReport& report, QPrinter* printer, QWidget* parent = nullptr);
    QAction* exportPdfAction() const { return exportPdfAction_; }
    const ChartReport& report() const { return report_; }

  private:
    const ChartReport& report_;
    QAction* exportPdfAction_;
};

// Asks for a PDF file (proposing `fileName`.pdf, Chart.pdf by default; an existing file is
// overwritten without asking), writes the report to it and opens it in the system's PDF viewer; a
// file that cannot be written is reported in a warning box.
void exportChartReportPdf(const ChartReport& report, QWidget* parent,
                          const QString& fileName = ChartReport::kDefaultPdfName);

// Opens the exported file at `path` with `openInViewer` (the system's viewer by default); where
// nothing opens it, an information box tells the operator where the file was written.
using PdfOpener = std::function<bool(const QUrl&)>;
void showExportedPdf(const QString& path, QWidget* parent, const PdfOpener& openInViewer = {});

// Export Chart: prepares the report now, with the run's record when there is one, and shows it
// in the modal preview until the operator closes it. Printing goes to the system's default
// printer.
void showChartReport(const TemperatureChart& chart, QWidget* parent,
                     std::optional<RunRecord> record = std::nullopt);

}  // namespace lumas::ui
