// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "core/link_events.h"
#include "core/settings_store.h"

namespace lumas {

class MainFormLogic;
class TCustomComPort;

// The port the controller was reached through last, and whether Lumas connects to it when it
// starts: the section [Connection] of the settings file (LastPort=, ReconnectAtStart=0|1). As the
// other settings, every function opens the file for its reads or writes and lets go of it again;
// writes keep every other key. All of it runs on the UI thread.
struct ConnectionSettings {
    QString lastPort;               // as it was connected through: "ttyUSB0", "/dev/pts/7", ...
    bool reconnectAtStart = false;  // off unless the operator switched it on
};

ConnectionSettings readConnectionSettings(const QString& path);
// LastPort=`port`. A name with a line break cannot be stored: nothing is written, and the result
// says so.
SaveResult writeLastPort(const QString& path, const QString& port);
SaveResult writeReconnectAtStart(const QString& path, bool on);

// Why `portName` (a name as the port selection lists it, or a typed path) cannot be a serial port
// to open: there is nothing at its device path (a link that leads nowhere included), or what is
// there is not a character device (a folder, a plain file). Nothing when it may be opened.
std::optional<QString> portPathProblem(const std::string& portName);

// Remembers the port readings come in through (LastPort), whenever they start to come in: a port
// that opened but where no controller answers is not remembered. A port apart from the hardware
// (additionalPortNames(): the demonstration's simulator, whose path changes with every start) is
// not remembered either. A settings file that cannot be written is left as it is; the save on
// close reports it.
class LastPortMemory final : public LinkObserver {
  public:
    // `port` is the port the link is made through; it must outlive this object's registration.
    LastPortMemory(const TCustomComPort& port, QString settingsPath);

    void linkUp() override;

  private:
    const TCustomComPort& port_;
    QString settingsPath_;
    QString written_;  // what this object last wrote, so that a link coming back writes nothing
};

// The start-up reconnect: when ReconnectAtStart is on and a port is remembered, connects to it as
// Connect does (MainFormLogic::ConnectToPort) and tells the operator what happens through `tell`,
// one sentence at a time, each replacing the one before: "Connecting to /dev/ttyUSB0 …" first,
// then nothing (an empty text) once the port is open (the status bar's "Connected", or "No
// reply", takes over), or the sentence saying why Lumas did not connect. Nothing that waits for an
// answer is shown: a port that is missing, or that this user may not use, is told and not tried.
// While ports apart from the hardware are listed (demo mode), nothing happens: the demonstration
// never connects to the lab's port by itself. Returns whether a connection was tried.
bool reconnectAtStart(MainFormLogic& logic, const QString& settingsPath,
                      const std::function<void(const QString&)>& tell);

namespace texts {
inline QString connectingTo(const QString& port) {
    return QStringLiteral("Connecting to %1 …").arg(port);
}
inline QString noSuchPort(const QString& devicePath) {
    return QStringLiteral("There is no port %1.").arg(devicePath);
}
inline QString notASerialPort(const QString& devicePath) {
    return QStringLiteral("%1 is not a serial port.").arg(devicePath);
}
// `why` is a whole sentence: why the last port was not tried at start.
inline QString notConnectedAtStart(const QString& why) {
    return why + QStringLiteral(" Lumas did not connect at start.");
}
// `why` is the port's own error text, without a full stop.
inline QString couldNotOpenAtStart(const QString& port, const QString& why) {
    return why.isEmpty() ? QStringLiteral("Lumas could not open %1 at start.").arg(port)
                         : QStringLiteral("Lumas could not open %1 at start: %2.").arg(port, why);
}
}  // namespace texts

}  // namespace lumas
