// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/com_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "serial/port_discovery.h"

namespace lumas {

namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The field's text as a whole number, or 0 when it is not one.
int wholeNumberOr0(const std::string& text) {
    if (text.empty() || text.size() > 10) {
        return 0;
    }
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value > 0x7FFFFFFF || value < -0x7FFFFFFF) {
        return 0;
    }
    return static_cast<int>(value);
}

}  // namespace

const std::vector<std::string>& baudRateItems() {
    static const std::vector<std::string> items = {
        "user",  "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
        "14400", "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    return items;
}

TComConfigForm loadComConfigForm(const TCustomComPort& port, std::vector<std::string> portNames) {
    TComConfigForm form;
    form.ports = std::move(portNames);
    // A name whose number no longer matches PortNum was chosen before PortNum was set otherwise.
    const std::string& chosen = port.PortName();
    if (!chosen.empty() && portNumberOfName(chosen) == port.PortNum()) {
        const auto listed = std::find(form.ports.begin(), form.ports.end(), chosen);
        if (listed != form.ports.end()) {
            form.portIndex = static_cast<int>(listed - form.ports.begin());
        }
    }
    const std::string wanted = "COM" + std::to_string(port.PortNum());
    for (std::size_t i = 0; i < form.ports.size() && form.portIndex < 0; ++i) {
        // "COM7" as listed, or the device it names (ttyS6) as Linux lists it.
        if (sameNameIgnoringCase(form.ports[i], wanted) ||
            (port.PortNum() > 0 && portNumberOfName(form.ports[i]) == port.PortNum())) {
            form.portIndex = static_cast<int>(i);
        }
    }
    if (form.portIndex < 0 && !form.ports.empty()) {
        form.portIndex = 0;
    }
    form.baudIndex = static_cast<int>(port.Baudrate());
    form.stopBitsIndex = static_cast<int>(port.Stopbits());
    form.parityIndex = static_cast<int>(port.Parity());
    form.dataBitsIndex = static_cast<int>(port.Databits());
    form.userBaudText = std::to_string(port.UserBaudrate());
    form.userBaudVisible = port.Baudrate() == TBaudrate::brUser;
    const TFlowControl& flow = port.FlowControl();
    if (flow.XonXoffOut || flow.XonXoffIn) {
        form.flowMode = TFlowMode::fmXonXoff;
    }
    if (flow.ControlDtr == TControlDtr::dtrEnabled || flow.ControlRts == TControlRts::rtsEnabled) {
        form.flowMode = TFlowMode::fmDtrRts;  // tested last: it wins
    }
    return form;
}

void BAUDRATESChange(TComConfigForm& form) {
    form.userBaudVisible = form.baudIndex == 0;
}

std::optional<std::string> comConfigFormRefusal(const TComConfigForm& form) {
    if (form.stopBitsIndex == static_cast<int>(TStopbits::sb15)) {
        return "1.5 stop bits cannot be set on this system. Choose 1 or 2 stop bits.";
    }
    return std::nullopt;
}

void applyComConfigForm(const TComConfigForm& form, TCustomComPort& port) {
    const bool selected =
        form.portIndex >= 0 && form.portIndex < static_cast<int>(form.ports.size());
    const std::string name =
        selected ? form.ports[static_cast<std::size_t>(form.portIndex)] : std::string();
    port.SetPortNum(portNumberOfName(name));
    port.SetPortName(name);
    port.SetBaudrate(static_cast<TBaudrate>(form.baudIndex));
    port.SetStopbits(static_cast<TStopbits>(form.stopBitsIndex));
    port.SetDatabits(static_cast<TDatabits>(form.dataBitsIndex));
    port.SetParity(static_cast<TParity>(form.parityIndex));
    if (form.baudIndex == 0) {
        port.SetUserBaudrate(wholeNumberOr0(form.userBaudText));
    }
    TFlowControl flow = port.FlowControl();
    flow.ControlDtr =
        form.flowMode == TFlowMode::fmDtrRts ? TControlDtr::dtrEnabled : TControlDtr::dtrDisabled;
    flow.ControlRts =
        form.flowMode == TFlowMode::fmDtrRts ? TControlRts::rtsEnabled : TControlRts::rtsDisabled;
    flow.XonXoffOut = form.flowMode == TFlowMode::fmXonXoff;
    flow.XonXoffIn = form.flowMode == TFlowMode::fmXonXoff;
    port.SetFlowControl(flow);
}

bool TComConfigDialog::Execute() {
    if (Comm == nullptr) {
        throw std::logic_error("No TComPort instance assigned.");
    }
    std::vector<std::string> names;
    Comm->GetComPortNames(names);
    TComConfigForm form = loadComConfigForm(*Comm, std::move(names));
    if (!runForm || !runForm(form)) {
        return false;
    }
    applyComConfigForm(form, *Comm);
    return true;
}

}  // namespace lumas
