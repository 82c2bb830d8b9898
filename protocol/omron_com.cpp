#include "protocol/omron_com.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace lumas {

namespace {

// Set-point addresses in area 81 for SP0 to SP7.
constexpr const char* kSetPointAddress[8] = {"000E", "000F", "0010", "0011",
                                             "0035", "0036", "0037", "0038"};
constexpr int kFirstSetPointRead = 106;
// The response code of a write or operation command the controller cannot carry out now, as
// while communications writing is off (after it lost power for a moment).
constexpr int kOperationError = 2203;

bool isEchoTest(const std::string& commandText) {
    return commandText.rfind("0801", 0) == 0;
}

[[noreturn]] void notAnInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}

// The text read as a hexadecimal number into a signed 32-bit integer.
std::int32_t hexValue(const std::string& text) {
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

// The text read as a decimal number (an optional sign, then digits) into a signed 32-bit integer.
std::int32_t decimalValue(const std::string& text) {
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

// The data as hexadecimal, low 16 bits taken as signed, in tenths.
double signedTenths(const std::string& data) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(hexValue(data))) / 10.0;
}

bool flagValue(const std::string& data) {
    return hexValue(data) != 0;
}

unsigned char lowByte(std::int32_t value) {
    return static_cast<unsigned char>(value & 0xFF);
}

std::int64_t roundedTenths(double value) {
    return static_cast<std::int64_t>(std::nearbyint(value * 10.0));
}

std::string hexText(std::int64_t value, int minDigits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*X", minDigits, static_cast<std::uint32_t>(value));
    return text;
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
    return hexText(roundedTenths(temperature), 8);
}

std::string tenthsValueText(double value) {
    return hexText(roundedTenths(value), 4);
}

TOmronCom::TOmronCom() = default;

TOmronCom::~TOmronCom() {
    Lock lock(lock_);
    // The port may outlive the driver: it must not call into a driver that is gone.
    if (FCOMPort != nullptr) {
        FCOMPort->OnRxChar = nullptr;
        FCOMPort->OnError = nullptr;
    }
    FCOMPort = nullptr;
}

// --- properties

TCustomComPort* TOmronCom::COMPort() const {
    Lock lock(lock_);
    return FCOMPort;
}
void TOmronCom::SetCOMPort(TCustomComPort* port) {
    Lock lock(lock_);
    FCOMPort = port;
}
int TOmronCom::NodeNumber() const {
    Lock lock(lock_);
    return node_.value;
}
void TOmronCom::SetNodeNumber(int value) {
    Lock lock(lock_);
    node_ = compoway::MakeNodeNumber(value);
}
bool TOmronCom::AllowToSend() const {
    Lock lock(lock_);
    return FAllowToSend;
}
void TOmronCom::SetAllowToSend(bool value) {
    Lock lock(lock_);
    FAllowToSend = value;
}
double TOmronCom::Range() const {
    Lock lock(lock_);
    return FRange;
}
void TOmronCom::SetRange(double value) {
    Lock lock(lock_);
    FRange = value;
}

#define LUMAS_READ_PROPERTY(type, name, field) \
    type TOmronCom::name() const {             \
        Lock lock(lock_);                      \
        return field;                          \
    }

