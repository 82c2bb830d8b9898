// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "protocol/command_set.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace lumas {

namespace commandset {

namespace {

[[noreturn]] void notAnInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}

// The variable type of a row: 8x for the word form, Cx for the double word.
std::string typeText(const Variable& row, Width width) {
    const int type = 0x80 | static_cast<int>(row.area) | (width == Width::DoubleWord ? 0x40 : 0);
    return hexDigits(type, 2);
}

std::string addressedText(std::string_view mrcSrc, const Variable& row, Width width) {
    return std::string(mrcSrc) + typeText(row, width) + hexDigits(row.address, 4) + "00" + "0001";
}

// Two rows of one name, or for one variable or command, would leave all but the first unused.
consteval bool rowsAreDistinct() {
    for (std::size_t i = 0; i < kVariableCount; ++i) {
        for (std::size_t j = i + 1; j < kVariableCount; ++j) {
            const Variable& a = kVariables[i];
            const Variable& b = kVariables[j];
            if (a.name == b.name || (a.area == b.area && a.address == b.address)) {
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < std::size(kOperations); ++i) {
        for (std::size_t j = i + 1; j < std::size(kOperations); ++j) {
            const Operation& a = kOperations[i];
            const Operation& b = kOperations[j];
            if (a.name == b.name || (a.code == b.code && a.information == b.information)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(rowsAreDistinct(), "a variable or operation command has two rows");

}  // namespace

std::size_t slotOf(const Variable& row) {
    for (std::size_t i = 0; i < kVariableCount; ++i) {
        if (&kVariables[i] == &row) {
            return i;
        }
    }
    return kVariableCount;
}

std::string readText(const Variable& row) {
    return addressedText("0101", row, Width::Word);
}

std::string writeText(const Variable& row, std::string_view value) {
    return addressedText("0102", row, row.width) + std::string(value);
}

std::int32_t hexNumber(const std::string& text) {
    if (text.empty() || text.size() > 8) {
        notAnInteger(text);
    }
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0'
                          : (c >= 'A' && c <= 'F')                         ? c - 'A' + 10
                          : (c >= 'a' && c <= 'f')                         ? c - 'a' + 10
                                                                           : -1;
        if (digit < 0) {
            notAnInteger(text);
        }
        value = (value << 4U) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t decimalNumber(const std::string& text) {
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size()) {
        notAnInteger(text);
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            notAnInteger(text);
        }
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) {
            notAnInteger(text);
        }
    }
    return static_cast<std::int32_t>(text[0] == '-' ? -value : value);
}

std::string hexDigits(std::int64_t value, int minDigits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*X", minDigits, static_cast<std::uint32_t>(value));
    return text;
}

double decodeValue(Decoding decoding, const std::string& data) {
    switch (decoding) {
        case Decoding::SignedTenths:
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(hexNumber(data))) / 10.0;
        case Decoding::Decimal:
            return decimalNumber(data);
        case Decoding::Hexadecimal:
            return hexNumber(data);
        case Decoding::Flag:
            return hexNumber(data) != 0 ? 1.0 : 0.0;
        case Decoding::DecimalLowByte:
            return decimalNumber(data) & 0xFF;
        case Decoding::StatusWord: {
            const std::int32_t a = hexNumber(data.substr(0, 2));
            const std::int32_t b = hexNumber(data.size() > 2 ? data.substr(2, 2) : std::string());
            return a * 256 + b;
        }
    }
    return 0.0;
}

std::string operationText(const Operation& row) {
    return operationText(row, hexDigits(row.information, 2));
}

std::string operationText(const Operation& row, std::string_view information) {
    return "3005" + hexDigits(row.code, 2) + std::string(information);
}

}  // namespace commandset

namespace {

std::int64_t roundedTenths(double value) {
    return static_cast<std::int64_t>(std::nearbyint(value * 10.0));
}

}  // namespace

std::string setPointValueText(double temperature, double* clampedOut) {
    if (!(temperature >= -70.0)) {
        temperature = -70.0;
    }
    if (temperature > 400.0) {
        temperature = 400.0;
    }
    if (clampedOut != nullptr) {
        *clampedOut = temperature;
    }
    return commandset::hexDigits(roundedTenths(temperature), 8);
}

std::string tenthsValueText(double value) {
    return commandset::hexDigits(roundedTenths(value), 4);
}

}  // namespace lumas
