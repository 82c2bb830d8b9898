#include "ui/chart_report_preview.h"

#include <QAction>
#include <QActionGroup>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>

#include "ui/chart_widget.h"

namespace lumas::ui {

ChartReportPreview::ChartReportPreview(const ChartReport& report, QPrinter* printer,
                                       QWidget* parent)
    : QPrintPreviewDialog(printer, parent),
      report_(report),
      exportPdfAction_(new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                   QStringLiteral("Export to PDF"), this)) {
    setWindowTitle(QStringLiteral("Preview"));
    setWindowState(Qt::WindowMaximized);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [&report](QPrinter* target) {
        QPainter painter(target);
        report.paintPages(painter, *target);
    });
    const QString fileName = report.record() ? QStringLiteral("Run %1").arg(report.record()->run.id)
                                             : ChartReport::kDefaultPdfName;
    connect(exportPdfAction_, &QAction::triggered, this,
            [this, &report, fileName] { exportChartReportPdf(report, this, fileName); });
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

void exportChartReportPdf(const ChartReport& report, QWidget* parent, const QString& fileName) {
    QFileDialog dialog(parent, QStringLiteral("Export to PDF"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF file (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(fileName + QStringLiteral(".pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    if (!report.exportPdf(path)) {
        QMessageBox::warning(parent, QStringLiteral("Export to PDF"),
                             QStringLiteral("The file %1 could not be written.").arg(path));
        return;
    }
    showExportedPdf(path, parent);
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
                     std::optional<RunRecord> record) {
    const ChartReport report(chart, QDateTime::currentDateTime(), QLocale(), std::move(record));
    QPrinter printer;  // the system's default printer
    ChartReport::setUpPage(printer);
    ChartReportPreview preview(report, &printer, parent);
    preview.exec();
}

}  // namespace lumas::ui
