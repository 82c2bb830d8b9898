// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The CSV export dialog: its face and place, the stored settings it shows, the interval advice,
// the folder picker, and what OK, Cancel, the close box and Esc store and put into effect. HOME is
// a folder of the test's own, so the documents folder proposed is made there.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "core/settings_store.h"
#include "core/shared_state.h"
#include "dialog_support/dialog_checks.h"
#include "dialog_support/modal_watch.h"
#include "ui/csv_export_dialog.h"
#include "ui/numeric_fields.h"
#include "ui/widget_ports.h"

namespace lumas::ui {

class CsvExportDialogTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    QString settingsPath() const { return settingsDir->filePath("Settings.ini"); }
    QString documents() const { return home.filePath(QStringLiteral("Documents/Lumas")); }
    std::unique_ptr<CsvExportDialog> makeDialog(QWidget* owner = nullptr) {
        return std::make_unique<CsvExportDialog>(owner, settingsPath(), settings, timerCsv,
                                                 &messages);
    }
    template <typename W>
    static W* child(QDialog& dialog, const char* name) {
        return dialog.findChild<W*>(QString::fromLatin1(name));
    }

    QTemporaryDir home;
    std::unique_ptr<QTemporaryDir> settingsDir;
    TCSVExport settings;
    QTimer csvTimer;
    TimerSwitch timerCsv{&csvTimer};
    test::RecordedMessages messages;

  private slots:
    void initTestCase();
    void init();
    void firstOpeningShowsTheDefaultsDisabled();
    void showsTheStoredSettingsEnabled();
    void leavingTheIntervalAdvisesOutsideFiveToThreeHundredSixty_data();
    void leavingTheIntervalAdvisesOutsideFiveToThreeHundredSixty();
    void okStoresAndAppliesTheSettings_data();
    void okStoresAndAppliesTheSettings();
    void okWithLoggingOnNeedsAnExistingFolder();
    void cancelAndTheCloseBoxChangeNothingAndEscIsIgnored();
    void folderPickerFillsTheFolderField();
    void proposedDocumentsFolderIsMadeOnlyWhenOkTakesIt();
};

void CsvExportDialogTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toLocal8Bit());
}

void CsvExportDialogTest::init() {
    settingsDir = std::make_unique<QTemporaryDir>();
    settings = TCSVExport{};
    csvTimer.setInterval(30000);
    messages.shown.clear();
}

void CsvExportDialogTest::firstOpeningShowsTheDefaultsDisabled() {
    QWidget mainWindow;
    mainWindow.move(100, 50);
    auto dialog = makeDialog(&mainWindow);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    QCOMPARE(dialog->windowTitle(), QStringLiteral("CSV Export"));
    QCOMPARE(dialog->size(), QSize(468, 138));
    QVERIFY(test::fixedWithCloseBoxOnly(*dialog));
    QCOMPARE(dialog->font().pixelSize(), 11);
    QCOMPARE(dialog->pos(), QPoint(500, 300));

    auto* enable = child<QCheckBox>(*dialog, "chkEnableCSV");
    auto* interval = child<WholeNumberField>(*dialog, "advInterval");
    auto* folder = child<QLineEdit>(*dialog, "advFolder");
    QCOMPARE(enable->text(), QStringLiteral("Enable CSV Export"));
    QVERIFY(!enable->isChecked());
    QCOMPARE(enable->layoutDirection(), Qt::RightToLeft);  // caption left of the box
    QVERIFY(!(enable->focusPolicy() & Qt::TabFocus));
    QCOMPARE(interval->text(), QStringLiteral("30"));
    QCOMPARE(folder->text(), QDir::toNativeSeparators(documents()));  // nothing stored yet
    QCOMPARE(folder->placeholderText(), QStringLiteral("Select folder"));
    QCOMPARE(folder->width(), 273);
    QVERIFY(folder->textMargins().left() > 0);  // a blank before the path
    QCOMPARE(child<QToolButton>(*dialog, "advFolderButton")->text(), QStringLiteral("..."));
    for (const QWidget* control :
         {static_cast<QWidget*>(interval), static_cast<QWidget*>(folder),
          static_cast<QWidget*>(child<QGroupBox>(*dialog, "fieldsGroup")),
          static_cast<QWidget*>(child<QLabel>(*dialog, "Label1")),
          static_cast<QWidget*>(child<QToolButton>(*dialog, "advFolderButton"))}) {
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    }
    QCOMPARE(child<QLabel>(*dialog, "Label1")->text(), QStringLiteral("Interval:"));
    QCOMPARE(child<QLabel>(*dialog, "advIntervalUnit")->text(), QStringLiteral(" sec"));
    QCOMPARE(child<QLabel>(*dialog, "folderLabel")->text(), QStringLiteral("Folder:"));
    QVERIFY(child<QGroupBox>(*dialog, "fieldsGroup")->title().isEmpty());
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        QVERIFY2(test::onScreen(*label, *dialog), qPrintable(label->text()));
    }
    auto* ok = child<QPushButton>(*dialog, "bOK");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(child<QPushButton>(*dialog, "bCancel")->text(), QStringLiteral("Cancel"));
    QVERIFY(!test::saveScreenshot(*dialog, "csv_export_dialog").isEmpty());

    enable->click();
    QVERIFY(interval->isEnabled() && folder->isEnabled());
    QVERIFY(child<QToolButton>(*dialog, "advFolderButton")->isEnabled());
    QVERIFY(!test::saveScreenshot(*dialog, "csv_export_dialog_enabled").isEmpty());
    enable->click();
    QVERIFY(!interval->isEnabled() && !folder->isEnabled());
}