LUMAS_READ_PROPERTY(int, ErrorCode, FErrorCode)
LUMAS_READ_PROPERTY(int, ResponseCode, FResponseCode)
LUMAS_READ_PROPERTY(std::string, CommandText, FCommandText)
LUMAS_READ_PROPERTY(bool, Connected, FPortOk)
LUMAS_READ_PROPERTY(bool, StatusOk, FStatusOk)
LUMAS_READ_PROPERTY(double, Temperature, FTemperature)
LUMAS_READ_PROPERTY(bool, InRange, FInRange)
LUMAS_READ_PROPERTY(double, SetPoint, FSetPoint)
LUMAS_READ_PROPERTY(double, SLH, FSLH)
LUMAS_READ_PROPERTY(double, SLL, FSLL)
LUMAS_READ_PROPERTY(int, ActiveMSPn, FActiveMSPn)
LUMAS_READ_PROPERTY(int, MultiSPTotal, FMultiSPTotal)
LUMAS_READ_PROPERTY(bool, ControlMethod, FControlMethod)
LUMAS_READ_PROPERTY(int, SoakTimeRemaining, FSoakTimeRemaining)
LUMAS_READ_PROPERTY(bool, TemperatureUnit, FTemperatureUnit)
LUMAS_READ_PROPERTY(unsigned char, SoakTimeUnit, FSoakTimeUnit)
LUMAS_READ_PROPERTY(double, RampSetValue, FRampSetValue)
LUMAS_READ_PROPERTY(double, RampFallValue, FRampFallValue)
LUMAS_READ_PROPERTY(unsigned char, ProgramPattern, FPP)
LUMAS_READ_PROPERTY(bool, RunStop, FRunStop)
LUMAS_READ_PROPERTY(bool, ComW, FComW)
LUMAS_READ_PROPERTY(bool, AT, FAT)
LUMAS_READ_PROPERTY(bool, sHeaterOvercurrentCT1, FHeaterOvercurrentCT1)
LUMAS_READ_PROPERTY(bool, sHeaterCurrentHoldCT1, FHeaterCurrentHoldCT1)
LUMAS_READ_PROPERTY(bool, sADConverterError, FHADConverterError)
LUMAS_READ_PROPERTY(bool, sHeaterOvercurrentCT2, FHeaterOvercurrentCT2)
LUMAS_READ_PROPERTY(bool, sHeaterCurrentHoldCT2, FHeaterCurrentHoldCT2)
LUMAS_READ_PROPERTY(bool, sPotentiometrInputError, FPotentiometrInputError)
LUMAS_READ_PROPERTY(bool, sInputError, FInputError)
LUMAS_READ_PROPERTY(bool, sDisplayRangeExceeded, FDisplayRangeExceeded)
LUMAS_READ_PROPERTY(int, CommandType, CommandType_)
LUMAS_READ_PROPERTY(int, CommandCounter, CommandCounter_)

#undef LUMAS_READ_PROPERTY

double TOmronCom::SP(int n) const {
    Lock lock(lock_);
    return (n >= 0 && n < 8) ? FSP[n] : 0.0;
}

// --- link

TOmronCom::ReplyFailures TOmronCom::Failures() const {
    Lock lock(lock_);
    return failures_;
}

unsigned long TOmronCom::TemperatureReadings() const {
    Lock lock(lock_);
    return temperatureReadings_;
}

unsigned long TOmronCom::StatusReadings() const {
    Lock lock(lock_);
    return statusReadings_;
}

unsigned long TOmronCom::FramesReceived() const {
    Lock lock(lock_);
    return framesReceived_;
}

bool TOmronCom::Busy() const {
    Lock lock(lock_);
    return awaiting_.has_value() || !queued_.empty();
}

int TOmronCom::OpenPort() {
    Lock lock(lock_);
    FPortOk = false;
    if (FCOMPort == nullptr) {
        FErrorCode = 101;
        return 101;
    }
    if (!FCOMPort->Active()) {
        try {
            FCOMPort->Open();
        } catch (const std::exception&) {
            FErrorCode = 102;
            return 102;
        }
    }
    // A port that claims to have opened but is not open: the echo test's send records 102.
    int result = 102;
    if (FCOMPort->Active()) {
        FErrorCode = 0;
        FPortOk = true;
        result = 0;
    }
    FCOMPort->OnRxChar = [this](TCustomComPort& sender, int count) {
        ComPortRxChar(sender, count);
    };
    // A device that goes away while open (a USB adapter pulled out) is known at once, not only
    // when the next write fails.
    FCOMPort->OnError = [this](TCustomComPort& /*sender*/, TComErrors errors) {
        if (errors.contains(TComError::ceIO)) {
            DeviceGone();
        }
    };
    // A new connection: nothing from before it is awaited any more.
    ForgetRequests();
    BeginRequest(kConnectOrWrite);
    EchoTest();
    return result;
}

void TOmronCom::ClosePort() {
    Lock lock(lock_);
    if (FCOMPort == nullptr || !FCOMPort->Active()) {
        return;
    }
    FCOMPort->Close();
    FPortOk = false;
    FErrorCode = -1;
    FStatusOk = false;
    FTemperature = 0.0;
    ForgetRequests();
}

void TOmronCom::DeviceGone() {
    Lock lock(lock_);
    if (!FPortOk) {
        return;
    }
    FPortOk = false;
    FErrorCode = 102;
    ForgetRequests();
    DoError();
}

