// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>

#include "protocol/frame_codec.h"

namespace lumas::test {

// A reply frame as the controller at node 01 sends it.
inline std::string replyFrame(const std::string& endCode, const std::string& command,
                              const std::string& responseCode, const std::string& data) {
    std::string frame;
    frame += compoway::STX;
    frame += "0100" + endCode + command + responseCode + data;
    frame += compoway::ETX;
    frame += compoway::GetBCC(frame);
    return frame;
}

inline std::string okReply(const std::string& command, const std::string& data) {
    return replyFrame("00", command, "0000", data);
}

// The short reply to a frame the controller could not take in: it ends after the end code.
inline std::string shortErrorReply(const std::string& endCode) {
    std::string frame;
    frame += compoway::STX;
    frame += "0100" + endCode;
    frame += compoway::ETX;
    frame += compoway::GetBCC(frame);
    return frame;
}

}  // namespace lumas::test