void CsvExportDialogTest::showsTheStoredSettingsEnabled() {
    QVERIFY(writeCsvSettings(settingsPath(), {true, 45, settingsDir->path()}).saved);
    auto dialog = makeDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    auto* folder = child<QLineEdit>(*dialog, "advFolder");
    QVERIFY(child<QCheckBox>(*dialog, "chkEnableCSV")->isChecked());
    QCOMPARE(child<WholeNumberField>(*dialog, "advInterval")->text(), QStringLiteral("45"));
    QCOMPARE(folder->text(), settingsDir->path());
    QVERIFY(folder->isEnabled());
    QCOMPARE(QApplication::focusWidget(), folder);
    QVERIFY2(settings.FolderPath.isEmpty(), "showing puts nothing into effect");
}

void CsvExportDialogTest::leavingTheIntervalAdvisesOutsideFiveToThreeHundredSixty_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("advised");
    QTest::addColumn<QString>("kept");
    QTest::newRow("4") << "4" << true << "4";
    QTest::newRow("5") << "5" << false << "5";
    QTest::newRow("360") << "360" << false << "360";
    QTest::newRow("361") << "361" << true << "361";
    QTest::newRow("0") << "0" << true << "0";
    QTest::newRow("empty") << "" << true << "0";
}

void CsvExportDialogTest::leavingTheIntervalAdvisesOutsideFiveToThreeHundredSixty() {
    QFETCH(QString, typed);
    QFETCH(bool, advised);
    QFETCH(QString, kept);
    QVERIFY(writeCsvSettings(settingsPath(), {true, 30, settingsDir->path()}).saved);
    auto dialog = makeDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    auto* interval = child<WholeNumberField>(*dialog, "advInterval");
    interval->setFocus(Qt::MouseFocusReason);
    interval->clear();
    QTest::keyClicks(interval, typed);
    QTest::keyClick(interval, Qt::Key_Tab);  // leaves the field

    QCOMPARE(interval->text(), kept);
    const std::vector<test::RecordedMessages::Shown> advice = {
        {"information", QStringLiteral("Recommended interval range is 5 - 360 sec")}};
    QCOMPARE(messages.shown, advised ? advice : std::vector<test::RecordedMessages::Shown>{});
    QVERIFY(dialog->isVisible());
}

void CsvExportDialogTest::okStoresAndAppliesTheSettings_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<int>("timerMs");
    QTest::newRow("on, 400 s") << true << "400" << true << 400000;
    QTest::newRow("on, 0 s") << true << "0" << true << 0;
    QTest::newRow("off, missing folder") << false << "12" << false << 12000;
}

void CsvExportDialogTest::okStoresAndAppliesTheSettings() {
    QFETCH(bool, enabled);
    QFETCH(QString, interval);
    QFETCH(bool, folderExists);
    QFETCH(int, timerMs);
    const QString folder =
        folderExists ? settingsDir->path() : settingsDir->filePath("no/such/folder");
    auto dialog = makeDialog();
    test::ModalWatch<CsvExportDialog> watch([&](CsvExportDialog& shown) {
        if (enabled) {
            child<QCheckBox>(shown, "chkEnableCSV")->click();
        }
        auto* intervalField = child<WholeNumberField>(shown, "advInterval");
        if (enabled) {
            intervalField->setFocus(Qt::MouseFocusReason);
            QCOMPARE(QApplication::focusWidget(), intervalField);
        }
        intervalField->setText(interval);
        child<QLineEdit>(shown, "advFolder")->setText(folder);
        // Enter in a field presses OK, without the field being left first.
        QTest::keyClick(enabled ? static_cast<QWidget*>(intervalField) : &shown, Qt::Key_Return);
    });
    QCOMPARE(dialog->exec(), int(QDialog::Accepted));
    QVERIFY(watch.seen());
    QVERIFY(messages.shown.empty());

    const CsvLogSettings stored = readCsvSettings(settingsPath());
    QCOMPARE(stored.enabled, enabled);
    QCOMPARE(stored.interval, interval.toInt());
    QCOMPARE(stored.folderPath, folder);
    QCOMPARE(settings.Enabled, enabled);
    QCOMPARE(settings.ExportInterval, interval.toInt());
    QCOMPARE(settings.FolderPath, folder);
    QCOMPARE(csvTimer.interval(), timerMs);
    QVERIFY2(!csvTimer.isActive(), "the dialog does not start the log timer");
}

