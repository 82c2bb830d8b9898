// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The chart report: the PDF page as another reader sees it (poppler's pdfinfo and pdftotext),
// the document information added to QPdfWriter's output, the snapshot the report takes of the
// chart, the chart's gaps on the PDF page, the preview window, and the name and folder its PDF
// export proposes.

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QToolBar>

#include "core/document_folders.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "ui/chart_report.h"
#include "ui/chart_report_pdf.h"
#include "ui/chart_report_preview.h"
#include "ui/chart_widget.h"

using lumas::ui::ChartGeometry;
using lumas::ui::ChartReport;
using lumas::ui::ChartReportPreview;
using lumas::ui::PdfDocumentInfo;
using lumas::ui::TemperatureChart;
using Series = lumas::ui::TemperatureChart::Series;

namespace {

// Runs a poppler tool on `path`; fails the test when it is missing, reports an error or a
// damaged file.
QString popplerOutput(const QString& tool, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        qWarning("%s (poppler-utils) is needed for this test", qPrintable(tool));
        return {};
    }
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    const QByteArray errors = process.readAllStandardError();
    if (!errors.isEmpty()) {
        qWarning("%s: %s", qPrintable(tool), errors.constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfField(const QString& info, const QString& field) {
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    return line.match(info).captured(1).trimmed();
}

void fillProgramme(TemperatureChart& chart, int seconds) {
    for (int second = 0; second < seconds; ++second) {
        chart.append(Series::Measured, second / 60.0, 25.0 + 50.0 * std::sin(second / 5000.0));
    }
    const double steps[][2] = {{0, 0}, {0, 60}, {3000, 60}, {3000, 20}, {seconds / 60.0, 20}};
    for (const auto& step : steps) {
        chart.append(Series::Target, step[0], step[1]);
    }
}

// The printable area at 96 dots per inch, one dot per report unit, on yellow.
QImage pageImage(const ChartReport& report) {
    QImage image(1047, 718, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    QPainter painter(&image);
    report.paintPage(painter);
    return image;
}

double mmExact(double millimetres) {
    return millimetres * 96.0 / 25.4;
}

int mm(double millimetres) {
    return qRound(mmExact(millimetres));
}

// Whether a pixel of about `colour` lies within `radius` pixels of `centre`.
bool colourNear(const QImage& image, QPointF centre, const QColor& colour, int radius) {
    const QPoint middle = centre.toPoint();
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QColor pixel = image.pixelColor(middle + QPoint(dx, dy));
            if (std::abs(pixel.red() - colour.red()) <= 60 &&
                std::abs(pixel.green() - colour.green()) <= 60 &&
                std::abs(pixel.blue() - colour.blue()) <= 60) {
                return true;
            }
        }
    }
    return false;
}

bool anyDarkPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class ChartReportTest : public QObject {
    Q_OBJECT

  private slots:
    void pdfIsOneA4LandscapePageWithAuthorSubjectAndTheTexts_data();
    void pdfIsOneA4LandscapePageWithAuthorSubjectAndTheTexts();
    void documentInformationIsAnIncrementalUpdate();
    void pageHasTheOpaqueChartFrameAndTheTexts();
    void reportKeepsTheChartAsItWasWhenPrepared();
    void pdfPartsTheLineAtTheChartsGap();
    void previewIsMaximisedAtFullSizeWithPdfExport();
    void exportedPdfWithoutAViewerSaysWhereItWent();
    void exportProposesATimedNameAndRemembersTheFolderChosen();
};

void ChartReportTest::pdfIsOneA4LandscapePageWithAuthorSubjectAndTheTexts_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("timeTitle");  // the unit of the span: the target's 50 h, or 11.6 d
    QTest::newRow("empty chart") << 0 << QStringLiteral("Time [h]");
    QTest::newRow("a million points") << 1'000'000 << QStringLiteral("Time [d]");
}

void ChartReportTest::pdfIsOneA4LandscapePageWithAuthorSubjectAndTheTexts() {
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    QFETCH(int, points);
    TemperatureChart chart;
    chart.resize(900, 600);
    fillProgramme(chart, points);
    const QString path = directory.filePath(QStringLiteral("Chart.pdf"));
    QFile stale(path);  // an existing file is replaced
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(100'000, 'x'));
    stale.close();

    QElapsedTimer timer;
    timer.start();
    const ChartReport report(chart, QDateTime(QDate(2024, 3, 5), QTime(14, 3, 27)),
                             QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(report.exportPdf(path));
    const qint64 elapsedMs = timer.elapsed();
    qInfo("report of %d points prepared and written in %lld ms, %lld bytes", points, elapsedMs,
          QFileInfo(path).size());
    QVERIFY(elapsedMs < 10000);

    QCOMPARE(ChartReport::chartCanvas(), QSize(1002, 567));
    const QString info = popplerOutput(QStringLiteral("pdfinfo"), {path});
    QVERIFY(!info.isEmpty());
    QCOMPARE(pdfField(info, QStringLiteral("Author")), QStringLiteral("Brandel GmbH"));
    QCOMPARE(pdfField(info, QStringLiteral("Subject")), QStringLiteral("Chart"));
    QCOMPARE(pdfField(info, QStringLiteral("Pages")), QStringLiteral("1"));
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral(R"(^([\d.]+) x ([\d.]+) pts \(A4\))"))
            .match(pdfField(info, QStringLiteral("Page size")));
    QVERIFY2(size.hasMatch(), qPrintable(info));
    QVERIFY(std::abs(size.captured(1).toDouble() - 841.89) < 0.6);  // landscape: wide
    QVERIFY(std::abs(size.captured(2).toDouble() - 595.28) < 0.6);

    // The chart is vector drawing, so its texts are text in the PDF.
    QFETCH(QString, timeTitle);
    const QString text =
        popplerOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, "-"});
    QCOMPARE(report.timeText(), QStringLiteral("14:03:27"));
    QCOMPARE(report.dateText(), QStringLiteral("05.03.24"));
    for (const QString& expected :
         {report.timeText(), report.dateText(), QStringLiteral("Current Temp."),
          QStringLiteral("Target Temp."), timeTitle}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" in\n") + text));
    }
    QVERIFY(QRegularExpression(QStringLiteral(R"(\n\s+1\s*\f?$)")).match(text).hasMatch());
}