void TOmronCom::ForgetRequests() {
    awaiting_.reset();
    queued_.clear();
    linkCheckDue_ = false;
    echoAbandoned_ = false;
}

void TOmronCom::BeginRequest(int type) {
    CommandType_ = type;
    ++requestSerial_;
}

void TOmronCom::SendFrame(const std::string& commandText) {
    if (CommandType_ < kConnectOrWrite && !FStatusOk) {
        FErrorCode = 103;
        return;
    }
    if (!FPortOk) {
        FErrorCode = 102;
        return;
    }
    Request request{CommandType_, commandText, CommandType_ < kConnectOrWrite};
    if (awaiting_) {
        Enqueue(std::move(request));
        return;
    }
    if (linkCheckDue_ && !isEchoTest(commandText)) {
        // After a failed request the link is checked first; this request follows the echo.
        Enqueue(std::move(request));
        SendNextOrIdle(requestSerial_, true);
        return;
    }
    linkCheckDue_ = false;
    Transmit(request);
}

void TOmronCom::Enqueue(Request request) {
    for (const Request& waiting : queued_) {
        if (waiting.commandText == request.commandText) {
            return;  // already waiting to go out; its reply will serve both
        }
    }
    queued_.push_back(std::move(request));
}

void TOmronCom::Transmit(const Request& request) {
    if (request.counted) {
        ++CommandCounter_;
    }
    try {
        FCOMPort->WriteText(compoway::BuildFrame(node_.text, request.commandText));
    } catch (const std::exception&) {
        FPortOk = false;
        FErrorCode = 102;
        ForgetRequests();
        DoError();
        return;
    }
    awaiting_ = request;
    if (CommandCounter_ > 4) {
        FTemperature = 0.0;
        FErrorCode = 103;
        DoError();
    }
}

void TOmronCom::SendNextOrIdle(unsigned serialBefore, bool checkNow) {
    if (awaiting_) {
        return;  // a request issued while the reply was handled went out at once
    }
    if (FPortOk && !queued_.empty()) {
        if (!linkCheckDue_) {
            Request next = std::move(queued_.front());
            queued_.pop_front();
            CommandType_ = next.type;
            ++requestSerial_;
            Transmit(next);
        } else if (checkNow) {
            SendLinkCheck();
        }
        if (awaiting_) {
            return;
        }
        if (linkCheckDue_ && FPortOk && !queued_.empty()) {
            // The link check itself failed: what waits stays parked, and the line is not idle,
            // until the caller's time-out (AbandonRequest) or its next request checks again.
            // Checking again at once could keep a broken line busy for ever.
            return;
        }
    }
    if (!FPortOk) {
        queued_.clear();
    }
    // A request issued while the reply was handled keeps its type, so that its own reply is
    // decoded (the connect phase's set-point read).
    if (requestSerial_ == serialBefore) {
        CommandType_ = kNoRequest;
    }
    FAllowToSend = true;
}

std::string TOmronCom::NextLinkCheckText() {
    char serial[8];
    std::snprintf(serial, sizeof serial, "%02u", linkCheckSerial_);
    linkCheckSerial_ = (linkCheckSerial_ + 1) % 100;
    return std::string(commands::kEchoTest) + serial;
}

void TOmronCom::SendLinkCheck() {
    linkCheckDue_ = false;
    CommandType_ = kConnectOrWrite;
    ++requestSerial_;
    // Each link check carries test data of its own, so that a late reply to an earlier check
    // cannot pass for this one's.
    Transmit(Request{kConnectOrWrite, NextLinkCheckText(), false});
}

void TOmronCom::AbandonRequest() {
    Lock lock(lock_);
    if (!awaiting_) {
        if (linkCheckDue_ && FPortOk && !queued_.empty()) {
            SendLinkCheck();  // requests parked after a failed link check: check once more
        }
        return;
    }
    ++failures_.noReply;
    echoAbandoned_ = echoAbandoned_ || isEchoTest(awaiting_->commandText);
    awaiting_.reset();
    // A late reply to the abandoned request is told apart by the echo test, which goes first.
    linkCheckDue_ = true;
    SendNextOrIdle(requestSerial_, true);
}

void TOmronCom::EchoTest() {
    Lock lock(lock_);
    if (CommandType_ != kRawCommand && (CommandType_ == kConnectOrWrite || FStatusOk)) {
        ++requestSerial_;
        // The standard test data, unless an echo test has been given up on this connection: its
        // late reply would then be taken for this one's.
        SendFrame(echoAbandoned_ ? NextLinkCheckText() : std::string(commands::kEchoTest));
    }
}

