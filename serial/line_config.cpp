// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The kernel's termios2 and its BOTHER rates live in <asm/termbits.h>, whose definitions clash
// with the C library's <termios.h>; this file is the only one that includes it.
#include "serial/line_config.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "serial/os_error.h"

namespace lumas {

static_assert(kOutputRateMask == CBAUD && kInputRateMask == CIBAUD && kCustomRate == BOTHER &&
              kInputRateShift == IBSHIFT);
static_assert(sizeof(TermiosValue::cc) == NCCS);

namespace {

std::uint32_t dataBitsFlag(TDatabits bits) {
    switch (bits) {
        case TDatabits::db5:
            return CS5;
        case TDatabits::db6:
            return CS6;
        case TDatabits::db7:
            return CS7;
        case TDatabits::db8:
            return CS8;
        case TDatabits::db4:
            break;
    }
    // Linux serial lines start at 5 data bits.
    raiseComError("Error writing dcb (%d), %s", EINVAL);
}

std::uint32_t parityFlags(TParity parity) {
    switch (parity) {
        case TParity::paNone:
            return 0;
        case TParity::paOdd:
            return PARENB | PARODD;
        case TParity::paEven:
            return PARENB;
        case TParity::paMark:
            return PARENB | CMSPAR | PARODD;
        case TParity::paSpace:
            return PARENB | CMSPAR;
    }
    return 0;
}

std::uint32_t stopBitsFlag(TStopbits bits) {
    switch (bits) {
        case TStopbits::sb1:
            return 0;
        case TStopbits::sb2:
            return CSTOPB;
        case TStopbits::sb15:
            break;
    }
    // Termios has no 1.5 stop bits. CSTOPB would send 2 (1.5 only on some UARTs, and only with
    // 5 data bits), so the line would differ from the port's setting without anyone knowing.
    raiseComError("Error writing dcb (%d), %s", EINVAL);
}

}  // namespace

TermiosValue buildLineConfig(const TermiosValue& current, const LineSettings& settings) {
    if (settings.bitsPerSecond <= 0) {
        raiseComError("Error writing dcb (%d), %s", EINVAL);
    }
    TermiosValue value = current;

    // Receiver on; modem status lines do not gate opening or reading; no hang-up on close.
    value.cflag = CREAD | CLOCAL;
    value.cflag |= dataBitsFlag(settings.databits);
    value.cflag |= parityFlags(settings.parity);
    value.cflag |= stopBitsFlag(settings.stopbits);
    value.cflag |= BOTHER | (BOTHER << IBSHIFT);
    value.ispeed = static_cast<std::uint32_t>(settings.bitsPerSecond);
    value.ospeed = static_cast<std::uint32_t>(settings.bitsPerSecond);
    // CTS/RTS handshake is one setting on Linux; either side of it switches it on. DSR output
    // flow, DSR sensitivity and transmit-continues-after-XOFF have no termios counterpart.
    if (settings.flow.OutCtsFlow || settings.flow.ControlRts == TControlRts::rtsHandshake) {
        value.cflag |= CRTSCTS;
    }

    // Binary input: no translation, no stripping, no break handling; only the flow control and
    // parity check that were asked for. With INPCK a byte with a parity or framing error is read
    // as NUL, which matches the replacement character 0 of coErrorChar.
    value.iflag = 0;
    if (settings.flow.XonXoffOut) {
        value.iflag |= IXON;
    }
    if (settings.flow.XonXoffIn) {
        value.iflag |= IXOFF;
    }
    if (settings.options.contains(TComOption::coParityCheck)) {
        value.iflag |= INPCK;
    }
    value.oflag = 0;
    value.lflag = 0;

    // The XON/XOFF limits and the error, event and end-of-file characters have no termios
    // counterpart: the kernel keeps its own thresholds and delivers those bytes as data.
    value.cc[VMIN] = 0;
    value.cc[VTIME] = 0;
    value.cc[VSTART] = static_cast<std::uint8_t>(settings.chars.XonChar);
    value.cc[VSTOP] = static_cast<std::uint8_t>(settings.chars.XoffChar);
    return value;
}

ModemLineChange modemLinesFor(const TFlowControl& flow) {
    ModemLineChange change;
    // DTR handshake has no Linux counterpart; DTR is held on so that the far end may send.
    if (flow.ControlDtr == TControlDtr::dtrDisabled) {
        change.lower |= TIOCM_DTR;
    } else {
        change.raise |= TIOCM_DTR;
    }
    if (flow.OutCtsFlow || flow.ControlRts == TControlRts::rtsHandshake) {
        // Under CRTSCTS the driver drives RTS itself.
    } else if (flow.ControlRts == TControlRts::rtsEnabled) {
        change.raise |= TIOCM_RTS;
    } else {
        // rtsDisabled, and rtsToggle: RTS-while-sending exists on Linux only as a driver's
        // RS-485 mode, which this component does not switch on, so RTS is held off.
        change.lower |= TIOCM_RTS;
    }
    return change;
}

int readLineConfig(int fd, TermiosValue& value) {
    termios2 device{};
    if (::ioctl(fd, TCGETS2, &device) != 0) {
        return errno;
    }
    value.iflag = device.c_iflag;
    value.oflag = device.c_oflag;
    value.cflag = device.c_cflag;
    value.lflag = device.c_lflag;
    value.line = device.c_line;
    for (std::size_t i = 0; i < value.cc.size(); ++i) {
        value.cc[i] = device.c_cc[i];
    }
    value.ispeed = device.c_ispeed;
    value.ospeed = device.c_ospeed;
    return 0;
}

int writeLineConfig(int fd, const TermiosValue& value) {
    termios2 device{};
    device.c_iflag = value.iflag;
    device.c_oflag = value.oflag;
    device.c_cflag = value.cflag;
    device.c_lflag = value.lflag;
    device.c_line = value.line;
    for (std::size_t i = 0; i < value.cc.size(); ++i) {
        device.c_cc[i] = value.cc[i];
    }
    device.c_ispeed = value.ispeed;
    device.c_ospeed = value.ospeed;
    return ::ioctl(fd, TCSETS2, &device) == 0 ? 0 : errno;
}

int applyModemLines(int fd, const ModemLineChange& change) {
    const auto setBits = [fd](unsigned long request, int bits) {
        if (bits == 0 || ::ioctl(fd, request, &bits) == 0) {
            return 0;
        }
        const int error = errno;
        return isUnsupportedIoctl(error) ? 0 : error;
    };
    if (const int error = setBits(TIOCMBIS, change.raise); error != 0) {
        return error;
    }
    return setBits(TIOCMBIC, change.lower);
}

}  // namespace lumas
