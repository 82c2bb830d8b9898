// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "serial/com_config.h"
#include "serial/com_port.h"
#include "serial/port_discovery.h"

namespace lumas {
namespace {

namespace fs = std::filesystem;

// A /sys/class/tty look-alike: a tty with `type` set is a UART slot, one with a device folder is
// backed by hardware.
void addTty(const fs::path& root, const std::string& name, bool device, int uartType = -1) {
    fs::create_directories(root / name);
    if (device) {
        fs::create_directories(root / name / "device");
    }
    if (uartType >= 0) {
        std::ofstream(root / name / "type") << uartType << '\n';
    }
}

TEST(PortDiscovery, ListsHardwarePortsBuiltInFirstInNaturalOrder) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    addTty(root, "ttyUSB10", true);
    addTty(root, "ttyS10", true, 4);
    addTty(root, "ttyS1", true, 0);  // an empty UART slot
    addTty(root, "ttyACM0", true);
    addTty(root, "ttyS0", true, 4);
    addTty(root, "ttyUSB2", true);
    addTty(root, "tty1", false);  // a virtual terminal
    addTty(root, "console", false);
    setAdditionalPortNames({"/dev/pts/7", "TTYS0"});
    EXPECT_EQ(discoverSerialPorts(root.string()),
              (std::vector<std::string>{"ttyS0", "ttyS10", "ttyACM0", "ttyUSB2", "ttyUSB10",
                                        "/dev/pts/7"}));
    setAdditionalPortNames({});
    EXPECT_TRUE(discoverSerialPorts((root / "missing").string()).empty());
}

TEST(PortDiscovery, PermissionAdviceOnlyForADeviceThisUserMayNotUse) {
    QTemporaryDir dir;
    const std::string device = dir.filePath("ttyUSB0").toStdString();
    EXPECT_EQ(portPermissionAdvice(device), std::nullopt) << "missing: not a permission matter";
    std::ofstream(device) << "";
    EXPECT_EQ(portPermissionAdvice(device), std::nullopt) << "readable and writable";
    std::filesystem::permissions(device, std::filesystem::perms::none);
    if (::geteuid() != 0) {  // root may open anything, so only others see the advice
        const auto advice = portPermissionAdvice(device);
        ASSERT_TRUE(advice.has_value());
        EXPECT_NE(advice->find(device), std::string::npos);
        EXPECT_NE(advice->find("dialout"), std::string::npos);
    }
}

TEST(PortDiscovery, StableAliasIsTheByIdLinkThatLeadsToTheDevice) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path byId = root / "by-id";
    fs::create_directories(byId);
    std::ofstream(root / "ttyUSB0") << "";
    std::ofstream(root / "ttyUSB1") << "";
    std::ofstream(root / "ttyS0") << "";
    fs::create_symlink(root / "ttyUSB1", byId / "usb-FTDI_other-if00-port0");
    fs::create_symlink("../ttyUSB0", byId / "usb-FTDI_chamber-if00-port0");  // relative, as udev
    const std::string chamber = (byId / "usb-FTDI_chamber-if00-port0").string();
    struct Case {
        std::string device;
        std::optional<std::string> alias;
    };
    const std::vector<Case> cases = {
        {(root / "ttyUSB0").string(), chamber},
        {chamber, chamber},  // chosen by its stable name already
        {(root / "ttyS0").string(), std::nullopt},
        {(root / "ttyUSB9").string(), std::nullopt},  // not there
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stableDeviceAlias(c.device, byId.string()), c.alias) << c.device;
    }
    EXPECT_EQ(stableDeviceAlias((root / "ttyUSB0").string(), (root / "none").string()),
              std::nullopt)
        << "no by-id folder: no alias";
}

TEST(PortDiscovery, PortNumbersOfNames) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"COM12", 12},  {"com3", 3}, {"ttyS0", 1}, {"ttyS11", 12},
        {"ttyUSB0", 0}, {"COM", 0},  {"COMx", 0},  {"/dev/pts/3", 0},
    };
    for (const auto& [name, number] : cases) {
        EXPECT_EQ(portNumberOfName(name), number) << name;
    }
}

class PortConfiguration : public ::testing::Test {
  protected:
    void SetUp() override {
        applyControllerLinkDefaults(port);
        dialog.Comm = &port;
    }

