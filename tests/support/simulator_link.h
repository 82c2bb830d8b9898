// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>

#include "protocol/omron_com.h"
#include "serial/com_port.h"
#include "sim/simulated_controller.h"
#include "support/stable_link_folder.h"

namespace lumas::test {

// A simulated controller whose chamber keeps the temperature the test gives it, reached through
// `stableLinkPath` when one is given.
inline sim::SimulatedControllerOptions frozenChamber(const std::string& stableLinkPath = {}) {
    sim::SimulatedControllerOptions options;
    options.timeScale = 0.0;
    options.stableLinkPath = stableLinkPath;
    return options;
}

// The name a port opens the simulator by: its stable link when it has one, else its terminal.
inline std::string deviceNameOf(const sim::SimulatedController& simulator) {
    return simulator.stableLinkPath().empty() ? simulator.portPath() : simulator.stableLinkPath();
}

// Points `port` (with the controller link's start-up line settings) at the simulator and `driver`
// at `port`, node 1, as the program does at start-up.
inline void attachToSimulator(const sim::SimulatedController& simulator, TComPort& port,
                              TOmronCom& driver) {
    applyControllerLinkDefaults(port);
    port.SetDeviceName(deviceNameOf(simulator));
    driver.SetCOMPort(&port);
    driver.SetNodeNumber(1);
}

}  // namespace lumas::test
