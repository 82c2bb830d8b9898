// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <array>
#include <cstdint>

#include "serial/com_port.h"

namespace lumas {

// A line configuration as Linux's termios2 holds it, kept as a plain value: the four flag words,
// the line discipline, the control characters and the input and output rates in bits per second.
struct TermiosValue {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::array<std::uint8_t, 19> cc{};
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;
    bool operator==(const TermiosValue&) const = default;
};

// Rate bits of cflag: kOutputRateMask and kInputRateMask hold the rate codes; kCustomRate (the
// kernel's BOTHER) in a code says that ospeed/ispeed carry the rate in bits per second, which is
// how every rate, standard or not, is set here.
inline constexpr std::uint32_t kOutputRateMask = 0x0000100f;
inline constexpr std::uint32_t kInputRateMask = 0x100f0000;
inline constexpr std::uint32_t kCustomRate = 0x00001000;
inline constexpr unsigned kInputRateShift = 16;

// What the port's properties ask of the line.
struct LineSettings {
    int bitsPerSecond = 0;
    TDatabits databits = TDatabits::db8;
    TParity parity = TParity::paNone;
    TStopbits stopbits = TStopbits::sb1;
    TFlowControl flow;
    TEventChars chars;
    TComOptions options;
};

// `current` with the settings applied: raw binary mode (no echo, no line editing, no output
// processing, no signals), receiver on, modem status ignored for opening, reads that return at
// once with what is waiting (VMIN 0, VTIME 0), and the rate, framing, flow control and XON/XOFF
// characters of `settings`. The line discipline and the unused control characters of `current`
// are kept. Raises "Error writing dcb (%d), %s" with EINVAL for what Linux cannot do: 4 data
// bits, 1.5 stop bits, or a rate that is not positive.
TermiosValue buildLineConfig(const TermiosValue& current, const LineSettings& settings);

// Modem-line bits (TIOCM_DTR, TIOCM_RTS) to raise and to lower after configuring the line.
// A line the driver drives itself (RTS under CTS/RTS handshake) is in neither.
struct ModemLineChange {
    int raise = 0;
    int lower = 0;
    bool operator==(const ModemLineChange&) const = default;
};
ModemLineChange modemLinesFor(const TFlowControl& flow);

// The device side, through TCGETS2/TCSETS2 and TIOCMBIS/TIOCMBIC. Each returns 0 or the errno of
// the failed call.
int readLineConfig(int fd, TermiosValue& value);
int writeLineConfig(int fd, const TermiosValue& value);
// Devices without modem lines (a pseudo-terminal, for one) are not an error here.
int applyModemLines(int fd, const ModemLineChange& change);

}  // namespace lumas
