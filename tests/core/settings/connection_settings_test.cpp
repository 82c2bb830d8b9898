// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The [Connection] section of the settings file, and the check of a port's path before it is
// opened.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/connection_settings.h"
#include "core/ini_file.h"
#include "support/pty_pair.h"

namespace lumas {
namespace {

QByteArray fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ConnectionSettings, NothingIsRememberedAndReconnectIsOffUntilWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Settings.ini"));
    for (const QByteArray& text : {QByteArray(), QByteArray("[Settings]\r\nParam=Value\r\n"),
                                   QByteArray("[Connection]\r\nReconnectAtStart=\r\n")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        const ConnectionSettings read = readConnectionSettings(path);
        EXPECT_TRUE(read.lastPort.isEmpty()) << text.constData();
        EXPECT_FALSE(read.reconnectAtStart) << text.constData();
    }
    EXPECT_FALSE(readConnectionSettings(dir.filePath(QStringLiteral("none.ini"))).reconnectAtStart);
}

TEST(ConnectionSettings, WritesKeepTheRestOfTheFileAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lumas/Settings.ini"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Lumas"))));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("; kept\r\n[Settings]\r\nPosTop=12\r\n");
    }
    const QString byId =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    ASSERT_TRUE(writeLastPort(path, byId).saved);
    ASSERT_TRUE(writeReconnectAtStart(path, true).saved);
    ConnectionSettings read = readConnectionSettings(path);
    EXPECT_EQ(read.lastPort, byId);
    EXPECT_TRUE(read.reconnectAtStart);
    ASSERT_TRUE(writeReconnectAtStart(path, false).saved);
    ASSERT_TRUE(writeLastPort(path, QStringLiteral("ttyUSB0")).saved);
    read = readConnectionSettings(path);
    EXPECT_EQ(read.lastPort, QStringLiteral("ttyUSB0"));
    EXPECT_FALSE(read.reconnectAtStart);
    const QByteArray text = fileText(path);
    EXPECT_TRUE(text.startsWith("; kept\r\n[Settings]\r\nPosTop=12\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("[Connection]\r\nLastPort=ttyUSB0\r\nReconnectAtStart=0\r\n"))
        << text.constData();

    // A name the file cannot hold changes nothing.
    const SaveResult refused = writeLastPort(path, QStringLiteral("/dev/tty\nUSB1"));
    EXPECT_FALSE(refused.saved);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(fileText(path), text);
}

TEST(ConnectionSettings, AFileThatCannotBeReadIsNotReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Settings.ini"));
    ASSERT_TRUE(QDir().mkpath(path));  // a folder where the file should be
    EXPECT_FALSE(writeReconnectAtStart(path, true).saved);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(PortPathCheck, OnlyACharacterDeviceMayBeOpened) {
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    test::PtyPair pty;
    std::ofstream(root / "plain") << "not a device";
    fs::create_directory(root / "folder");
    fs::create_symlink(pty.slavePath(), root / "usb-FTDI_chamber-if00-port0");
    fs::create_symlink(root / "gone", root / "usb-FTDI_unplugged-if00-port0");
    struct Case {
        std::string port;
        std::optional<QString> problem;
    };
    const auto at = [&](const char* name) { return (root / name).string(); };
    const auto shown = [&](const char* name) { return QString::fromStdString(at(name)); };
    const std::vector<Case> cases = {
        {pty.slavePath(), std::nullopt},
        {at("usb-FTDI_chamber-if00-port0"), std::nullopt},  // a link to a device
        {at("missing"), "There is no port " + shown("missing") + "."},
        {at("usb-FTDI_unplugged-if00-port0"),
         "There is no port " + shown("usb-FTDI_unplugged-if00-port0") + "."},
        {at("plain"), shown("plain") + " is not a serial port."},
        {at("folder"), shown("folder") + " is not a serial port."},
        // A name without a folder is looked for under /dev/, where the operator is told it was.
        {"ttyLumasMissing9", QStringLiteral("There is no port /dev/ttyLumasMissing9.")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(portPathProblem(c.port), c.problem) << c.port;
    }
}

}  // namespace
}  // namespace lumas
