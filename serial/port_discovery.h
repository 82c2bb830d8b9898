// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumas {

// The serial ports this machine has, by the names the operator knows them by (ttyS0, ttyUSB0,
// ttyACM0): every tty under `sysClassTty` that is backed by a device, except built-in UART slots
// that hold no port (their "type" reads 0). Built-in ports (ttyS*) come first, then the others,
// each group in natural order (ttyUSB2 before ttyUSB10); then the additional names, skipping any
// already listed (compared without regard to case).
std::vector<std::string> discoverSerialPorts(const std::string& sysClassTty = "/sys/class/tty");

// Where a Linux machine keeps its serial ports: the ttys in sysfs, their device nodes, and the
// stable names udev gives USB adapters (usb-<maker>_<model>_<serial>-if00-port0).
struct SerialPortFolders {
    std::string sysClassTty = "/sys/class/tty";
    std::string dev = "/dev";
    std::string byId = "/dev/serial/by-id";
};

// The ports the port selection offers, by the names to connect through. The hardware ports of
// discoverSerialPorts (built-in UARTs that hold a port, USB adapters ttyUSB*, modems and boards
// ttyACM*, ...), each only when its device node exists under `dev` (a container may see the
// machine's sysfs without its devices). A port reached through a stable name under `byId` is
// listed by that name instead (the full path), as it stays the same when the adapter comes back
// as another ttyUSBn and it names the adapter the operator plugged in; a stable name whose device
// sysfs does not show is listed too. Then the additional names, as discoverSerialPorts adds them.
std::vector<std::string> listSerialPorts(const SerialPortFolders& folders = {});

// Ports that exist apart from the hardware, such as the simulated controller's in demo mode.
// Set on the UI thread; listed after the hardware ports.
void setAdditionalPortNames(std::vector<std::string> names);
const std::vector<std::string>& additionalPortNames();

// The port number a name stands for: "COM12" gives 12, "ttyS11" gives 12 (the same device);
// 0 for any other name.
int portNumberOfName(const std::string& name);

// When the device at `devicePath` exists but this user may not read and write it, the sentence
// that tells the operator how to get access (serial devices belong to the dialout group);
// otherwise nothing.
std::optional<std::string> portPermissionAdvice(const std::string& devicePath);

// The stable name of a device: the link in `byIdFolder` that leads to `devicePath` (a USB adapter's
// name under /dev/serial/by-id/, which stays the same when the adapter comes back as another
// ttyUSBn), or `devicePath` itself when it is such a link already. Nothing for a device without
// one, or one that cannot be resolved.
std::optional<std::string> stableDeviceAlias(const std::string& devicePath,
                                             const std::string& byIdFolder = "/dev/serial/by-id");

}  // namespace lumas
