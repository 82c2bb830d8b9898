#include "ui/chart_report.h"

#include <QAction>
#include <QActionGroup>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "ui/chart_report_pdf.h"
#include "ui/chart_widget.h"

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

}  // namespace

const QRectF ChartReport::kChartFrameMm(5.0, 20.0, 265.0, 150.0);
const QString ChartReport::kDefaultPdfName = QStringLiteral("Chart");
const QString ChartReport::kPdfAuthor = QStringLiteral("Brandel GmbH");
const QString ChartReport::kPdfSubject = QStringLiteral("Chart");

ChartReport::ChartReport(const TemperatureChart& chart, const QDateTime& preparedAt,
                         const QLocale& locale)
    : preparedAt_(preparedAt),
      timeText_(timeOfDayText(preparedAt.time(), locale)),
      dateText_(locale.toString(preparedAt.date(), QLocale::ShortFormat)) {
    QPainter painter(&chartDrawing_);
    chart.drawChart(painter, QRectF(QPointF(0.0, 0.0), chartCanvas()));
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

void ChartReport::paintPage(QPainter& painter) const {
    painter.save();
    const double devicePerUnit = painter.device()->logicalDpiX() / kUnitsPerInch;
    painter.scale(devicePerUnit, devicePerUnit);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kTextPixels);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(unitsRect(kTimeBoxMm), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     timeText_);
    painter.drawText(unitsRect(kDateBoxMm), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     dateText_);
    // The report is bound to no data, so it always has exactly one page.
    painter.drawText(unitsRect(kPageNumberBoxMm), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip,
                     QStringLiteral("1"));

    const QRectF frame = unitsRect(kChartFrameMm);
    const QSize canvas = chartCanvas();
    painter.translate(frame.topLeft());
    painter.scale(frame.width() / canvas.width(), frame.height() / canvas.height());
    // A picture plays back scaled from its own resolution to the device's; the scale to report
    // units above already covers that.
    const double playbackScale =
        static_cast<double>(chartDrawing_.logicalDpiX()) / painter.device()->logicalDpiX();
    painter.scale(playbackScale, playbackScale);
    painter.drawPicture(0, 0, chartDrawing_);
    painter.restore();
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
        paintPage(painter);
        if (!painter.end()) {
            return false;
        }
    }
    PdfDocumentInfo info;
    info.author = kPdfAuthor;
    info.subject = kPdfSubject;
    info.creator = kCreator;
    info.producer = QStringLiteral("Qt ") + QString::fromLatin1(qVersion());
    info.created = QDateTime::currentDateTime();
    return appendPdfDocumentInfo(path, info);
}

ChartReportPreview::ChartReportPreview(const ChartReport& report, QPrinter* printer,
                                       QWidget* parent)
    : QPrintPreviewDialog(printer, parent),
      exportPdfAction_(new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                   QStringLiteral("Export to PDF"), this)) {
    setWindowTitle(QStringLiteral("Preview"));
    setWindowState(Qt::WindowMaximized);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [&report](QPrinter* target) {
        QPainter painter(target);
        report.paintPage(painter);
    });
    connect(exportPdfAction_, &QAction::triggered, this,
            [this, &report] { exportChartReportPdf(report, this); });
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

void exportChartReportPdf(const ChartReport& report, QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Export to PDF"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF file (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(ChartReport::kDefaultPdfName + QStringLiteral(".pdf"));
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

void showChartReport(const TemperatureChart& chart, QWidget* parent) {
    const ChartReport report(chart);
    QPrinter printer;  // the system's default printer
    ChartReport::setUpPage(printer);
    ChartReportPreview preview(report, &printer, parent);
    preview.exec();
}

}  // namespace lumas::ui