void CsvExportDialogTest::okWithLoggingOnNeedsAnExistingFolder() {
    auto dialog = makeDialog();
    dialog->show();
    child<QCheckBox>(*dialog, "chkEnableCSV")->click();
    auto* folder = child<QLineEdit>(*dialog, "advFolder");
    for (const QString& path : {QString(), settingsDir->filePath("missing")}) {
        messages.shown.clear();
        folder->setText(path);
        QTest::mouseClick(child<QPushButton>(*dialog, "bOK"), Qt::LeftButton);
        QCOMPARE(messages.shown,
                 (std::vector<test::RecordedMessages::Shown>{
                     {"warning",
                      QStringLiteral("Please select the valid directory for the output file.")}}));
        QVERIFY(dialog->isVisible());
    }
    QVERIFY(!QFile::exists(settingsPath()));
    QVERIFY(!settings.Enabled);
    QCOMPARE(csvTimer.interval(), 30000);
}

void CsvExportDialogTest::cancelAndTheCloseBoxChangeNothingAndEscIsIgnored() {
    QVERIFY(writeCsvSettings(settingsPath(), {false, 30, QString()}).saved);
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    for (const QString way : {"Cancel", "close box"}) {
        auto dialog = makeDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        child<QCheckBox>(*dialog, "chkEnableCSV")->click();
        child<WholeNumberField>(*dialog, "advInterval")->setText("60");
        child<QLineEdit>(*dialog, "advFolder")->setText(settingsDir->path());
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY2(dialog->isVisible(), "Esc does nothing");
        if (way == "Cancel") {
            QTest::mouseClick(child<QPushButton>(*dialog, "bCancel"), Qt::LeftButton);
        } else {
            dialog->close();
        }
        QVERIFY(!dialog->isVisible());
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QVERIFY(!settings.Enabled);
    QCOMPARE(settings.ExportInterval, 0);
    QCOMPARE(csvTimer.interval(), 30000);
}

void CsvExportDialogTest::folderPickerFillsTheFolderField() {
    QVERIFY(writeCsvSettings(settingsPath(), {true, 30, QStringLiteral("/old")}).saved);
    auto dialog = makeDialog();
    QStringList startedFrom;
    QString answer = settingsDir->path();
    dialog->pickFolder = [&](QWidget* parent, const QString& current) {
        if (parent != dialog.get()) {
            qFatal("the picker opens over the dialog");
        }
        startedFrom << current;
        return answer;
    };
    dialog->show();
    auto* folder = child<QLineEdit>(*dialog, "advFolder");
    auto* button = child<QToolButton>(*dialog, "advFolderButton");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(folder->text(), settingsDir->path());
    answer.clear();  // the operator cancels the picker
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(folder->text(), settingsDir->path());
    QCOMPARE(startedFrom, (QStringList{"/old", settingsDir->path()}));
}

void CsvExportDialogTest::proposedDocumentsFolderIsMadeOnlyWhenOkTakesIt() {
    QVERIFY(QDir(documents()).removeRecursively());
    for (const bool logging : {false, true}) {
        auto dialog = makeDialog();
        dialog->show();
        QCOMPARE(child<QLineEdit>(*dialog, "advFolder")->text(),
                 QDir::toNativeSeparators(documents()));
        QVERIFY(!QFileInfo::exists(documents()));  // looking makes nothing
        if (logging) {
            child<QCheckBox>(*dialog, "chkEnableCSV")->click();
        }
        QTest::mouseClick(child<QPushButton>(*dialog, "bOK"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(QFileInfo(documents()).isDir(), logging);
    }
    QVERIFY(messages.shown.empty());
    QCOMPARE(readCsvSettings(settingsPath()).folderPath, QDir::toNativeSeparators(documents()));
    QCOMPARE(settings.FolderPath, QDir::toNativeSeparators(documents()));
    QVERIFY(settings.Enabled);
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::CsvExportDialogTest)
#include "csv_export_dialog_test.moc"