    // Runs the dialog with the operator's actions; returns the form as it was shown.
    TComConfigForm execute(const std::function<bool(TComConfigForm&)>& operatorActions) {
        TComConfigForm shown;
        dialog.runForm = [&](TComConfigForm& form) {
            shown = form;
            return operatorActions(form);
        };
        dialog.Execute();
        return shown;
    }

    TComPort port;
    TComConfigDialog dialog;
};

TEST_F(PortConfiguration, OpensWithTheStartUpValues) {
    const TComConfigForm form = loadComConfigForm(port, {"ttyS0", "COM7", "ttyUSB0"});
    EXPECT_EQ(baudRateItems()[static_cast<std::size_t>(form.baudIndex)], "9600");
    EXPECT_EQ(form.stopBitsIndex, 2);  // "2"
    EXPECT_EQ(form.parityIndex, 2);    // "Even"
    EXPECT_EQ(form.dataBitsIndex, 3);  // "7"
    EXPECT_EQ(form.flowMode, TFlowMode::fmNone);
    EXPECT_FALSE(form.userBaudVisible);
    EXPECT_EQ(form.portIndex, 1);

    EXPECT_EQ(loadComConfigForm(port, {"ttyS0", "ttyS6"}).portIndex, 1) << "ttyS6 is COM7";
    EXPECT_EQ(loadComConfigForm(port, {"ttyUSB0", "ttyUSB1"}).portIndex, 0);
    EXPECT_EQ(loadComConfigForm(port, {}).portIndex, -1);
}

TEST_F(PortConfiguration, UserRateComesAndGoesWithTheUserEntry) {
    execute([](TComConfigForm& form) {
        form.baudIndex = 0;
        BAUDRATESChange(form);
        EXPECT_TRUE(form.userBaudVisible);
        form.userBaudText = "12345";
        form.baudIndex = 7;
        BAUDRATESChange(form);
        EXPECT_FALSE(form.userBaudVisible);
        return true;
    });
    EXPECT_EQ(port.Baudrate(), TBaudrate::br9600);
    EXPECT_EQ(port.UserBaudrate(), 0);

    execute([](TComConfigForm& form) {
        form.baudIndex = 0;
        BAUDRATESChange(form);
        form.userBaudText = "12345";
        return true;
    });
    EXPECT_EQ(port.Baudrate(), TBaudrate::brUser);
    EXPECT_EQ(port.UserBaudrate(), 12345);

    const TComConfigForm reopened = execute([](TComConfigForm& form) {
        form.baudIndex = 7;
        return true;
    });
    EXPECT_EQ(reopened.baudIndex, 0);
    EXPECT_TRUE(reopened.userBaudVisible);
    EXPECT_EQ(reopened.userBaudText, "12345");
    EXPECT_EQ(port.Baudrate(), TBaudrate::br9600);
    EXPECT_EQ(port.UserBaudrate(), 0);

    execute([](TComConfigForm& form) {
        form.baudIndex = 0;
        form.userBaudText = "fast";
        return true;
    });
    EXPECT_EQ(port.UserBaudrate(), 0) << "not a whole number";
}

TEST_F(PortConfiguration, DtrRtsWinsAndOkAppliesItsMode) {
    TFlowControl flow;
    flow.ControlDtr = TControlDtr::dtrEnabled;
    flow.XonXoffIn = true;
    port.SetFlowControl(flow);
    const TComConfigForm shown = execute([](TComConfigForm&) { return true; });
    EXPECT_EQ(shown.flowMode, TFlowMode::fmDtrRts);
    EXPECT_EQ(port.FlowControl().ControlRts, TControlRts::rtsEnabled);
    EXPECT_FALSE(port.FlowControl().XonXoffIn);

    execute([](TComConfigForm& form) {
        form.flowMode = TFlowMode::fmXonXoff;
        return true;
    });
    EXPECT_EQ(port.FlowControl().ControlDtr, TControlDtr::dtrDisabled);
    EXPECT_TRUE(port.FlowControl().XonXoffOut && port.FlowControl().XonXoffIn);
}

