// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/controller_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace lumas::sim {

namespace {

// What a variable address holds.
enum class Kind {
    ProcessValue,         // tenths
    SoakTimeRemaining,    // always 0: no programme runs in the simulator
    ActiveMultiSetPoint,  // number of the active set point
    DecimalPoint,         // 1: one decimal place
    Status,               // status word
    SetPoint,             // the active set point, tenths
    MultiSetPoint,        // SP0..SP7, tenths
    Stored,               // a parameter kept as written
};

// Variable areas: monitor values (types 80 and C0, read-only), operation and adjustment (81, C1),
// setup area 1 (83, C3).
constexpr int kMonitorArea = 0;
constexpr int kOperationArea = 1;
constexpr int kSetupArea = 3;

constexpr int kSetPointUpperLimit = 0x0005;  // SLH, setup area
constexpr int kSetPointLowerLimit = 0x0006;  // SLL, setup area
constexpr int kMultiSetPointUses = 0x001A;   // setup area

constexpr std::size_t kCompositeReadMaxItems = 20;
constexpr std::size_t kEchoDataMaxLength = 200;

// Status word bits: first byte bit 0 stop, bit 1 communications writing; second byte bit 7 AT.
constexpr int kStatusStopped = 0x0100;
constexpr int kStatusCommunicationsWriting = 0x0200;
constexpr int kStatusAutoTuning = 0x0080;

std::optional<std::uint32_t> parseHex(std::string_view text) {
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string hexText(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

int tenthsOf(double celsius) {
    return static_cast<int>(std::lround(celsius * 10.0));
}

CommandResult failure(std::string_view responseCode) {
    return CommandResult{std::string(responseCode), {}};
}

struct Variable {
    int area;
    int address;
    Kind kind;
    int argument;  // SPn of a MultiSetPoint; the initial value of a Stored parameter
};

// Every variable the controller answers for. Temperatures in tenths.
constexpr Variable kVariables[] = {
    {kMonitorArea, 0x0000, Kind::ProcessValue, 0},
    {kMonitorArea, 0x0009, Kind::SoakTimeRemaining, 0},
    {kMonitorArea, 0x000C, Kind::ActiveMultiSetPoint, 0},
    {kMonitorArea, 0x000E, Kind::DecimalPoint, 0},
    {kMonitorArea, 0x0012, Kind::Status, 0},
    {kOperationArea, 0x0003, Kind::SetPoint, 0},
    {kOperationArea, 0x000E, Kind::MultiSetPoint, 0},
    {kOperationArea, 0x000F, Kind::MultiSetPoint, 1},
    {kOperationArea, 0x0010, Kind::MultiSetPoint, 2},
    {kOperationArea, 0x0011, Kind::MultiSetPoint, 3},
    {kOperationArea, 0x0035, Kind::MultiSetPoint, 4},
    {kOperationArea, 0x0036, Kind::MultiSetPoint, 5},
    {kOperationArea, 0x0037, Kind::MultiSetPoint, 6},
    {kOperationArea, 0x0038, Kind::MultiSetPoint, 7},
    {kOperationArea, 0x0020, Kind::Stored, 0},  // soak time
    {kOperationArea, 0x0025, Kind::Stored, 0},  // SP ramp set value
    {kOperationArea, 0x003C, Kind::Stored, 0},  // SP ramp fall value
    {kSetupArea, 0x0004, Kind::Stored, 0},      // temperature unit: 0 Celsius
    {kSetupArea, kSetPointUpperLimit, Kind::Stored, 4000},
    {kSetupArea, kSetPointLowerLimit, Kind::Stored, -700},
    {kSetupArea, 0x0007, Kind::Stored, 1},  // control method: 1 PID
    {kSetupArea, kMultiSetPointUses, Kind::Stored, 0},
    {kSetupArea, 0x0053, Kind::Stored, 0},  // program pattern: off
    {kSetupArea, 0x0054, Kind::Stored, 0},  // soak time unit: minutes
};

constexpr double kInitialSetPoint = 25.0;

}  // namespace

struct ControllerModel::VariableRef {
    std::size_t tableIndex;
    bool doubleWord;
};

ControllerModel::ControllerModel(double ambient, double timeConstantSeconds, double timeScale,
                                 Clock::time_point now)
    : temperature_(ambient),
      ambient_(ambient),
      timeConstantSeconds_(1.0),
      timeScale_(1.0),
      modelTime_(now) {
    setTimeConstant(timeConstantSeconds);
    setTimeScale(timeScale);
    setPoints_[0] = tenthsOf(kInitialSetPoint);
    storedValues_.reserve(std::size(kVariables));
    for (const Variable& variable : kVariables) {
        storedValues_.push_back(variable.argument);
    }
}

void ControllerModel::advanceTo(Clock::time_point now) {
    if (now <= modelTime_) {
        return;
    }
    const double simulatedSeconds =
        std::chrono::duration<double>(now - modelTime_).count() * timeScale_;
    const double target = stopped_ ? ambient_ : setPoint();
    temperature_ =
        target + (temperature_ - target) * std::exp(-simulatedSeconds / timeConstantSeconds_);
    modelTime_ = now;
}

void ControllerModel::setTimeConstant(double seconds) {
    if (!(seconds > 0.0) || !std::isfinite(seconds)) {
        throw std::invalid_argument("time constant must be a positive number of seconds");
    }
    timeConstantSeconds_ = seconds;
}

void ControllerModel::setTimeScale(double factor) {
    if (!(factor >= 0.0) || !std::isfinite(factor)) {
        throw std::invalid_argument("time scale must not be negative");
    }
    timeScale_ = factor;
}

std::size_t ControllerModel::activeSetPointIndex() const {
    if (storedValue(kSetupArea, kMultiSetPointUses) == 0) {
        return 0;
    }
    return static_cast<std::size_t>(selectedMultiSetPoint_);
}

bool ControllerModel::activeSetPointLocked(std::size_t index) const {
    return setPointLock_.has_value() && index == activeSetPointIndex();
}

double ControllerModel::setPoint() const {
    if (setPointLock_) {
        return *setPointLock_ / 10.0;
    }
    return setPoints_[activeSetPointIndex()] / 10.0;
}

void ControllerModel::setSetPoint(double celsius) {
    if (!setPointLock_) {
        setPoints_[activeSetPointIndex()] = tenthsOf(celsius);
    }
}

void ControllerModel::setSetPointLock(std::optional<double> celsius) {
    if (celsius) {
        setPointLock_ = tenthsOf(*celsius);
    } else if (setPointLock_) {
        setPoints_[activeSetPointIndex()] = *setPointLock_;
        setPointLock_.reset();
    }
}

void ControllerModel::setRunning(bool running) {
    stopped_ = !running;
    if (stopped_) {
        autoTuning_ = false;
    }
}

void ControllerModel::restart() {
    setRunning(false);  // also ends auto-tuning
    communicationsWriting_ = false;
    setupArea1_ = false;
    programRunning_ = false;
}

int ControllerModel::statusWord() const {
    return (stopped_ ? kStatusStopped : 0) |
           (communicationsWriting_ ? kStatusCommunicationsWriting : 0) |
           (autoTuning_ ? kStatusAutoTuning : 0);
}

int ControllerModel::storedValue(int area, int address) const {
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
        if (kVariables[i].area == area && kVariables[i].address == address) {
            return storedValues_[i];
        }
    }
    return 0;
}

CommandResult ControllerModel::execute(std::string_view commandText, Clock::time_point now) {
    advanceTo(now);
    if (commandText.size() < 4) {
        return failure(response::kCommandTooShort);
    }
    const std::string_view mrcSrc = commandText.substr(0, 4);
    const std::string_view parameters = commandText.substr(4);
    if (mrcSrc == "0101") {
        return readOne(parameters);
    }
    if (mrcSrc == "0102") {
        return writeOne(parameters);
    }
    if (mrcSrc == "0104") {
        return readComposite(parameters);
    }
    if (mrcSrc == "0601") {
        // operating status "00" (no error), related information "00" (nothing to report)
        return parameters.empty() ? CommandResult{std::string(response::kNormal), "0000"}
                                  : failure(response::kCommandTooLong);
    }
    if (mrcSrc == "0801") {
        return parameters.size() > kEchoDataMaxLength
                   ? failure(response::kCommandTooLong)
                   : CommandResult{std::string(response::kNormal), std::string(parameters)};
    }
    if (mrcSrc == "3005") {
        return operate(parameters);
    }
    return failure(response::kUnsupportedCommand);
}

std::optional<ControllerModel::VariableRef> ControllerModel::find(std::string_view type,
                                                                  std::string_view address,
                                                                  std::string& failureCode) const {
    const std::optional<std::uint32_t> typeCode = parseHex(type);
    const int area = typeCode ? static_cast<int>(*typeCode & 0x3F) : -1;
    const bool known = typeCode && (*typeCode & 0x80) != 0 && (*typeCode & 0x3C) == 0 &&
                       (area == kMonitorArea || area == kOperationArea || area == kSetupArea);
    if (!known) {
        failureCode = response::kAreaTypeError;
        return std::nullopt;
    }
    const std::optional<std::uint32_t> addressValue = parseHex(address);
    for (std::size_t i = 0; addressValue && i < std::size(kVariables); ++i) {
        if (kVariables[i].area == area &&
            kVariables[i].address == static_cast<int>(*addressValue)) {
            return VariableRef{i, (*typeCode & 0x40) != 0};
        }
    }
    failureCode = response::kAddressOutOfRange;
    return std::nullopt;
}

int ControllerModel::wordValue(const VariableRef& ref) const {
    const Variable& variable = kVariables[ref.tableIndex];
    switch (variable.kind) {
        case Kind::ProcessValue:
            return std::clamp(tenthsOf(temperature_), -32768, 32767);
        case Kind::SoakTimeRemaining:
            return 0;
        case Kind::ActiveMultiSetPoint:
            return static_cast<int>(activeSetPointIndex());
        case Kind::DecimalPoint:
            return 1;
        case Kind::Status:
            return statusWord();
        case Kind::SetPoint:
            return tenthsOf(setPoint());
        case Kind::MultiSetPoint: {
            const auto index = static_cast<std::size_t>(variable.argument);
            return activeSetPointLocked(index) ? *setPointLock_ : setPoints_[index];
        }
        case Kind::Stored:
            return storedValues_[ref.tableIndex];
    }
    return 0;
}

std::string ControllerModel::valueText(const VariableRef& ref) const {
    const auto bits = static_cast<std::uint32_t>(wordValue(ref));
    return ref.doubleWord ? hexText(bits, 8) : hexText(bits & 0xFFFF, 4);
}

CommandResult ControllerModel::readOne(std::string_view parameters) const {
    // type (2), address (4), bit position (2), number of elements (4)
    constexpr std::size_t kLength = 12;
    if (parameters.size() < kLength) {
        return failure(response::kCommandTooShort);
    }
    if (parameters.size() > kLength) {
        return failure(response::kCommandTooLong);
    }
    std::string failureCode;
    const std::optional<VariableRef> variable =
        find(parameters.substr(0, 2), parameters.substr(2, 4), failureCode);
    if (!variable) {
        return failure(failureCode);
    }
    // One element per request is all this controller reads or writes.
    if (parameters.substr(6, 2) != "00" || parameters.substr(8, 4) != "0001") {
        return failure(response::kParameterError);
    }
    return CommandResult{std::string(response::kNormal), valueText(*variable)};
}

CommandResult ControllerModel::readComposite(std::string_view items) const {
    // per item: type (2), address (4), bit position (2)
    constexpr std::size_t kItemLength = 8;
    if (items.empty() || items.size() % kItemLength != 0) {
        return failure(response::kCommandTooShort);
    }
    if (items.size() / kItemLength > kCompositeReadMaxItems) {
        return failure(response::kResponseTooLong);
    }
    CommandResult result;
    for (std::size_t at = 0; at < items.size(); at += kItemLength) {
        const std::string_view item = items.substr(at, kItemLength);
        std::string failureCode;
        const std::optional<VariableRef> variable =
            find(item.substr(0, 2), item.substr(2, 4), failureCode);
        if (!variable) {
            return failure(failureCode);
        }
        if (item.substr(6, 2) != "00") {
            return failure(response::kParameterError);
        }
        result.data += item.substr(0, 2);
        result.data += valueText(*variable);
    }
    return result;
}

std::optional<std::string_view> ControllerModel::refuseWrite(const VariableRef& ref,
                                                             int value) const {
    const Variable& variable = kVariables[ref.tableIndex];
    if (variable.kind == Kind::SetPoint || variable.kind == Kind::MultiSetPoint) {
        if (value < storedValue(kSetupArea, kSetPointLowerLimit) ||
            value > storedValue(kSetupArea, kSetPointUpperLimit)) {
            return response::kParameterError;
        }
    }
    if (variable.area == kMonitorArea) {
        return response::kReadOnlyError;
    }
    if (!communicationsWriting_ || autoTuning_ || (variable.area == kSetupArea && !setupArea1_)) {
        return response::kOperationError;
    }
    return std::nullopt;
}

void ControllerModel::store(const VariableRef& ref, int value) {
    const Variable& variable = kVariables[ref.tableIndex];
    switch (variable.kind) {
        case Kind::SetPoint:
            setSetPoint(value / 10.0);
            break;
        case Kind::MultiSetPoint: {
            const auto index = static_cast<std::size_t>(variable.argument);
            if (!activeSetPointLocked(index)) {
                setPoints_[index] = value;
            }
            break;
        }
        case Kind::Stored:
            storedValues_[ref.tableIndex] = value;
            break;
        default:
            break;  // monitor values are refused before they get here
    }
}

CommandResult ControllerModel::writeOne(std::string_view parameters) {
    // type (2), address (4), bit position (2), number of elements (4), value (4 or 8)
    constexpr std::size_t kHeaderLength = 12;
    if (parameters.size() < kHeaderLength) {
        return failure(response::kCommandTooShort);
    }
    std::string failureCode;
    const std::optional<VariableRef> variable =
        find(parameters.substr(0, 2), parameters.substr(2, 4), failureCode);
    if (!variable) {
        return failure(failureCode);
    }
    if (parameters.substr(8, 4) != "0001") {
        return failure(response::kParameterError);
    }
    const std::string_view valueField = parameters.substr(kHeaderLength);
    const std::size_t width = variable->doubleWord ? 8 : 4;
    const std::optional<std::uint32_t> bits = parseHex(valueField);
    if (valueField.size() != width || !bits) {
        return failure(response::kElementsDataMismatch);
    }
    if (parameters.substr(6, 2) != "00") {
        return failure(response::kParameterError);
    }
    // two's complement of the field's width
    const int value = variable->doubleWord ? static_cast<std::int32_t>(*bits)
                                           : static_cast<std::int16_t>(*bits & 0xFFFF);
    if (const auto refusal = refuseWrite(*variable, value)) {
        return failure(*refusal);
    }
    store(*variable, value);
    return CommandResult{};
}

CommandResult ControllerModel::operate(std::string_view parameters) {
    // command code (2), related information (2)
    if (parameters.size() < 4) {
        return failure(response::kCommandTooShort);
    }
    if (parameters.size() > 4) {
        return failure(response::kCommandTooLong);
    }
    const std::optional<std::uint32_t> code = parseHex(parameters.substr(0, 2));
    const std::optional<std::uint32_t> info = parseHex(parameters.substr(2, 2));
    struct Operation {
        std::uint32_t code;
        std::uint32_t lastInformation;  // related information 00 up to this value
    };
    static constexpr Operation kOperations[] = {
        {0x00, 1},  // communications writing: off, on
        {0x01, 1},  // run, stop
        {0x02, 7},  // multi-SP: set point 0 to 7
        {0x03, 2},  // AT: cancel, 100 % AT, 40 % AT
        {0x06, 0},  // software reset
        {0x07, 0},  // move to setup area 1
        {0x0E, 1},  // direct, invert operation
        {0x11, 1},  // program reset, start
    };
    const auto operation =
        std::find_if(std::begin(kOperations), std::end(kOperations),
                     [&](const Operation& o) { return code && o.code == *code; });
    if (operation == std::end(kOperations) || !info || *info > operation->lastInformation) {
        return failure(response::kParameterError);
    }
    if (operation->code != 0x00 && !communicationsWriting_) {
        return failure(response::kOperationError);
    }
    switch (operation->code) {
        case 0x00:
            communicationsWriting_ = *info == 1;
            break;
        case 0x01:
            setRunning(*info == 0);
            break;
        case 0x02:
            selectedMultiSetPoint_ = static_cast<int>(*info);
            break;
        case 0x03:
            if (*info != 0 && stopped_) {
                return failure(response::kOperationError);  // AT needs a running controller
            }
            autoTuning_ = *info != 0;
            break;
        case 0x06:
            restart();
            break;
        case 0x07:
            setupArea1_ = true;
            break;
        case 0x0E:
            invertDirect_ = *info == 1;
            break;
        case 0x11:
            programRunning_ = *info == 1;
            break;
        default:
            break;
    }
    return CommandResult{};
}

}  // namespace lumas::sim
