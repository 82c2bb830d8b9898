// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <memory>

#include "core/shared_state.h"
#include "core/window_ports.h"
#include "ui/numeric_fields.h"

namespace lumas::ui {

// The CSV temperature log settings: whether a log is written, every how many seconds, and into
// which folder. Shows the stored settings, proposing the documents folder (proposedDocumentFolder)
// while none is stored, which OK makes when the log is on; OK checks the folder, stores the
// settings and puts them into effect (the log settings record and the log timer's period). Cancel
// and the close box change nothing; Esc does nothing.
class CsvExportDialog final : public QDialog {
    Q_OBJECT

  public:
    // Picks a folder, starting from `current`; an empty text when the operator cancels.
    using FolderPicker = std::function<QString(QWidget* parent, const QString& current)>;

    // `settingsPath` is the settings file; `settings` and `timerCsv` are the log settings and
    // the log timer OK puts the new values into. `messages` shows the boxes; without it the
    // dialog shows Qt message boxes over itself.
    CsvExportDialog(QWidget* owner, QString settingsPath, TCSVExport& settings,
                    RepeatingTimer& timerCsv, MessageBoxes* messages = nullptr);
    ~CsvExportDialog() override;

    // The folder picker behind "..."; the system's folder dialog unless replaced.
    FolderPicker pickFolder;

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormShow();
    void chkEnableCSVClick();
    void advIntervalExit();
    void advFolderClickBtn();
    void bOKClick();

    QWidget* owner_;
    QString settingsPath_;
    TCSVExport& settings_;
    RepeatingTimer& timerCsv_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_;
    bool loaded_ = false;  // the stored settings have been put into the controls

    QFrame* frame;
    QCheckBox* chkEnableCSV;
    QGroupBox* fieldsGroup;
    QLabel* Label1;
    WholeNumberField* advInterval;
    QLabel* intervalUnit;
    QLabel* folderLabel;
    QLineEdit* advFolder;
    QToolButton* advFolderButton;
    QPushButton* bOK;
    QPushButton* bCancel;
};

namespace csv_export_texts {
inline const QString kIntervalAdvice = QStringLiteral("Recommended interval range is 5 - 360 sec");
inline const QString kInvalidFolder =
    QStringLiteral("Please select the valid directory for the output file.");
inline const QString kFolderPlaceholder = QStringLiteral("Select folder");
}  // namespace csv_export_texts

}  // namespace lumas::ui
