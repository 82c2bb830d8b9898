// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QPrintPreviewDialog>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

#include "core/document_folders.h"
#include "core/run_archive.h"
#include "core/settings_store.h"
#include "ui/chart_report.h"

class QAction;
class QPrinter;
class QWidget;

namespace lumas::ui {

class TemperatureChart;

// Opens the exported file at `path` with `openInViewer` (the system's viewer by default); where
// nothing opens it, an information box tells the operator where the file was written.
using PdfOpener = std::function<bool(const QUrl&)>;
void showExportedPdf(const QString& path, QWidget* parent, const PdfOpener& openInViewer = {});

// The preview window of a prepared report: titled "Preview", maximised, at 100 %, printing on
// `printer`, with an "Export to PDF" action beside the print action. The export proposes
// runDocumentName for a run's report and chartDocumentName at the time of the export otherwise,
// in the reports folder of the settings file at `settingsPath`. `report` and `printer` must
// outlive it.
class ChartReportPreview final : public QPrintPreviewDialog {
    Q_OBJECT

  public:
    ChartReportPreview(const ChartReport& report, QPrinter* printer, QWidget* parent = nullptr,
                       QString settingsPath = settingsFile());
    QAction* exportPdfAction() const { return exportPdfAction_; }
    const ChartReport& report() const { return report_; }
    const QString& settingsPath() const { return settingsPath_; }

    // Shows the exported file; the system's PDF viewer unless replaced.
    PdfOpener openPdf;

  private:
    const ChartReport& report_;
    QString settingsPath_;
    QAction* exportPdfAction_;
};

// What a save dialog asks for: its title, the types of file offered (the first one proposed), the
// suffix added to a name without one, the folder it starts in and the name it proposes (without
// the suffix), and whether replacing an existing file is confirmed first.
struct SaveDialogSetup {
    QString title;
    QStringList nameFilters;
    QString suffix;
    DocumentFolder folder = DocumentFolder::Reports;
    QString name;
    bool confirmOverwrite = true;
};

// The file the operator chose, with the type of file chosen.
struct ChosenFile {
    QString path;
    QString nameFilter;
};

// Shows the save dialog `setup` describes, starting in documentFolder(settingsPath, folder);
// nothing when the operator cancels. The caller remembers the folder once the file is written.
std::optional<ChosenFile> askSaveFile(QWidget* parent, const QString& settingsPath,
                                      const SaveDialogSetup& setup);

// Asks for a PDF file in the reports folder (proposing `name`.pdf; an existing file is overwritten
// without asking), writes the report to it, remembers its folder and opens it with
// `openInViewer`; a file that cannot be written is reported in a warning box.
void exportChartReportPdf(const ChartReport& report, QWidget* parent, const QString& settingsPath,
                          const QString& name, const PdfOpener& openInViewer = {});

// Export Chart: prepares the report now, with the run's record when there is one, and shows it
// in the modal preview until the operator closes it. Printing goes to the system's default
// printer; the export's folder is kept in the settings file at `settingsPath`.
void showChartReport(const TemperatureChart& chart, QWidget* parent,
                     std::optional<RunRecord> record, const QString& settingsPath);

}  // namespace lumas::ui