void ChartReportTest::documentInformationIsAnIncrementalUpdate() {
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("plain.pdf"));
    {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("page"));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();

    PdfDocumentInfo info;
    info.title = QStringLiteral("Prüfkammer (Lauf 3)");
    info.author = QStringLiteral("Brandel (GmbH) \\ Labor");
    info.subject = QStringLiteral("Chart");
    QVERIFY(lumas::ui::appendPdfDocumentInfo(path, info));

    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith(written));  // the first revision is untouched
    file.close();
    const QString shown = popplerOutput(QStringLiteral("pdfinfo"), {path});
    QCOMPARE(pdfField(shown, QStringLiteral("Title")), info.title);
    QCOMPARE(pdfField(shown, QStringLiteral("Author")), info.author);
    QCOMPARE(pdfField(shown, QStringLiteral("Subject")), info.subject);
    QCOMPARE(pdfField(shown, QStringLiteral("Pages")), QStringLiteral("1"));
    QCOMPARE(popplerOutput(QStringLiteral("pdftotext"), {path, "-"}).trimmed(),
             QStringLiteral("page"));

    // A file that is not a PDF is left alone.
    const QString other = directory.filePath(QStringLiteral("other.pdf"));
    QFile notPdf(other);
    const QByteArray notPdfBytes("trailer << /Size 3 /Root 1 0 R >> startxref 9");
    QVERIFY(notPdf.open(QIODevice::WriteOnly));
    notPdf.write(notPdfBytes);
    notPdf.close();
    QVERIFY(!lumas::ui::appendPdfDocumentInfo(other, info));
    QCOMPARE(QFileInfo(other).size(), notPdfBytes.size());
    QVERIFY(!lumas::ui::appendPdfDocumentInfo(directory.filePath("missing.pdf"), info));
}

