#pragma once

#include "protocol/omron_com.h"
#include "serial/com_port.h"
#include "sim/simulated_controller.h"

namespace lumas::test {

// A simulated controller whose chamber keeps the temperature the test gives it.
inline sim::SimulatedControllerOptions frozenChamber() {
    sim::SimulatedControllerOptions options;
    options.timeScale = 0.0;
    return options;
}

// Points `port` (with the controller link's start-up line settings) at the simulator's terminal
// and `driver` at `port`, node 1, as the program does at start-up.
inline void attachToSimulator(const sim::SimulatedController& simulator, TComPort& port,
                              TOmronCom& driver) {
    applyControllerLinkDefaults(port);
    port.SetDeviceName(simulator.portPath());
    driver.SetCOMPort(&port);
    driver.SetNodeNumber(1);
}

}  // namespace lumas::test
