// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/connection_settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "core/ini_file.h"
#include "core/main_form_logic.h"
#include "core/operator_texts.h"
#include "serial/com_port.h"
#include "serial/port_discovery.h"

namespace lumas {

namespace {

const QString kConnection = QStringLiteral("Connection");
const QString kLastPort = QStringLiteral("LastPort");
const QString kReconnectAtStart = QStringLiteral("ReconnectAtStart");

// Loads the file (a missing one starts empty), writes one key and saves, with the file's folder.
template <typename Write>
SaveResult writeKey(const QString& path, Write write) {
    IniFile file(path);
    if (file.load() == IniFile::LoadResult::Unreadable) {
        return {false, QStringLiteral("%1 could not be read").arg(path)};
    }
    if (!write(file)) {
        return {false, QStringLiteral("the value cannot be stored in a settings file")};
    }
    return saveWithFolder(file);
}

bool isApartFromHardware(const std::string& name) {
    const auto& apart = additionalPortNames();
    return std::find(apart.begin(), apart.end(), name) != apart.end();
}

// The port's own error text without the driver's prefix and without a closing full stop.
QString bareReason(QString text) {
    if (text.startsWith(texts::kErrorOccured)) {
        text.remove(0, texts::kErrorOccured.size());
    }
    while (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text.trimmed();
}

}  // namespace

ConnectionSettings readConnectionSettings(const QString& path) {
    IniFile file(path);
    file.load();
    ConnectionSettings settings;
    settings.lastPort = file.readString(kConnection, kLastPort, QString());
    settings.reconnectAtStart = file.readBool(kConnection, kReconnectAtStart, false);
    return settings;
}

SaveResult writeLastPort(const QString& path, const QString& port) {
    return writeKey(path,
                    [&](IniFile& file) { return file.writeString(kConnection, kLastPort, port); });
}

SaveResult writeReconnectAtStart(const QString& path, bool on) {
    return writeKey(
        path, [&](IniFile& file) { return file.writeBool(kConnection, kReconnectAtStart, on); });
}

std::optional<QString> portPathProblem(const std::string& portName) {
    const std::string devicePath = devicePathForPortName(portName);
    const QString shown = QString::fromStdString(devicePath);
    struct stat status {};
    if (::stat(devicePath.c_str(), &status) != 0) {
        return texts::noSuchPort(shown);
    }
    if (!S_ISCHR(status.st_mode)) {
        return texts::notASerialPort(shown);
    }
    return std::nullopt;
}

LastPortMemory::LastPortMemory(const TCustomComPort& port, QString settingsPath)
    : port_(port), settingsPath_(std::move(settingsPath)) {}

void LastPortMemory::linkUp() {
    const std::string name = port_.DeviceName();
    if (name.empty() || isApartFromHardware(name)) {
        return;
    }
    const QString port = QString::fromStdString(name);
    if (port == written_) {
        return;
    }
    if (writeLastPort(settingsPath_, port).saved) {
        written_ = port;
    }
}

bool reconnectAtStart(MainFormLogic& logic, const QString& settingsPath,
                      const std::function<void(const QString&)>& tell) {
    if (!additionalPortNames().empty()) {
        return false;
    }
    const ConnectionSettings settings = readConnectionSettings(settingsPath);
    if (!settings.reconnectAtStart || settings.lastPort.trimmed().isEmpty()) {
        return false;
    }
    const std::string portName = settings.lastPort.trimmed().toStdString();
    if (const auto problem = portPathProblem(portName)) {
        tell(logic.stamped(texts::notConnectedAtStart(*problem)));
        return false;
    }
    if (const auto advice = portPermissionAdvice(devicePathForPortName(portName))) {
        tell(logic.stamped(texts::notConnectedAtStart(QString::fromStdString(*advice))));
        return false;
    }
    const QString port = QString::fromStdString(portName);
    tell(texts::connectingTo(port));
    const std::optional<QString> failure = logic.ConnectToPort(portName);
    if (failure) {
        tell(logic.stamped(texts::couldNotOpenAtStart(port, bareReason(*failure))));
    } else if (!logic.controller().Connected()) {
        const auto portFailure = logic.controller().LastPortFailure();
        tell(logic.stamped(texts::couldNotOpenAtStart(
            port,
            portFailure ? bareReason(QString::fromStdString(portFailure->message)) : QString())));
    } else {
        tell(QString());
    }
    return true;
}

}  // namespace lumas
