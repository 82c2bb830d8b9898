// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_report_preview.h"

#include <QAction>
#include <QActionGroup>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>

#include <utility>

#include "ui/chart_widget.h"

namespace lumas::ui {

ChartReportPreview::ChartReportPreview(const ChartReport& report, QPrinter* printer,
                                       QWidget* parent, QString settingsPath)
    : QPrintPreviewDialog(printer, parent),
      report_(report),
      settingsPath_(std::move(settingsPath)),
      exportPdfAction_(new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                   QStringLiteral("Export to PDF"), this)) {
    setWindowTitle(QStringLiteral("Preview"));
    setWindowState(Qt::WindowMaximized);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [&report](QPrinter* target) {
        QPainter painter(target);
        report.paintPages(painter, *target);
    });
    connect(exportPdfAction_, &QAction::triggered, this, [this] {
        // The live chart is named by the time it is exported, a recorded run by its start.
        const QString name = report_.record() ? runDocumentName(report_.record()->run)
                                              : chartDocumentName(QDateTime::currentDateTime());
        exportChartReportPdf(report_, this, settingsPath_, name, openPdf);
    });
    if (auto* toolBar = findChild<QToolBar*>()) {
        toolBar->addAction(exportPdfAction_);
    } else {
        addAction(exportPdfAction_);
    }
    if (auto* pages = findChild<QPrintPreviewWidget*>()) {
        pages->setZoomMode(QPrintPreviewWidget::CustomZoom);
        pages->setZoomFactor(1.0);
    }
    // The toolbar's fitting buttons follow the zoom: at 100 % neither is pressed. They form an
    // exclusive group, which would keep one pressed.
    for (QAction* action : findChildren<QAction*>()) {
        const QString text = action->text();
        if (action->isCheckable() &&
            (text == QStringLiteral("Fit page") || text == QStringLiteral("Fit width"))) {
            if (QActionGroup* group = action->actionGroup()) {
                group->setExclusive(false);
            }
            action->setChecked(false);
        }
    }
}

std::optional<ChosenFile> askSaveFile(QWidget* parent, const QString& settingsPath,
                                      const SaveDialogSetup& setup) {
    QFileDialog dialog(parent, setup.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(setup.nameFilters);
    dialog.setDefaultSuffix(setup.suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
    dialog.setDirectory(documentFolder(settingsPath, setup.folder));
    dialog.selectFile(setup.name + QLatin1Char('.') + setup.suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ChosenFile{dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

void exportChartReportPdf(const ChartReport& report, QWidget* parent, const QString& settingsPath,
                          const QString& name, const PdfOpener& openInViewer) {
    const std::optional<ChosenFile> chosen =
        askSaveFile(parent, settingsPath,
                    {.title = QStringLiteral("Export to PDF"),
                     .nameFilters = {QStringLiteral("PDF file (*.pdf)")},
                     .suffix = QStringLiteral("pdf"),
                     .folder = DocumentFolder::Reports,
                     .name = name,
                     .confirmOverwrite = false});
    if (!chosen) {
        return;
    }
    if (!report.exportPdf(chosen->path)) {
        QMessageBox::warning(parent, QStringLiteral("Export to PDF"),
                             QStringLiteral("The file %1 could not be written.").arg(chosen->path));
        return;
    }
    // Only a folder that took the file is remembered. Failing to remember it costs the operator
    // nothing but the way there next time, so it is not reported.
    rememberDocumentFolder(settingsPath, DocumentFolder::Reports,
                           QFileInfo(chosen->path).absolutePath());
    showExportedPdf(chosen->path, parent, openInViewer);
}

void showExportedPdf(const QString& path, QWidget* parent, const PdfOpener& openInViewer) {
    const QUrl file = QUrl::fromLocalFile(path);
    const bool opened = openInViewer ? openInViewer(file) : QDesktopServices::openUrl(file);
    if (!opened) {
        QMessageBox::information(
            parent, QStringLiteral("Export to PDF"),
            QStringLiteral("The report was saved as %1. No program to show PDF files was found.")
                .arg(QDir::toNativeSeparators(path)));
    }
}

void showChartReport(const TemperatureChart& chart, QWidget* parent,
                     std::optional<RunRecord> record, const QString& settingsPath) {
    const ChartReport report(chart, QDateTime::currentDateTime(), QLocale(), std::move(record));
    QPrinter printer;  // the system's default printer
    ChartReport::setUpPage(printer);
    ChartReportPreview preview(report, &printer, parent, settingsPath);
    preview.exec();
}

}  // namespace lumas::ui