void TOmronCom::ResetOmron() {
    Lock lock(lock_);
    CommandCounter_ = 0;
    BeginRequest(kConnectOrWrite);
    EchoTest();
}

void TOmronCom::SendCommand(const std::string& CMD, const std::string& /*Parameters*/) {
    Lock lock(lock_);
    BeginRequest(kRawCommand);
    SendFrame(CMD);
}

// --- reads

void TOmronCom::GetStatus() {
    Lock lock(lock_);
    if (CommandType_ != kRawCommand && CommandType_ != kConnectOrWrite && FStatusOk) {
        ++requestSerial_;
        SendFrame(commands::kControllerStatus);
    }
}

void TOmronCom::GetTemperature() {
    Lock lock(lock_);
    if (CommandType_ != kConnectOrWrite && FStatusOk) {
        BeginRequest(kTemperatureRead);
        SendFrame(commands::kTemperature);
    } else if ((linkCheckDue_ || !FStatusOk) && FPortOk && !awaiting_) {
        // The controller is unconfirmed (a request failed, or the echo test came back with other
        // data): the temperature read checks the link again, so that reading resumes by itself
        // once replies are clean.
        CommandCounter_ = 0;
        SendLinkCheck();
    }
}

namespace {
struct VariableRead {
    int type;
    const char* commandText;
};
constexpr VariableRead kSetPointRead{105, "0101810003000001"};
constexpr VariableRead kSLHRead{120, "0101830005000001"};
constexpr VariableRead kSLLRead{121, "0101830006000001"};
constexpr VariableRead kActiveMSPnRead{125, "010180000C000001"};
constexpr VariableRead kMultiSPTotalRead{126, "010183001A000001"};
constexpr VariableRead kStatusLeftRead{130, "0101800012000001"};
constexpr VariableRead kControlMethodRead{135, "0101830007000001"};
constexpr VariableRead kCompositeRead{140, "0104830005008300060081000E00"};
constexpr VariableRead kSoakTimeRead{145, "0101800009000001"};
constexpr VariableRead kTemperatureUnitRead{150, "0101830004000001"};
constexpr VariableRead kSoakTimeUnitRead{155, "0101830054000001"};
constexpr VariableRead kRampSetValueRead{180, "0101810025000001"};
constexpr VariableRead kRampFallValueRead{181, "010181003C000001"};
constexpr VariableRead kProgramPatternRead{200, "0101830053000001"};
}  // namespace

#define LUMAS_READ_REQUEST(name, read) \
    void TOmronCom::name() {           \
        Lock lock(lock_);              \
        BeginRequest((read).type);     \
        SendFrame((read).commandText); \
    }

LUMAS_READ_REQUEST(GetSetPoint, kSetPointRead)
LUMAS_READ_REQUEST(ReadSLH, kSLHRead)
LUMAS_READ_REQUEST(ReadSLL, kSLLRead)
LUMAS_READ_REQUEST(GetActiveMSPn, kActiveMSPnRead)
LUMAS_READ_REQUEST(TotalMultiSP, kMultiSPTotalRead)
LUMAS_READ_REQUEST(ReadStatusLeft, kStatusLeftRead)
LUMAS_READ_REQUEST(GetControlMethod, kControlMethodRead)
LUMAS_READ_REQUEST(CompositeRead, kCompositeRead)
LUMAS_READ_REQUEST(ReadSoakTime, kSoakTimeRead)
LUMAS_READ_REQUEST(GetTemperatureUnit, kTemperatureUnitRead)
LUMAS_READ_REQUEST(GetSoakTimeUnit, kSoakTimeUnitRead)
LUMAS_READ_REQUEST(ReadRampSetValue, kRampSetValueRead)
LUMAS_READ_REQUEST(ReadRampFallValue, kRampFallValueRead)
LUMAS_READ_REQUEST(ReadProgramPattern, kProgramPatternRead)

#undef LUMAS_READ_REQUEST

void TOmronCom::ReadSetPoints(int SPn) {
    Lock lock(lock_);
    if (SPn < 0 || SPn > 7) {
        return;  // no such set point: nothing to ask for
    }
    BeginRequest(kFirstSetPointRead + SPn);
    SendFrame(std::string("010181") + kSetPointAddress[SPn] + "000001");
}

