// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace lumas::ui {

// The licence line of the About box and the help page.
inline const QString kLicenceLine = QStringLiteral(
    "Lumas is free software: you may share and change it under the terms of the GNU General "
    "Public License, version 3 or (at your option) any later version. It comes with no "
    "warranty.");
// The read-outs' typeface keeps its own licence.
inline const QString kFontLicenceLine = QStringLiteral(
    "The seven-segment face of the read-outs, DSEG7 by keshikan, is used under the SIL Open Font "
    "License, version 1.1.");

// The About box: the product name, the build number (the version), the build date, the maker
// and the licence, with an OK button that holds the keyboard focus (Enter, Space or Esc close
// the box as the close box does).
class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the main window; the box opens 130 pixels right of and 120 below its top-left
    // corner.
    explicit AboutDialog(QWidget* owner);

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();

    QWidget* owner_;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* lBuildDateCaption;
    QLabel* lBuildDate;
    QLabel* lLicence;
    QLabel* lFontLicence;
    QPushButton* Button1;
};

}  // namespace lumas::ui
