// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/frame_text.h"

#include <algorithm>

namespace lumas::sim {

namespace {

bool isUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool allUpperHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isUpperHexDigit);
}

// Echoback test data may be any text; every other command is hexadecimal digits only.
constexpr std::string_view kEchoback = "0801";

}  // namespace

char blockCheck(std::string_view text) {
    unsigned char bcc = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        bcc ^= static_cast<unsigned char>(text[i]);
    }
    return static_cast<char>(bcc);
}

std::optional<CommandFrame> readCommandFrame(std::string_view frame, bool overlong) {
    // STX, two node characters, ..., ETX, BCC
    constexpr std::size_t kShortestAddressed = 5;
    if (frame.size() < kShortestAddressed || frame.front() != kStx) {
        return std::nullopt;
    }
    CommandFrame command;
    command.nodeText = std::string(frame.substr(1, 2));
    if (overlong) {
        command.endCode = kEndFrameLengthError;
        return command;
    }
    const std::string_view withoutBcc = frame.substr(0, frame.size() - 1);
    if (withoutBcc.back() != kEtx) {
        command.endCode = kEndFormatError;
        return command;
    }
    if (blockCheck(withoutBcc) != frame.back()) {
        command.endCode = kEndBccError;
        return command;
    }
    // Between the node number and ETX: sub-address (2), SID (1), command text.
    const std::string_view body = withoutBcc.substr(3, withoutBcc.size() - 4);
    if (body.size() < 2 || body.substr(0, 2) != "00") {
        command.endCode = kEndSubAddressError;
        return command;
    }
    constexpr std::size_t kMrcSrcLength = 4;
    if (body.size() < 3 + kMrcSrcLength) {
        command.endCode = kEndFormatError;
        return command;
    }
    const std::string_view text = body.substr(3);
    const std::string_view mrcSrc = text.substr(0, kMrcSrcLength);
    if (!allUpperHex(mrcSrc) || (mrcSrc != kEchoback && !allUpperHex(text))) {
        command.endCode = kEndFormatError;
        return command;
    }
    command.commandText = std::string(text);
    return command;
}

std::string replyFrame(std::string_view nodeText, std::string_view endCode,
                       std::string_view responseText) {
    std::string frame;
    frame.reserve(responseText.size() + 9);
    frame += kStx;
    frame += nodeText;
    frame += "00";
    frame += endCode;
    frame += responseText;
    frame += kEtx;
    frame += blockCheck(frame);
    return frame;
}

}  // namespace lumas::sim