// --- writes and operation commands

void TOmronCom::cmdSetPoint(double Temperature) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    double clamped = 0.0;
    const std::string value = setPointValueText(Temperature, &clamped);
    SendFrame(std::string(commands::kWriteSetPoint) + value);
    FSetPoint = clamped;
}

void TOmronCom::cmdSetPoints(int SPn, double Temperature) {
    Lock lock(lock_);
    if (SPn < 0 || SPn > 7) {
        return;  // no such set point: nothing to write
    }
    BeginRequest(kConnectOrWrite);
    SendFrame(std::string("0102C1") + kSetPointAddress[SPn] + "000001" +
              setPointValueText(Temperature));
}

void TOmronCom::SetRSV(double Value) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    SendFrame("0102810025000001" + tenthsValueText(Value));
}

void TOmronCom::SetRFV(double Value) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    SendFrame("010281003C000001" + tenthsValueText(Value));
}

void TOmronCom::SetSoakTime(int Time) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    SendFrame("0102810020000001" + hexText(Time, 4));
}

void TOmronCom::cmdSetProgramPattern(int selection) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    SendFrame("0102830053000001000" + std::to_string(selection));
}

void TOmronCom::SelectMultiSP(int MultiSPn) {
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    SendFrame("3005020" + std::to_string(MultiSPn));
}

#define LUMAS_WRITE_COMMAND(name, text) \
    void TOmronCom::name() {            \
        Lock lock(lock_);               \
        BeginRequest(kConnectOrWrite);  \
        SendFrame(text);                \
    }

LUMAS_WRITE_COMMAND(TurnOnMultiSP, "010283001A0000010008")
LUMAS_WRITE_COMMAND(TurnOffMultiSP, "010283001A0000010001")
LUMAS_WRITE_COMMAND(cmdRun, commands::kRun)
LUMAS_WRITE_COMMAND(cmdStop, commands::kStop)
LUMAS_WRITE_COMMAND(cmdProgramStart, "30051101")
LUMAS_WRITE_COMMAND(cmdProgramReset, "30051100")
LUMAS_WRITE_COMMAND(MoveToSetupArea1, "30050700")
LUMAS_WRITE_COMMAND(SoftwareReset, "30050600")

#undef LUMAS_WRITE_COMMAND

// These two keep the current request type, so they are counted requests when it is below 100.
void TOmronCom::cmdInvertDirect() {
    Lock lock(lock_);
    ++requestSerial_;
    SendFrame("30050E01");
}

void TOmronCom::cmdNotInvertDirect() {
    Lock lock(lock_);
    ++requestSerial_;
    SendFrame("30050E00");
}

void TOmronCom::WriteEnable() {
    // The lock is held through the pause: a reply handled meanwhile would otherwise reset the
    // request type and the write would be refused as a counted request.
    Lock lock(lock_);
    BeginRequest(kConnectOrWrite);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SendFrame(commands::kWriteEnable);
}

// --- receive path

void TOmronCom::ComPortRxChar(TCustomComPort& sender, int /*count*/) {
    Lock lock(lock_);
    const std::string chunk = sender.ReadText();
    if (chunk.empty()) {
        return;
    }
    RawString.add(chunk);
    while (auto received = RawString.take()) {
        ++framesReceived_;
        ProcessReply(*received);
    }
}

