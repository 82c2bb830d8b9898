// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/csv_export_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <chrono>

#include "core/document_folders.h"
#include "core/settings_store.h"
#include "ui/dialog_placement.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

namespace {

// The interval the log is advised to keep, seconds.
constexpr int kAdvisedIntervalMin = 5;
constexpr int kAdvisedIntervalMax = 360;

QLabel* fieldLabel(QWidget* parent, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

CsvExportDialog::CsvExportDialog(QWidget* owner, QString settingsPath, TCSVExport& settings,
                                 RepeatingTimer& timerCsv, MessageBoxes* messages)
    : QDialog(owner),
      pickFolder([](QWidget* parent, const QString& current) {
          return QFileDialog::getExistingDirectory(parent, QString(), current);
      }),
      owner_(owner),
      settingsPath_(std::move(settingsPath)),
      settings_(settings),
      timerCsv_(timerCsv),
      ownMessages_(messages == nullptr ? std::make_unique<QtMessageBoxes>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()) {
    setObjectName(QStringLiteral("fCSV_Export"));
    setWindowTitle(QStringLiteral("CSV Export"));
    makeFixedDialog(*this, QSize(468, 138));
    setFont(dialogFontPixels(11));

    frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(8, 8, 366, 122);

    chkEnableCSV = new QCheckBox(QStringLiteral("Enable CSV Export"), frame);
    chkEnableCSV->setObjectName(QStringLiteral("chkEnableCSV"));
    chkEnableCSV->setLayoutDirection(Qt::RightToLeft);  // the caption left of the box
    chkEnableCSV->setFocusPolicy(Qt::ClickFocus);       // not on the Tab key's way
    chkEnableCSV->move(10, 8);
    chkEnableCSV->adjustSize();
    connect(chkEnableCSV, &QCheckBox::toggled, this, &CsvExportDialog::chkEnableCSVClick);

    fieldsGroup = new QGroupBox(frame);
    fieldsGroup->setObjectName(QStringLiteral("fieldsGroup"));
    fieldsGroup->setGeometry(8, 32, 350, 82);

    Label1 = fieldLabel(fieldsGroup, QStringLiteral("Interval:"), QPoint(10, 17));
    Label1->setObjectName(QStringLiteral("Label1"));
    advInterval = new WholeNumberField(0, 999, fieldsGroup, messages_);
    advInterval->setObjectName(QStringLiteral("advInterval"));
    advInterval->setGeometry(62, 13, 49, 23);
    advInterval->installEventFilter(this);
    intervalUnit = fieldLabel(fieldsGroup, QStringLiteral(" sec"), QPoint(113, 17));
    intervalUnit->setObjectName(QStringLiteral("advIntervalUnit"));

    folderLabel = fieldLabel(fieldsGroup, QStringLiteral("Folder:"), QPoint(10, 51));
    folderLabel->setObjectName(QStringLiteral("folderLabel"));
    advFolder = new QLineEdit(fieldsGroup);
    advFolder->setObjectName(QStringLiteral("advFolder"));
    advFolder->setGeometry(62, 47, 273, 23);
    advFolder->setPlaceholderText(csv_export_texts::kFolderPlaceholder);
    advFolderButton = new QToolButton(advFolder);
    advFolderButton->setObjectName(QStringLiteral("advFolderButton"));
    advFolderButton->setText(QStringLiteral("..."));
    advFolderButton->setCursor(Qt::ArrowCursor);
    advFolderButton->setFocusPolicy(Qt::NoFocus);
    advFolderButton->setGeometry(273 - 2 - 21, 2, 21, 19);
    // A blank's width before the path, the button's width after it.
    advFolder->setTextMargins(advFolder->fontMetrics().horizontalAdvance(QLatin1Char(' ')), 0, 22,
                              0);
    connect(advFolderButton, &QToolButton::clicked, this, &CsvExportDialog::advFolderClickBtn);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setGeometry(385, 8, 75, 25);
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &CsvExportDialog::bOKClick);
    bCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(385, 38, 75, 25);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CsvExportDialog::~CsvExportDialog() = default;

void CsvExportDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        placeFromOwner(*this, owner_, QPoint(400, 250));
    }
    QDialog::setVisible(visible);
}

void CsvExportDialog::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void CsvExportDialog::FormShow() {
    const CsvLogSettings stored = readCsvSettings(settingsPath_);
    chkEnableCSV->setChecked(stored.enabled);
    advInterval->setValue(stored.interval);
    // No folder chosen yet: the documents folder is proposed, and made only when OK takes it.
    advFolder->setText(stored.folderPath.isEmpty()
                           ? QDir::toNativeSeparators(proposedDocumentFolder())
                           : stored.folderPath);
    chkEnableCSVClick();
    advFolder->setFocus();
}

void CsvExportDialog::chkEnableCSVClick() {
    const bool enabled = chkEnableCSV->isChecked();
    fieldsGroup->setEnabled(enabled);
    Label1->setEnabled(enabled);
    advInterval->setEnabled(enabled);
    advFolder->setEnabled(enabled);
    advFolderButton->setEnabled(enabled);
}

bool CsvExportDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == advInterval && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The field's own handling first (an empty field becomes 0), then the advice. Losing the
        // focus to another window, a menu or a box, or because the dialog closes, is not leaving
        // the field.
        static_cast<QObject*>(advInterval)->event(event);
        if (isVisible() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            advIntervalExit();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CsvExportDialog::advIntervalExit() {
    const double interval = advInterval->value();
    if (interval < kAdvisedIntervalMin || interval > kAdvisedIntervalMax) {
        messages_->information(csv_export_texts::kIntervalAdvice);
    }
}

void CsvExportDialog::advFolderClickBtn() {
    const QString chosen = pickFolder(this, advFolder->text());
    if (!chosen.isEmpty()) {
        advFolder->setText(QDir::toNativeSeparators(chosen));
    }
}

void CsvExportDialog::bOKClick() {
    if (!advInterval->commit()) {
        return;
    }
    const bool enabled = chkEnableCSV->isChecked();
    QString folder = advFolder->text();
    if (enabled && QDir::fromNativeSeparators(folder) == proposedDocumentFolder()) {
        folder = QDir::toNativeSeparators(defaultDocumentFolder());
    }
    if (enabled && !QFileInfo(folder).isDir()) {
        messages_->warning(csv_export_texts::kInvalidFolder);
        return;
    }
    const CsvLogSettings chosen{.enabled = enabled,
                                .interval = static_cast<int>(advInterval->value()),
                                .folderPath = folder};
    const SaveResult saved = writeCsvSettings(settingsPath_, chosen);
    settings_.Enabled = chosen.enabled;
    settings_.ExportInterval = chosen.interval;
    settings_.FolderPath = chosen.folderPath;
    timerCsv_.setInterval(std::chrono::seconds(chosen.interval));
    if (!saved.saved) {
        // In effect for this session all the same.
        messages_->warning(QStringLiteral("The settings could not be saved: %1.").arg(saved.error));
    }
    accept();
}

void CsvExportDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();  // Esc does not close this dialog
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace lumas::ui
