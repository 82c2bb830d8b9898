// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The controller's side of CompoWay/F framing: checking a received command frame and building the
// reply frame. Kept apart from the program's own frame codec on purpose, so that a fault in one
// cannot hide the same fault in the other.
namespace lumas::sim {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';

// End codes of a reply frame.
inline constexpr std::string_view kEndNormal = "00";
inline constexpr std::string_view kEndBccError = "13";
inline constexpr std::string_view kEndFormatError = "14";
inline constexpr std::string_view kEndSubAddressError = "16";
inline constexpr std::string_view kEndFrameLengthError = "18";

// Exclusive-or of every character after the first (the STX) up to the end of `text`.
char blockCheck(std::string_view text);

// A command frame as the controller reads it.
struct CommandFrame {
    std::string nodeText;             // the two characters after STX
    std::string endCode{kEndNormal};  // "00" when the frame can be executed
    std::string commandText;          // MRC, SRC and parameters; set when endCode is "00"
};

// Reads a complete frame (STX through ETX and its BCC). Returns nothing when the frame is too short
// to carry a node number, so that no controller can tell it is meant for it. `overlong` says that
// the frame was cut because it exceeded the receive buffer.
std::optional<CommandFrame> readCommandFrame(std::string_view frame, bool overlong);

// STX, node, sub-address "00", end code, the response text (MRC, SRC, response code and data; empty
// for the short reply to a frame that could not be read), ETX and the BCC.
std::string replyFrame(std::string_view nodeText, std::string_view endCode,
                       std::string_view responseText);

}  // namespace lumas::sim