void ChartReportTest::pageHasTheOpaqueChartFrameAndTheTexts() {
    TemperatureChart chart;
    const QImage page = pageImage(ChartReport(chart));
    const QRgb yellow = QColor(Qt::yellow).rgb();
    const QRgb white = QColor(Qt::white).rgb();
    // The frame: 5 mm from the left, 20 mm from the top, 265 × 150 mm.
    QCOMPARE(page.pixel(mm(5) + 1, mm(20) + 1), white);
    QCOMPARE(page.pixel(mm(270) - 2, mm(170) - 2), white);
    QCOMPARE(page.pixel(mm(5) - 2, mm(20) + 1), yellow);
    QCOMPARE(page.pixel(mm(5) + 1, mm(20) - 2), yellow);
    QCOMPARE(page.pixel(mm(270) + 1, mm(170) - 2), yellow);
    QCOMPARE(page.pixel(mm(270) - 2, mm(170) + 1), yellow);
    // Time and date in the title band, the page number at the right of the footer band.
    QVERIFY(anyDarkPixel(page, QRect(mm(5), mm(2), mm(16), mm(6))));
    QVERIFY(anyDarkPixel(page, QRect(mm(27), mm(2), mm(19), mm(6))));
    QVERIFY(!anyDarkPixel(page, QRect(mm(60), 0, mm(200), mm(18))));
    QVERIFY(anyDarkPixel(page, QRect(mm(264), mm(184), mm(10), mm(5))));
    QVERIFY(!anyDarkPixel(page, QRect(0, mm(172), mm(250), mm(18))));
}

void ChartReportTest::reportKeepsTheChartAsItWasWhenPrepared() {
    TemperatureChart chart;
    fillProgramme(chart, 20'000);
    const QDateTime now = QDateTime::currentDateTime();
    const ChartReport first(chart, now);
    const QImage firstPage = pageImage(first);

    chart.clear(Series::Measured);
    const ChartReport second(chart, now);

    QCOMPARE(pageImage(first), firstPage);
    QVERIFY(pageImage(second) != firstPage);
}

void ChartReportTest::pdfPartsTheLineAtTheChartsGap() {
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    TemperatureChart chart;
    chart.resize(ChartReport::chartCanvas());  // laid out as on the page
    for (int second = 0; second <= 600; ++second) {
        if (second == 241) {
            chart.appendGap(Series::Measured);  // no readings from 4 to 6 minutes
            second = 360;
        }
        chart.append(Series::Measured, second / 60.0, 25.0);
    }
    const QString pdf = directory.filePath(QStringLiteral("Chart.pdf"));
    QVERIFY(ChartReport(chart).exportPdf(pdf));
    // Drawn as another reader draws it; no picture when that fails.
    popplerOutput(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                   QStringLiteral("-singlefile"), pdf, directory.filePath(QStringLiteral("page"))});
    const QImage page(directory.filePath(QStringLiteral("page.png")));
    QVERIFY(!page.isNull());

    // The page's printable area starts at the 10 mm margin; the chart frame lies in it.
    const ChartGeometry geometry = chart.geometryInWidget();
    const QSize canvas = ChartReport::chartCanvas();
    const auto onPage = [&](double minutes) {
        const QPointF point = geometry.toPixel(minutes, 25.0);
        return QPointF(mmExact(15.0) + point.x() * mmExact(265.0) / canvas.width(),
                       mmExact(30.0) + point.y() * mmExact(150.0) / canvas.height());
    };
    const QColor red(233, 6, 1);
    QVERIFY(colourNear(page, onPage(2.0), red, 2));
    QVERIFY(colourNear(page, onPage(8.0), red, 2));
    QVERIFY(!colourNear(page, onPage(5.0), red, 3));
}

void ChartReportTest::previewIsMaximisedAtFullSizeWithPdfExport() {
    TemperatureChart chart;
    fillProgramme(chart, 1000);
    const ChartReport report(chart);
    QPrinter printer;
    ChartReport::setUpPage(printer);
    ChartReportPreview preview(report, &printer);
    preview.open();
    auto* pages = preview.findChild<QPrintPreviewWidget*>();
    QVERIFY(pages != nullptr);

    QCOMPARE(preview.windowTitle(), QStringLiteral("Preview"));
    QVERIFY(preview.isModal());
    QVERIFY(preview.windowState() & Qt::WindowMaximized);
    QTRY_COMPARE(pages->pageCount(), 1);
    QCOMPARE(pages->zoomFactor(), 1.0);
    QStringList fitting;
    for (QAction* action : preview.findChildren<QAction*>()) {
        if (action->text().startsWith(QStringLiteral("Fit"))) {
            fitting << action->text();
            QVERIFY2(!action->isChecked(),
                     qPrintable(action->text() + QStringLiteral(" is pressed at 100 %")));
        }
    }
    QCOMPARE(fitting.size(), 2);  // "Fit width" and "Fit page"
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
    QVERIFY(preview.findChild<QToolBar*>()->actions().contains(preview.exportPdfAction()));
    preview.reject();
}

