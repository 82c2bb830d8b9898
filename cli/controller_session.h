// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <string>

#include "cli/exit_status.h"
#include "core/controller_link.h"
#include "protocol/omron_com.h"
#include "serial/com_port.h"

namespace lumas::cli {

// One conversation with the controller on one port, from the command line: opens the port with
// the controller link's default line settings, runs the connect phase, and sends requests one at a
// time, each waiting (on the event loop, a few seconds at most) for its reply. Runs on the
// application's thread.
class ControllerSession {
  public:
    // `replyTimeout` bounds each wait for a reply.
    ControllerSession(const std::string& portName, std::chrono::milliseconds replyTimeout);
    ~ControllerSession();

    // Opens the port and waits for the echo test. Throws SessionError when the port cannot be
    // opened or the controller does not answer; returns whether the echo data came back intact.
    bool connect();

    // Switches communications writing on, as the connect sequence of the program does.
    void enableWriting();

    // Sends one request through `send` and waits for its reply; throws SessionError when none
    // comes. `what` names the request in the message.
    template <typename Send>
    void request(const std::string& what, Send&& send) {
        driver_.SetAllowToSend(false);
        send(driver_);
        awaitReply(what);
    }

    // Throws SessionError unless the last reply reported normal completion.
    void requireAccepted(const std::string& what) const;

    TOmronCom& driver() { return driver_; }
    const std::string& devicePath() const { return devicePath_; }

  private:
    void awaitReply(const std::string& what);

    ControllerLink link_;
    TComPort& port_ = link_.port;
    TOmronCom& driver_ = link_.driver;
    std::string devicePath_;
    std::chrono::milliseconds replyTimeout_;
};

// "23.4 °C"; one decimal, as the read-outs show it.
std::string formatTemperature(double celsius);

}  // namespace lumas::cli