void TOmronCom::ProcessReply(const compoway::ReceivedFrame& received) {
    if (!awaiting_) {
        ++failures_.stale;  // nothing was asked: a reply to a request given up or forgotten
        return;
    }
    const Request answered = *awaiting_;
    const unsigned serialBefore = requestSerial_;
    const bool wasLinkCheck = isEchoTest(answered.commandText);

    if (!received.bccOk) {
        ++failures_.wrongBcc;
        FErrorCode = 301;
        awaiting_.reset();
        FailRequest();
        SendNextOrIdle(serialBefore, !wasLinkCheck);
        return;
    }
    const compoway::ReplyFields fields = compoway::SplitReply(received.frame);
    const bool failed = fields.errorCode > 0 || fields.responseCode > 0;
    if (!failed && fields.command != answered.commandText.substr(0, 4)) {
        ++failures_.stale;  // the echo of another command: a late reply to an earlier request
        return;
    }
    // Echo replies all have the same shape; the test data tell a late reply to an earlier check
    // from this one's. Data that are no test data of ours at all are this check's failure.
    const std::string echoData = wasLinkCheck ? answered.commandText.substr(4) : std::string();
    if (!failed && wasLinkCheck && fields.commandText != echoData &&
        fields.commandText.rfind(commands::kEchoTestData, 0) == 0) {
        ++failures_.stale;
        return;
    }
    expectedEchoData_ = wasLinkCheck ? echoData : std::string(commands::kEchoTestData);
    awaiting_.reset();
    if (answered.counted && CommandCounter_ > 0) {
        --CommandCounter_;
    }
    FErrorCode = fields.errorCode;
    FCommand = fields.command;
    FResponseCode = fields.responseCode;
    FCommandText = fields.commandText;

    int type = answered.type;
    if (failed) {
        ++(fields.errorCode > 0 ? failures_.endCode : failures_.responseCode);
        type = kNoRequest;
        FailRequest();
        RetryWithWritingOn(answered, fields.responseCode);
    }
    if (type == kRawCommand) {
        DoReceivedResponse();
    } else if (!DecodeResponse(FCommand, type) && !failed) {
        ++failures_.badData;
        FailRequest();
    }
    SendNextOrIdle(serialBefore, !wasLinkCheck);
}

void TOmronCom::RetryWithWritingOn(const Request& refused, int responseCode) {
    const bool writeOrOperation =
        refused.commandText.rfind("0102", 0) == 0 || refused.commandText.rfind("3005", 0) == 0;
    if (responseCode != kOperationError || !writeOrOperation || refused.retried ||
        refused.commandText == commands::kWriteEnable || !FPortOk) {
        return;
    }
    Request again = refused;
    again.retried = true;
    queued_.push_front(std::move(again));
    queued_.push_front(Request{kConnectOrWrite, commands::kWriteEnable, false, true});
}

void TOmronCom::FailRequest() {
    CommandType_ = kNoRequest;
    DoError();
    linkCheckDue_ = FPortOk;
}

bool TOmronCom::DecodeResponse(const std::string& command, int type) {
    if (command.size() < 4) {
        return true;
    }
    int mrc = 0;
    int src = 0;
    try {
        mrc = decimalValue(command.substr(0, 2));
        src = decimalValue(command.substr(2, 2));
    } catch (const EConvertError&) {
        return true;  // not a command echo, as in the short reply to a transmission error
    }
    const std::string& data = FCommandText;

    try {
        if (mrc == 8 && src == 1) {
            DoBackTest(type);
            return true;
        }
        if (mrc == 6 && src == 1) {
            DoStatusReceived();
            return true;
        }
        if (mrc == 1 && src == 4) {
            if (type == kTemperatureRead) {
                CommandType_ = kNoRequest;
                const std::optional<double> temperature = DecodeTemperature(data);
                if (!temperature) {
                    return false;
                }
                FTemperature = *temperature;
                ++temperatureReadings_;
                DoDataReceived();
            } else if (type == kCompositeRead.type) {
                CommandType_ = kNoRequest;
            }
            return true;
        }
        if (mrc != 1 || src != 1) {
            return true;
        }
        const bool isSetPointRead = type >= kFirstSetPointRead && type < kFirstSetPointRead + 8;
        const bool known = type == kSetPointRead.type || isSetPointRead || type == kSLHRead.type ||
                           type == kSLLRead.type || type == kActiveMSPnRead.type ||
                           type == kMultiSPTotalRead.type || type == kStatusLeftRead.type ||
                           type == kControlMethodRead.type || type == kSoakTimeRead.type ||
                           type == kTemperatureUnitRead.type || type == kSoakTimeUnitRead.type ||
                           type == kRampSetValueRead.type || type == kRampFallValueRead.type ||
                           type == kProgramPatternRead.type;
        if (!known) {
            return true;
        }
        CommandType_ = kNoRequest;
        if (type == kSetPointRead.type) {
            FSetPoint = signedTenths(data);
        } else if (isSetPointRead) {
            FSP[type - kFirstSetPointRead] = signedTenths(data);
        } else if (type == kSLHRead.type) {
            FSLH = signedTenths(data);
        } else if (type == kSLLRead.type) {
            FSLL = signedTenths(data);
        } else if (type == kActiveMSPnRead.type) {
            FActiveMSPn = decimalValue(data);
        } else if (type == kMultiSPTotalRead.type) {
            FMultiSPTotal = decimalValue(data);
        } else if (type == kStatusLeftRead.type) {
            DoStatusLeft();
            ++statusReadings_;
        } else if (type == kControlMethodRead.type) {
            FControlMethod = flagValue(data);
        } else if (type == kSoakTimeRead.type) {
            FSoakTimeRemaining = hexValue(data);
        } else if (type == kTemperatureUnitRead.type) {
            FTemperatureUnit = flagValue(data);
        } else if (type == kSoakTimeUnitRead.type) {
            FSoakTimeUnit = lowByte(decimalValue(data));
        } else if (type == kRampSetValueRead.type) {
            FRampSetValue = signedTenths(data);
        } else if (type == kRampFallValueRead.type) {
            FRampFallValue = signedTenths(data);
        } else if (type == kProgramPatternRead.type) {
            FPP = lowByte(decimalValue(data));
        }
    } catch (const EConvertError&) {
        return false;  // the field keeps its old value
    }
    return true;
}