void ChartReportTest::exportedPdfWithoutAViewerSaysWhereItWent() {
    const QString path = QStringLiteral("/tmp/reports/Chart.pdf");
    for (const bool viewerFound : {true, false}) {
        QUrl asked;
        QString told;
        lumas::test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
            told = box.text();
            box.accept();
        });
        lumas::ui::showExportedPdf(path, nullptr, [&](const QUrl& url) {
            asked = url;
            return viewerFound;
        });
        QCOMPARE(asked, QUrl::fromLocalFile(path));
        QCOMPARE(watch.seen(), !viewerFound);
        QCOMPARE(told, viewerFound
                           ? QString()
                           : QStringLiteral("The report was saved as /tmp/reports/Chart.pdf. "
                                            "No program to show PDF files was found."));
    }
}

void ChartReportTest::exportProposesATimedNameAndRemembersTheFolderChosen() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    const QString settings = home.filePath(QStringLiteral(".config/Lumas/Settings.ini"));
    const QString documents = home.filePath(QStringLiteral("Documents/Lumas"));
    const QString chosen = home.filePath(QStringLiteral("lab reports"));
    QVERIFY(QDir().mkpath(chosen));

    TemperatureChart chart;
    fillProgramme(chart, 100);
    lumas::RunRecord run;
    run.run.id = 12;
    run.run.started = QDateTime(QDate(2026, 12, 11), QTime(8, 30), QTimeZone::utc());
    run.run.utcOffsetSeconds = 3600;

    struct Step {
        const char* what;
        std::optional<lumas::RunRecord> record;
        QString folder;  // where the dialog starts
        QString name;    // the name proposed; empty for the chart's, at the time of the export
        QString saveAs;  // the file the operator saves as; empty to cancel
    };
    const std::vector<Step> steps = {
        {"live chart, nothing remembered",
         std::nullopt,
         documents,
         {},
         chosen + QStringLiteral("/mine.pdf")},
        {"a run's report, in the folder chosen before",
         run,
         chosen,
         QStringLiteral("Lumas run 12 2026-12-11 09-30.pdf"),
         {}},
        {"the folder chosen is gone", std::nullopt, documents, {}, {}},
    };
    for (const Step& step : steps) {
        if (step.folder == documents && step.saveAs.isEmpty()) {
            QVERIFY(QDir(chosen).removeRecursively());
        }
        const ChartReport report(chart, QDateTime::currentDateTime(), QLocale(), step.record);
        QPrinter printer;
        ChartReport::setUpPage(printer);
        ChartReportPreview preview(report, &printer, nullptr, settings);
        QList<QUrl> viewed;
        preview.openPdf = [&](const QUrl& url) {
            viewed << url;
            return true;
        };
        QString folderShown;
        QString nameShown;
        lumas::test::ModalWatch<QFileDialog> watch([&](QFileDialog& dialog) {
            folderShown = dialog.directory().absolutePath();
            nameShown = QFileInfo(dialog.selectedFiles().value(0)).fileName();
            lumas::test::saveScreenshot(dialog, step.record ? QStringLiteral("export_pdf_run")
                                                            : QStringLiteral("export_pdf_chart"));
            if (step.saveAs.isEmpty()) {
                dialog.reject();
            } else {
                // Typed into the name field, as the operator does.
                dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(step.saveAs);
                static_cast<QDialog&>(dialog).accept();  // as Save does
            }
        });
        const QString before = lumas::chartDocumentName(QDateTime::currentDateTime()) + ".pdf";
        preview.exportPdfAction()->trigger();
        const QString after = lumas::chartDocumentName(QDateTime::currentDateTime()) + ".pdf";
        QVERIFY2(watch.seen(), step.what);
        QCOMPARE(folderShown, step.folder);
        if (step.name.isEmpty()) {
            QVERIFY2(nameShown == before || nameShown == after, qPrintable(nameShown));
        } else {
            QCOMPARE(nameShown, step.name);
        }
        if (step.saveAs.isEmpty()) {
            QVERIFY(viewed.isEmpty());
        } else {
            QVERIFY(QFileInfo(step.saveAs).size() > 0);
            QCOMPARE(viewed, QList<QUrl>{QUrl::fromLocalFile(step.saveAs)});
        }
    }
    QVERIFY(QFileInfo(documents).isDir());
}

QTEST_MAIN(ChartReportTest)
#include "chart_report_test.moc"
