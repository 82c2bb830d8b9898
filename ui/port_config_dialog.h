// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

#include "serial/com_config.h"

namespace lumas::ui {

// The port configuration form: the port, the baud rate with the user-defined rate, stop bits,
// parity, data bits and flow control of the serial port, shown from a TComConfigForm and written
// back into it. The form's logic (what is preselected, what OK applies to the port) is
// TComConfigDialog's; this is its face.
class PortConfigDialog final : public QDialog {
    Q_OBJECT

  public:
    PortConfigDialog(const TComConfigForm& form, QWidget* parent = nullptr);

    // The form as the controls show it now.
    TComConfigForm form() const;

    // OK closes the form only when the line can do what it shows; otherwise a warning says why
    // and the form stays open.
    void accept() override;

    // Centred before it first appears, so that the window manager centres its frame.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BAUDRATESChange();

    TComConfigForm form_;  // the shown form; its control fields are read from the widgets
    QLabel* Label1;
    QComboBox* COMPORTS;
    QLabel* Label2;
    QComboBox* BAUDRATES;
    QSpinBox* USERBAUDRATE;
    QGroupBox* STOPBITS;
    QGroupBox* PARITYSETTING;
    QGroupBox* DATABITS;
    QGroupBox* FLOWSETTING;
    QButtonGroup* stopBitsChoice;
    QButtonGroup* parityChoice;
    QButtonGroup* dataBitsChoice;
    QButtonGroup* flowChoice;
    QPushButton* Button1;
    QPushButton* Button2;
};

// Shows the form modally over `parent`, centred on the screen; on OK the form holds the chosen
// values and the result is true, on Cancel (or the close box) the form is unchanged and the
// result is false.
bool runPortConfigForm(TComConfigForm& form, QWidget* parent);

// TComConfigDialog's FormRunner for the desktop program: runPortConfigForm over `owner`. The
// runner does not keep `owner` alive; once `owner` is gone the form has no parent.
TComConfigDialog::FormRunner portConfigFormRunner(QWidget* owner);

}  // namespace lumas::ui
