// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/window_ports.h"

namespace lumas::ui {

// The serial ports the system knows, in the order the system lists them.
using PortNameSource = std::function<std::vector<std::string>()>;
// Connects to the controller through the named port (an empty name: nothing selected). Returns the
// text to show when a step failed; nothing when the attempt ran to its end, whether or not the
// port could be opened.
using PortConnector = std::function<std::optional<QString>(const std::string& portName)>;

// The port names the selection lists: each name with leading and trailing blanks removed, empty
// names left out, sorted ascending as text without regard to case by the locale's comparison (so
// COM10 comes before COM2); equal names are all kept, in their listed order. Stable names (a
// device path that is a link, such as /dev/serial/by-id/usb-FTDI_…) come after the plain ones, so
// that without a port used last the preselected last entry is a USB adapter rather than a
// built-in port. Ports that exist apart from the hardware (additionalPortNames(), the simulator of
// demo mode) come last.
QStringList GetAvailableCom(const PortNameSource& source);

// How the list shows port `name`: a stable name with the device it leads to at present (the path
// under /dev/, or the whole path elsewhere), the port used last marked:
// "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0  (ttyUSB0, last used)".
QString portEntryText(const QString& name, bool lastUsed);

// The port selection dialog: lists the serial ports and connects through the chosen one, or
// through a port whose path the operator types (any device: a pseudo-terminal, a link), which is
// used instead of the list while it is filled. The port used last is marked and preselected; one
// the list does not hold is put in the typed field. "Connect" closes the dialog once the attempt
// has run; a typed path that is no port, or a step that fails, shows its text and leaves the
// dialog open. "Close" and the close box close it and do nothing else. The check box "Connect to
// this port when Lumas starts" is stored as soon as it is changed.
class PortSelectionDialog final : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the main window: the dialog opens 155 pixels right of and 100 below its top-left
    // corner. `messages` shows the boxes; without it the dialog shows Qt message boxes over
    // itself. `ports` lists the ports; by default the serial ports this machine has
    // (listSerialPorts). `settingsPath` is the settings file the port used last and the start-up
    // choice are read from and the choice is written to; without it neither is shown nor stored.
    PortSelectionDialog(QWidget* owner, PortConnector connectToPort,
                        MessageBoxes* messages = nullptr, PortNameSource ports = {},
                        QString settingsPath = {});
    ~PortSelectionDialog() override;

    // The longest stable name of a USB adapter the dialog is made wide enough for at its smallest.
    static inline const QString kLongStableName =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void bConnectClick();
    // Widens the dialog for its longest entry, within the screen.
    void fitWidthToEntries();

    QWidget* owner_;
    PortConnector connectToPort_;
    PortNameSource ports_;
    QString settingsPath_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_;

    QTimer* warningTimer_;  // shows the warning once the dialog is shown

    QListWidget* COMList;
    QLineEdit* ePortPath;
    QCheckBox* chkReconnectAtStart;
    QPushButton* bConnect;
    QPushButton* bClose;
};

namespace port_selection_texts {
inline const QString kNoDevice = QStringLiteral("No device is connected   ");
inline const QString kSettingNotSaved = QStringLiteral("The settings could not be saved: %1.");
}  // namespace port_selection_texts

}  // namespace lumas::ui
