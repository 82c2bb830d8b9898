// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

// The controller's command set as data: the variables the driver reads and writes and the
// operation commands it sends, the command texts they go out as, and how a read reply's data
// become a value. The driver (TOmronCom) sends and decodes by looking rows up here; a new
// variable is one row of kVariables.
namespace lumas {

// A reply whose data cannot be read as the number its request expects.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace commandset {

// The area a variable lives in: the low bits of its variable type.
enum class Area : std::uint8_t {
    Monitor = 0x00,    // monitor values; the controller refuses writes
    Operation = 0x01,  // operation and adjustment
    Setup = 0x03,      // setup area 1; written only after MoveToSetupArea1
};

// The form a variable is written in: a word (type 8x, four hexadecimal digits) or a double word
// (type Cx, eight). Reads always ask for the word form, whose four digits the decodings expect.
enum class Width : std::uint8_t { Word, DoubleWord };

// How the data of a read reply become the variable's value.
enum class Decoding : std::uint8_t {
    SignedTenths,    // hexadecimal, low 16 bits signed, divided by 10: 00FA 25.0, FF9C -10.0
    Decimal,         // a decimal number: 0003 gives 3
    Hexadecimal,     // a hexadecimal number, signed 32-bit: 012C gives 300
    Flag,            // hexadecimal; 1 when it is not 0
    DecimalLowByte,  // a decimal number, its low 8 bits
    StatusWord,      // two hexadecimal bytes a and b as a * 256 + b (see kStatus* below)
};

struct Variable {
    std::string_view name;  // how the driver names it: variable("SLH")
    Area area;
    std::uint16_t address;
    Width width;
    Decoding decoding;
};

// Every variable the driver reads or writes. A read of a row is sent as readText(row) and its
// reply's value lands in the driver's slot for the row (TOmronCom::VariableValue).
inline constexpr Variable kVariables[] = {
    {"SetPoint", Area::Operation, 0x0003, Width::DoubleWord, Decoding::SignedTenths},
    {"SP0", Area::Operation, 0x000E, Width::DoubleWord, Decoding::SignedTenths},
    {"SP1", Area::Operation, 0x000F, Width::DoubleWord, Decoding::SignedTenths},
    {"SP2", Area::Operation, 0x0010, Width::DoubleWord, Decoding::SignedTenths},
    {"SP3", Area::Operation, 0x0011, Width::DoubleWord, Decoding::SignedTenths},
    {"SP4", Area::Operation, 0x0035, Width::DoubleWord, Decoding::SignedTenths},
    {"SP5", Area::Operation, 0x0036, Width::DoubleWord, Decoding::SignedTenths},
    {"SP6", Area::Operation, 0x0037, Width::DoubleWord, Decoding::SignedTenths},
    {"SP7", Area::Operation, 0x0038, Width::DoubleWord, Decoding::SignedTenths},
    {"SLH", Area::Setup, 0x0005, Width::Word, Decoding::SignedTenths},
    {"SLL", Area::Setup, 0x0006, Width::Word, Decoding::SignedTenths},
    {"ActiveMSPn", Area::Monitor, 0x000C, Width::Word, Decoding::Decimal},
    {"MultiSPTotal", Area::Setup, 0x001A, Width::Word, Decoding::Decimal},
    {"StatusLeft", Area::Monitor, 0x0012, Width::Word, Decoding::StatusWord},
    {"ControlMethod", Area::Setup, 0x0007, Width::Word, Decoding::Flag},
    {"SoakTimeRemaining", Area::Monitor, 0x0009, Width::Word, Decoding::Hexadecimal},
    {"SoakTime", Area::Operation, 0x0020, Width::Word, Decoding::Hexadecimal},
    {"TemperatureUnit", Area::Setup, 0x0004, Width::Word, Decoding::Flag},
    {"SoakTimeUnit", Area::Setup, 0x0054, Width::Word, Decoding::DecimalLowByte},
    {"RampSetValue", Area::Operation, 0x0025, Width::Word, Decoding::SignedTenths},
    {"RampFallValue", Area::Operation, 0x003C, Width::Word, Decoding::SignedTenths},
    {"ProgramPattern", Area::Setup, 0x0053, Width::Word, Decoding::DecimalLowByte},
};
inline constexpr std::size_t kVariableCount = std::size(kVariables);

// Bits of the StatusLeft value: the first byte's bit 0 (stopped) and bit 1 (communications
// writing on), the second byte's bit 7 (auto-tuning).
inline constexpr int kStatusStopped = 0x0100;
inline constexpr int kStatusCommunicationsWriting = 0x0200;
inline constexpr int kStatusAutoTuning = 0x0080;

// The row of `table` named `name`; in a constant expression, a name that is no row does not
// compile.
template <typename Row, std::size_t N>
consteval const Row& rowNamed(const Row (&table)[N], std::string_view name) {
    for (const Row& row : table) {
        if (row.name == name) {
            return row;
        }
    }
    throw std::invalid_argument("no such row in the command set");
}

// The row of the variable named `name`; a name that is no row does not compile.
consteval const Variable& variable(std::string_view name) {
    return rowNamed(kVariables, name);
}

// The row's position in kVariables, or kVariableCount for a variable that is no row of it.
std::size_t slotOf(const Variable& row);

// "0101", the variable type of the word form, the address, bit position "00", one element.
std::string readText(const Variable& row);
// "0102", the variable type of the row's width, the address, "00", one element, `value`.
std::string writeText(const Variable& row, std::string_view value);

// The value of a read reply's data; raises EConvertError when the data cannot be one.
double decodeValue(Decoding decoding, const std::string& data);

// The text read as a hexadecimal number into a signed 32-bit integer; raises EConvertError.
std::int32_t hexNumber(const std::string& text);
// The text read as a decimal number (an optional sign, then digits) into a signed 32-bit
// integer; raises EConvertError.
std::int32_t decimalNumber(const std::string& text);
// Uppercase hexadecimal digits of the value's low 32 bits, at least `minDigits` of them.
std::string hexDigits(std::int64_t value, int minDigits);

// An operation command: "3005", the command code and the related information.
struct Operation {
    std::string_view name;     // how the driver names it: operation("Run")
    std::uint8_t code;         // command code
    std::uint8_t information;  // related information; SelectMultiSP sends the caller's instead
    // Sent as the request awaited at the time (a counted one while that is counted) instead of
    // as a write.
    bool keepsAwaited;
    std::chrono::milliseconds pause;  // waited before the command is sent
};

inline constexpr Operation kOperations[] = {
    {"WriteEnable", 0x00, 0x01, false, std::chrono::milliseconds(50)},
    {"Run", 0x01, 0x00, false, std::chrono::milliseconds(0)},
    {"Stop", 0x01, 0x01, false, std::chrono::milliseconds(0)},
    {"SelectMultiSP", 0x02, 0x00, false, std::chrono::milliseconds(0)},
    {"SoftwareReset", 0x06, 0x00, false, std::chrono::milliseconds(0)},
    {"MoveToSetupArea1", 0x07, 0x00, false, std::chrono::milliseconds(0)},
    {"NotInvertDirect", 0x0E, 0x00, true, std::chrono::milliseconds(0)},
    {"InvertDirect", 0x0E, 0x01, true, std::chrono::milliseconds(0)},
    {"ProgramReset", 0x11, 0x00, false, std::chrono::milliseconds(0)},
    {"ProgramStart", 0x11, 0x01, false, std::chrono::milliseconds(0)},
};

// The row of the operation command named `name`; a name that is no row does not compile.
consteval const Operation& operation(std::string_view name) {
    return rowNamed(kOperations, name);
}

// "3005", the code and the row's related information, two hexadecimal digits each.
std::string operationText(const Operation& row);
// "3005", the code, then `information` as it is given.
std::string operationText(const Operation& row, std::string_view information);

}  // namespace commandset

// The set-point value of a write: clamped to -70..400 (a value that is not a number gives -70),
// in tenths rounded half to even, as eight hexadecimal digits of its 32-bit two's complement.
std::string setPointValueText(double temperature, double* clampedOut = nullptr);
// A value in tenths, rounded half to even, as at least four hexadecimal digits.
std::string tenthsValueText(double value);

}  // namespace lumas
