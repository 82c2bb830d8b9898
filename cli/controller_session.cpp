// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/controller_session.h"

#include <cstdio>

#include "threading/event_wait.h"

namespace lumas::cli {

ControllerSession::ControllerSession(const std::string& portName,
                                     std::chrono::milliseconds replyTimeout)
    : replyTimeout_(replyTimeout) {
    port_.SetDeviceName(portName);
    devicePath_ = port_.DevicePath();
    // One exchange and the process ends: nothing opens the device again after the close, so the
    // pause that lets it settle for a new open is not waited.
    port_.SetCloseSettle(std::chrono::milliseconds(0));
}

ControllerSession::~ControllerSession() {
    driver_.ClosePort();
}

bool ControllerSession::connect() {
    // The driver opens the port and keeps the port's own reason when it cannot.
    if (driver_.OpenPort() != 0) {
        const auto failure = driver_.LastPortFailure();
        throw SessionError(
            failure ? failure->message : "The port " + devicePath_ + " could not be used.",
            kExitPort);
    }
    // The echo reply confirms the controller (or not); the driver then reads the set point.
    const bool answered = serveEventsUntil(
        [this] { return driver_.StatusOk() || driver_.ErrorCode() != 0; }, replyTimeout_);
    if (!answered) {
        throw SessionError("The controller on " + devicePath_ +
                               " did not answer the echo test. Check the cable, the line settings "
                               "(9600 bit/s, 7E2) and the node number (1).",
                           kExitController);
    }
    if (driver_.StatusOk()) {
        // Let the connect phase's set-point read come back before anything else is sent.
        serveEventsUntil([this] { return driver_.CommandType() == TOmronCom::kNoRequest; },
                         replyTimeout_);
    }
    return driver_.StatusOk();
}

void ControllerSession::enableWriting() {
    request("switching communications writing on", [](TOmronCom& d) { d.WriteEnable(); });
    requireAccepted("Switching communications writing on");
}

void ControllerSession::awaitReply(const std::string& what) {
    if (!driver_.Connected()) {
        throw SessionError("The port " + devicePath_ + " failed while " + what + ".", kExitPort);
    }
    if (!serveEventsUntil([this] { return driver_.AllowToSend(); }, replyTimeout_)) {
        throw SessionError(
            "The controller on " + devicePath_ + " did not answer when " + what + ".",
            kExitController);
    }
}

void ControllerSession::requireAccepted(const std::string& what) const {
    if (driver_.ErrorCode() != 0 || driver_.ResponseCode() != 0) {
        char codes[64];
        std::snprintf(codes, sizeof codes, " (error %d, response code %04d).", driver_.ErrorCode(),
                      driver_.ResponseCode());
        throw SessionError(what + " was refused by the controller" + codes, kExitController);
    }
}

std::string formatTemperature(double celsius) {
    char text[32];
    std::snprintf(text, sizeof text,
                  "%.1f \xC2\xB0"
                  "C",
                  celsius);
    return text;
}

}  // namespace lumas::cli
