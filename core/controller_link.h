// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas {

// The serial port and the controller driver on it, wired as the program talks to its
// controller: the port with the controller link's start-up line settings (see
// applyControllerLinkDefaults), the driver on that port at node number 1. The window and
// lumasctl each hold one instead of wiring the two themselves; MainFormLogic drives it.
struct ControllerLink {
    ControllerLink() {
        applyControllerLinkDefaults(port);
        driver.SetCOMPort(&port);
        driver.SetNodeNumber(1);
    }
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;
    ~ControllerLink() = default;

    TComPort port;
    TOmronCom driver;  // declared after the port: it lets go of the port before the port goes
};

}  // namespace lumas