TEST_F(PortConfiguration, CancelChangesNothingAndOkWritesOnlyThePortNumber) {
    execute([](TComConfigForm& form) {
        form.baudIndex = 13;
        form.parityIndex = 0;
        form.ports = {"COM5"};
        form.portIndex = 0;
        return false;
    });
    EXPECT_EQ(port.Baudrate(), TBaudrate::br9600);
    EXPECT_EQ(port.Parity(), TParity::paEven);
    EXPECT_EQ(port.PortNum(), 7);

    execute([](TComConfigForm& form) {
        form.ports = {"COM5"};
        form.portIndex = 0;
        return true;
    });
    EXPECT_EQ(port.PortNum(), 5);
    EXPECT_EQ(port.DeviceName(), "COM7") << "the device is chosen in the port selection dialog";

    execute([](TComConfigForm& form) {
        form.ports.clear();
        form.portIndex = -1;
        return true;
    });
    EXPECT_EQ(port.PortNum(), 0);
}

TEST_F(PortConfiguration, TheChosenPortIsPreselectedNextTimeWhateverItsKind) {
    // Every kind of name the list can show. ttyS6 and COM7 share port number 7, ttyACM0 and the
    // USB ports have none at all; a USB adapter may come back at another place in the list.
    const std::vector<std::string> listed = {"ttyS0",   "ttyS6", "ttyACM0", "ttyUSB0",
                                             "ttyUSB1", "COM7",  "COM12",   "/dev/pts/3"};
    std::vector<std::string> reordered(listed.rbegin(), listed.rend());
    reordered.insert(reordered.begin(), "ttyUSB2");
    const std::vector<std::pair<std::string, int>> cases = {
        {"ttyS0", 1},   {"ttyS6", 7}, {"ttyACM0", 0}, {"ttyUSB0", 0},
        {"ttyUSB1", 0}, {"COM7", 7},  {"COM12", 12},  {"/dev/pts/3", 0},
    };
    for (const auto& [name, portNum] : cases) {
        SCOPED_TRACE(name);
        TComPort chosen;
        applyControllerLinkDefaults(chosen);
        TComConfigForm form = loadComConfigForm(chosen, listed);
        form.portIndex =
            static_cast<int>(std::find(listed.begin(), listed.end(), name) - listed.begin());
        applyComConfigForm(form, chosen);
        EXPECT_EQ(chosen.PortNum(), portNum) << "COMn and ttySn keep their port number";

        for (const auto& names : {listed, reordered}) {
            const TComConfigForm reopened = loadComConfigForm(chosen, names);
            ASSERT_GE(reopened.portIndex, 0);
            EXPECT_EQ(names[static_cast<std::size_t>(reopened.portIndex)], name);
        }
    }
}

TEST_F(PortConfiguration, WithoutAUsableNameThePortNumberChooses) {
    const std::vector<std::string> listed = {"ttyUSB0", "ttyUSB1", "COM12", "ttyS2"};
    struct Case {
        const char* what;
        std::string portName;
        int portNum;
        int preselected;
    };
    const std::vector<Case> cases = {
        {"only a number, as the port starts", "", 12, 2},
        {"a name set before the number changed", "ttyUSB1", 12, 2},
        {"a name no longer listed", "ttyACM0", 0, 0},
        {"a listed name with a stale number", "ttyUSB1", 5, 0},
    };
    for (const Case& c : cases) {
        port.SetPortName(c.portName);
        port.SetPortNum(c.portNum);
        EXPECT_EQ(loadComConfigForm(port, listed).portIndex, c.preselected) << c.what;
    }
}

TEST(PortConfigurationForm, RefusesWhatTheLineCannotDo) {
    TComConfigForm form;
    for (const TStopbits bits : {TStopbits::sb1, TStopbits::sb2}) {
        form.stopBitsIndex = static_cast<int>(bits);
        EXPECT_EQ(comConfigFormRefusal(form), std::nullopt);
    }
    form.stopBitsIndex = static_cast<int>(TStopbits::sb15);
    EXPECT_EQ(comConfigFormRefusal(form),
              "1.5 stop bits cannot be set on this system. Choose 1 or 2 stop bits.");
}

TEST(PortConfigurationDialog, NeedsAPort) {
    TComConfigDialog dialog;
    try {
        dialog.Execute();
        FAIL() << "no exception";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "No TComPort instance assigned.");
    }
}

}  // namespace
}  // namespace lumas
