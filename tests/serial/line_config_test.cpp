// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/line_config.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "serial/com_port.h"

namespace lumas {
namespace {

// A configuration as a device might hand it over: cooked mode with echo, output processing, CR
// translation and a hang-up on close, all of which the port must switch off.
TermiosValue cookedLine() {
    TermiosValue value;
    value.iflag = ICRNL | IXON | BRKINT | ISTRIP;
    value.oflag = OPOST | ONLCR;
    value.cflag = CS8 | CREAD | HUPCL | B38400;
    value.lflag = ICANON | ECHO | ISIG | IEXTEN;
    value.line = 0;
    value.cc.fill(0x7f);
    value.cc[VMIN] = 1;
    return value;
}

LineSettings settings(int rate, TDatabits bits, TParity parity, TStopbits stop) {
    LineSettings s;
    s.bitsPerSecond = rate;
    s.databits = bits;
    s.parity = parity;
    s.stopbits = stop;
    return s;
}

constexpr std::uint32_t kFramingBits =
    CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL | HUPCL;

struct LineCase {
    const char* name;
    LineSettings settings;
    std::uint32_t framing;  // cflag & kFramingBits
    std::uint32_t iflag;
};

std::vector<LineCase> lineCases() {
    LineSettings xonOut = settings(9600, TDatabits::db8, TParity::paNone, TStopbits::sb1);
    xonOut.flow.XonXoffOut = true;
    LineSettings xonBoth = xonOut;
    xonBoth.flow.XonXoffIn = true;
    LineSettings ctsFlow = settings(9600, TDatabits::db8, TParity::paNone, TStopbits::sb1);
    ctsFlow.flow.OutCtsFlow = true;
    LineSettings rtsHandshake = settings(9600, TDatabits::db8, TParity::paNone, TStopbits::sb1);
    rtsHandshake.flow.ControlRts = TControlRts::rtsHandshake;
    LineSettings parityCheck = settings(9600, TDatabits::db7, TParity::paOdd, TStopbits::sb1);
    parityCheck.options = {TComOption::coParityCheck, TComOption::coNullStrip};
    const std::uint32_t on = CREAD | CLOCAL;
    return {
        {"7E2 at 9600", settings(9600, TDatabits::db7, TParity::paEven, TStopbits::sb2),
         on | CS7 | PARENB | CSTOPB, 0},
        {"8N1 at 115200", settings(115200, TDatabits::db8, TParity::paNone, TStopbits::sb1),
         on | CS8, 0},
        {"5O2 at 110", settings(110, TDatabits::db5, TParity::paOdd, TStopbits::sb2),
         on | CS5 | PARENB | PARODD | CSTOPB, 0},
        {"6 mark", settings(14400, TDatabits::db6, TParity::paMark, TStopbits::sb1),
         on | CS6 | PARENB | CMSPAR | PARODD, 0},
        {"8 space", settings(56000, TDatabits::db8, TParity::paSpace, TStopbits::sb1),
         on | CS8 | PARENB | CMSPAR, 0},
        {"XON/XOFF out", xonOut, on | CS8, IXON},
        {"XON/XOFF both ways", xonBoth, on | CS8, IXON | IXOFF},
        {"CTS output flow", ctsFlow, on | CS8 | CRTSCTS, 0},
        {"RTS handshake", rtsHandshake, on | CS8 | CRTSCTS, 0},
        {"parity check", parityCheck, on | CS7 | PARENB | PARODD, INPCK},
    };
}

TEST(LineConfig, BuildsRawLinesForEachSetting) {
    for (const LineCase& c : lineCases()) {
        SCOPED_TRACE(c.name);
        const TermiosValue value = buildLineConfig(cookedLine(), c.settings);
        EXPECT_EQ(value.cflag & kFramingBits, c.framing);
        EXPECT_EQ(value.iflag, c.iflag);
        EXPECT_EQ(value.oflag, 0U);
        EXPECT_EQ(value.lflag, 0U);
        EXPECT_EQ(value.cflag & kOutputRateMask, kCustomRate);
        EXPECT_EQ(value.cflag & kInputRateMask, kCustomRate << kInputRateShift);
        EXPECT_EQ(value.ospeed, static_cast<std::uint32_t>(c.settings.bitsPerSecond));
        EXPECT_EQ(value.ispeed, static_cast<std::uint32_t>(c.settings.bitsPerSecond));
        EXPECT_EQ(value.cc[VMIN], 0);
        EXPECT_EQ(value.cc[VTIME], 0);
        EXPECT_EQ(value.cc[VSTART], 17);
        EXPECT_EQ(value.cc[VSTOP], 19);
        EXPECT_EQ(value.cc[VEOF], 0x7f) << "unused control characters stay as they were";
    }
}

TEST(LineConfig, EveryTableRateAndAUserRateIsSetExactly) {
    const std::vector<std::pair<TBaudrate, int>> table = {
        {TBaudrate::br110, 110},       {TBaudrate::br300, 300},       {TBaudrate::br600, 600},
        {TBaudrate::br1200, 1200},     {TBaudrate::br2400, 2400},     {TBaudrate::br4800, 4800},
        {TBaudrate::br9600, 9600},     {TBaudrate::br14400, 14400},   {TBaudrate::br19200, 19200},
        {TBaudrate::br38400, 38400},   {TBaudrate::br56000, 56000},   {TBaudrate::br57600, 57600},
        {TBaudrate::br115200, 115200}, {TBaudrate::br128000, 128000}, {TBaudrate::br256000, 256000},
        {TBaudrate::brUser, 0},
    };
    for (const auto& [rate, bitsPerSecond] : table) {
        EXPECT_EQ(baudrateValue(rate), bitsPerSecond);
    }
    for (const int rate : {14400, 56000, 128000, 256000, 31250}) {
        const TermiosValue value = buildLineConfig(
            cookedLine(), settings(rate, TDatabits::db8, TParity::paNone, TStopbits::sb1));
        EXPECT_EQ(value.ospeed, static_cast<std::uint32_t>(rate));
        EXPECT_EQ(value.cflag & kOutputRateMask, kCustomRate);
    }
}

TEST(LineConfig, RejectsWhatLinuxCannotDo) {
    char buffer[256] = {};
    const std::string invalid = "Error writing dcb (" + std::to_string(EINVAL) + "), " +
                                strerror_r(EINVAL, buffer, sizeof buffer);
    const std::vector<LineSettings> rejected = {
        settings(9600, TDatabits::db4, TParity::paNone, TStopbits::sb1),
        settings(0, TDatabits::db8, TParity::paNone, TStopbits::sb1),
        // Termios has no 1.5 stop bits: refused rather than sent as 2.
        settings(9600, TDatabits::db7, TParity::paEven, TStopbits::sb15),
        settings(110, TDatabits::db5, TParity::paNone, TStopbits::sb15),
    };
    for (const LineSettings& s : rejected) {
        try {
            buildLineConfig(cookedLine(), s);
            ADD_FAILURE() << "accepted";
        } catch (const EComPortError& e) {
            EXPECT_EQ(std::string(e.what()), invalid);
            EXPECT_EQ(e.osError(), EINVAL);
        }
    }
}

TEST(LineConfig, ModemLinesHeldAsAsked) {
    struct Case {
        const char* name;
        TFlowControl flow;
        ModemLineChange change;
    };
    TFlowControl bothOn;
    bothOn.ControlDtr = TControlDtr::dtrEnabled;
    bothOn.ControlRts = TControlRts::rtsEnabled;
    TFlowControl handshakes;
    handshakes.ControlDtr = TControlDtr::dtrHandshake;
    handshakes.ControlRts = TControlRts::rtsHandshake;
    TFlowControl ctsWithRtsOn = bothOn;
    ctsWithRtsOn.OutCtsFlow = true;
    TFlowControl toggle;
    toggle.ControlRts = TControlRts::rtsToggle;
    const std::vector<Case> cases = {
        {"both held off", TFlowControl{}, {0, TIOCM_DTR | TIOCM_RTS}},
        {"both held on", bothOn, {TIOCM_DTR | TIOCM_RTS, 0}},
        {"RTS left to the CTS/RTS handshake", handshakes, {TIOCM_DTR, 0}},
        {"CTS flow leaves RTS to the driver", ctsWithRtsOn, {TIOCM_DTR, 0}},
        {"RTS toggle held off", toggle, {0, TIOCM_DTR | TIOCM_RTS}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(modemLinesFor(c.flow), c.change);
    }
}

TEST(PortNames, MapToDevicePaths) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"COM1", "/dev/ttyS0"},
        {"COM7", "/dev/ttyS6"},
        {"com12", "/dev/ttyS11"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyACM1", "/dev/ttyACM1"},
        {"/dev/pts/4", "/dev/pts/4"},
        {"/tmp/lumas-sim", "/tmp/lumas-sim"},
        {"COM0", "/dev/COM0"},
        {"COM", "/dev/COM"},
        {"COM7x", "/dev/COM7x"},
        {"COM-1", "/dev/COM-1"},
        {"COM99999999999", "/dev/COM99999999999"},
    };
    for (const auto& [name, path] : table) {
        EXPECT_EQ(devicePathForPortName(name), path) << name;
    }
}

TEST(PortNames, DeviceNameIsFormattedWithPortNumberFirst) {
    const struct {
        const char* deviceName;
        int portNum;
        const char* path;
    } table[] = {
        {"COM%d", 12, "/dev/ttyS11"},
        {"COM7", 3, "/dev/ttyS6"},
        {"COM%d", 0, "/dev/COM0"},
        {"tty%s%n%d", 5, "/dev/tty%s%n5"},  // only "%d" is filled; never used as a format
    };
    for (const auto& row : table) {
        TComPort port;
        port.SetDeviceName(row.deviceName);
        port.SetPortNum(row.portNum);
        EXPECT_EQ(port.DevicePath(), row.path) << row.deviceName;
    }
}

TEST(PortProperties, BaudrateAndUserBaudrateAreCoupled) {
    TComPort port;
    EXPECT_EQ(port.Baudrate(), TBaudrate::br1200);
    EXPECT_EQ(port.UserBaudrate(), 0);

    port.SetUserBaudrate(31250);
    EXPECT_EQ(port.Baudrate(), TBaudrate::brUser);
    EXPECT_EQ(port.UserBaudrate(), 31250);

    port.SetBaudrate(TBaudrate::brUser);
    EXPECT_EQ(port.UserBaudrate(), 31250) << "brUser keeps the user rate";

    port.SetBaudrate(TBaudrate::br9600);
    EXPECT_EQ(port.UserBaudrate(), 0);

    port.SetUserBaudrate(0);  // not a new value: the table rate stays
    EXPECT_EQ(port.Baudrate(), TBaudrate::br9600);
}

TEST(PortProperties, ControllerLinkDefaults) {
    TComPort port;
    EXPECT_EQ(port.DeviceName(), "COM%d");
    EXPECT_EQ(port.Buffers().WriteSize, 2048);
    EXPECT_EQ(port.MonitorEvents(),
              (TComEvents{TComEvent::ceError, TComEvent::ceRxChar, TComEvent::ceTxEmpty}));
    TFlowControl flow;
    flow.XonXoffIn = true;
    port.SetFlowControl(flow);
    port.SetParity(TParity::paOdd);

    applyControllerLinkDefaults(port);
    EXPECT_EQ(port.DeviceName(), "COM7");
    EXPECT_EQ(port.PortNum(), 7);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS6");
    EXPECT_EQ(port.Baudrate(), TBaudrate::br9600);
    EXPECT_EQ(port.Parity(), TParity::paEven);
    EXPECT_EQ(port.Databits(), TDatabits::db7);
    EXPECT_EQ(port.Stopbits(), TStopbits::sb2);
    EXPECT_EQ(port.FlowControl(), TFlowControl{});
    EXPECT_FALSE(port.Active());
}

}  // namespace
}  // namespace lumas
