// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The CompoWay/F frame text: building command frames, the block check character, putting replies
// together from the chunks the serial port delivers, and splitting a reply into its fields.
namespace lumas::compoway {

inline constexpr char STX = '\x02';
inline constexpr char ETX = '\x03';

// Exclusive-or of the character codes from the second character to the last; 0 for texts shorter
// than two characters.
char GetBCC(std::string_view text);

// STX, node number text, sub-address "00", SID "0", the command text, ETX and the BCC.
std::string BuildFrame(std::string_view nodeNumberText, std::string_view commandText);

// The driver error code of a reply's end code (characters 6 and 7): "00" gives 0, "0F" 315, two
// decimal digits n give 300 + n; anything else (undefined by CompoWay/F) gives 399.
int CheckEndCode(std::string_view frame);

// The node number as it is kept: its absolute value and the text used in frames (the last two
// decimal digits, zero-padded).
struct NodeNumber {
    int value = 0;
    std::string text = "00";
};
NodeNumber MakeNodeNumber(int requested);

// The fields of one reply frame.
struct ReplyFields {
    int errorCode = 0;        // CheckEndCode
    std::string command;      // MRC and SRC, characters 8 to 11
    int responseCode = 0;     // characters 12 to 15; 0 is normal completion
    std::string commandText;  // the data between the response code and ETX
};
// Splits a frame (STX through ETX plus its BCC) whose BCC has been checked.
ReplyFields SplitReply(std::string_view frame);

// The response code field read as a number: digits read as decimal (1001 gives 1001); a code with
// hexadecimal letters (110B) gives 0x10000 plus its hexadecimal value; any other text 0x20000.
// Every reading of a code other than "0000" is greater than 0.
int ResponseCodeValue(std::string_view field);

// One reply taken out of the receive buffer.
struct ReceivedFrame {
    std::string frame;  // STX through ETX plus the BCC
    bool bccOk = false;
};

// The receive buffer (RawString): collects chunks until a reply is complete.
//
// A chunk that begins with STX starts a new reply and drops a partial one, except when the buffer
// holds a reply that lacks only its BCC: then the chunk's first byte is that BCC (which may have
// the value of STX). Each complete reply is taken out of the buffer once, so a reply is never
// processed twice and a second reply that arrived in the same chunk is kept for the next take.
class ReceiveBuffer {
  public:
    // Adds a chunk; returns whether the buffer now holds an ETX (the end of a reply has arrived).
    bool add(std::string_view chunk);
    // Takes the next complete reply out of the buffer; bytes before its STX are dropped.
    std::optional<ReceivedFrame> take();
    const std::string& contents() const { return raw_; }

  private:
    bool awaitsBcc() const;
    std::string raw_;
};

}  // namespace lumas::compoway
