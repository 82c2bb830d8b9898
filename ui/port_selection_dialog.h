#pragma once

#include <QDialog>
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
// COM10 comes before COM2); equal names are all kept, in their listed order. Ports that exist
// apart from the hardware (additionalPortNames(), the simulator of demo mode) come last.
QStringList GetAvailableCom(const PortNameSource& source);

// The port selection dialog: lists the serial ports, the last one preselected, and connects
// through the chosen one. "Connect" closes the dialog once the attempt has run; a step that
// fails shows its text and leaves the dialog open. "Close" and the close box close it and do
// nothing else.
class PortSelectionDialog final : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the main window: the dialog opens 155 pixels right of and 100 below its top-left
    // corner. `messages` shows the boxes; without it the dialog shows Qt message boxes over
    // itself. `ports` lists the ports; by default the serial ports this machine has.
    PortSelectionDialog(QWidget* owner, PortConnector connectToPort,
                        MessageBoxes* messages = nullptr, PortNameSource ports = {});
    ~PortSelectionDialog() override;

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void bConnectClick();

    QWidget* owner_;
    PortConnector connectToPort_;
    PortNameSource ports_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_;

    QTimer* warningTimer_;  // shows the warning once the dialog is shown

    QListWidget* COMList;
    QPushButton* bConnect;
    QPushButton* bClose;
};

namespace port_selection_texts {
inline const QString kNoDevice = QStringLiteral("No device is connected   ");
}  // namespace port_selection_texts

}  // namespace lumas::ui