std::optional<double> TOmronCom::DecodeTemperature(const std::string& data) {
    if (data.size() != 12) {
        return std::nullopt;
    }
    const auto processValue =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(hexValue(data.substr(2, 4))));
    const int decimals = decimalValue(data.substr(8, 4));
    // The controller shows at most three decimal places; any other count is not a reading.
    if (decimals < 0 || decimals > 3) {
        return std::nullopt;
    }
    const double result = processValue / std::pow(10.0, decimals);
    if (!std::isfinite(result)) {
        return std::nullopt;
    }
    FInRange = std::fabs(FSetPoint - result) < FRange;
    return result;
}

void TOmronCom::DoStatusLeft() {
    Lock lock(lock_);
    const std::int32_t a = hexValue(FCommandText.substr(0, 2));
    const std::int32_t b =
        hexValue(FCommandText.size() > 2 ? FCommandText.substr(2, 2) : std::string());
    FRunStop = (a & 0x01) != 0;
    FComW = (a & 0x02) != 0;
    FAT = (b & 0x80) != 0;
}

// --- event routines

void TOmronCom::DoReceivedResponse() {
    CommandType_ = kNoRequest;
    --CommandCounter_;
    if (OnReceivedResponse) {
        OnReceivedResponse(*this, FErrorCode, FCommand, FResponseCode, FCommandText);
    }
}

void TOmronCom::DoBackTest(int requestType) {
    FErrorCode = FCommandText == expectedEchoData_ ? 0 : 202;
    if (requestType == kConnectOrWrite) {
        // Connect phase: a confirmed controller has its set point read at once. Other data
        // leave it unconfirmed, and the next temperature read checks the link again.
        FStatusOk = FErrorCode == 0;
        if (FStatusOk) {
            GetSetPoint();
        } else {
            ++failures_.badData;  // the line is in step; the next temperature read checks again
        }
        return;
    }
    if (OnBackTest) {
        OnBackTest(*this);
    }
}

void TOmronCom::DoError() {
    CommandCounter_ = 0;
    CommandType_ = kNoRequest;
    FStatusOk = false;
    if (OnError) {
        OnError(*this);
    }
}

void TOmronCom::DoDataReceived() {
    CommandType_ = kNoRequest;
    if (OnDataReceived) {
        OnDataReceived(*this);
    }
}

void TOmronCom::DoStatusReceived() {
    FStatusOk = FCommandText.substr(0, 2) == "00";
    int hi = 0;
    int lo = 0;
    if (FCommandText.size() >= 3) {
        hi = hexValue(FCommandText.substr(2, 1));
        lo = FCommandText.size() >= 4 ? hexValue(FCommandText.substr(3, 1)) : 0;
    }
    const int related = (hi << 4) | lo;
    FHeaterOvercurrentCT1 = (related & 0x01) != 0;
    FHeaterCurrentHoldCT1 = (related & 0x02) != 0;
    FHADConverterError = (related & 0x04) != 0;
    FHeaterOvercurrentCT2 = (related & 0x08) != 0;
    FHeaterCurrentHoldCT2 = (related & 0x10) != 0;
    FPotentiometrInputError = (related & 0x20) != 0;
    FInputError = (related & 0x40) != 0;
    FDisplayRangeExceeded = (related & 0x80) != 0;
    if (OnStatusReceived) {
        OnStatusReceived(*this);
    }
}

}  // namespace lumas
