// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/com_port.h"

namespace lumas {

// The three flow-control modes the configuration dialog offers.
enum class TFlowMode { fmNone, fmDtrRts, fmXonXoff };

// The entries of the baud-rate list; an entry's index is its TBaudrate member ("user" is brUser).
const std::vector<std::string>& baudRateItems();

// What the port configuration dialog shows and edits, without its widgets.
struct TComConfigForm {
    std::vector<std::string> ports;  // COMPORTS
    int portIndex = -1;              // -1: nothing selected
    int baudIndex = 0;               // BAUDRATES
    int stopBitsIndex = 0;           // STOPBITS
    int parityIndex = 0;             // PARITYSETTING
    int dataBitsIndex = 0;           // DATABITS
    std::string userBaudText;        // USERBAUDRATE
    bool userBaudVisible = false;
    TFlowMode flowMode = TFlowMode::fmNone;  // FLOWSETTING
};

// Fills the form from the port: the port list with the port chosen last preselected, the line
// settings, the user rate and the flow-control mode. The chosen port is found by its name
// (PortName) while that name still agrees with PortNum, else by PortNum ("COM7", or ttyS6 for it);
// failing both, the first entry is preselected.
TComConfigForm loadComConfigForm(const TCustomComPort& port, std::vector<std::string> portNames);

// The baud-rate list's change handler: the user-rate field shows exactly while "user" is chosen.
void BAUDRATESChange(TComConfigForm& form);

// What keeps the form from being accepted, as the sentence to show the operator: a choice the
// line cannot carry out here. Termios has no 1.5 stop bits, and sending 2 instead would leave the
// line different from what the form shows. Nothing when the form may be accepted.
std::optional<std::string> comConfigFormRefusal(const TComConfigForm& form);

// Writes the form into the port, in this order: PortNum and PortName, Baudrate, Stopbits,
// Databits, Parity, UserBaudrate (only for "user"; 0 when the field does not hold a whole number),
// flow control.
void applyComConfigForm(const TComConfigForm& form, TCustomComPort& port);

// The port configuration dialog. `runForm` shows the form modally and returns whether it was
// closed with OK; the window supplies it, and it accepts no form that comConfigFormRefusal
// refuses.
class TComConfigDialog {
  public:
    using FormRunner = std::function<bool(TComConfigForm& form)>;

    TCustomComPort* Comm = nullptr;
    FormRunner runForm;

    // Raises std::logic_error("No TComPort instance assigned.") without Comm; returns whether the
    // dialog was closed with OK (the new values are then in the port).
    bool Execute();
};

}  // namespace lumas
