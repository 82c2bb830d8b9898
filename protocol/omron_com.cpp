// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "protocol/omron_com.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <thread>
#include <utility>

namespace lumas {

using commandset::operation;
using commandset::variable;

namespace {

// The rows of SP0 to SP7, by SPn.
constexpr const commandset::Variable* kSetPoints[] = {
    &variable("SP0"), &variable("SP1"), &variable("SP2"), &variable("SP3"),
    &variable("SP4"), &variable("SP5"), &variable("SP6"), &variable("SP7"),
};
constexpr int kSetPointCount = static_cast<int>(std::size(kSetPoints));

// The response code of a write or operation command the controller cannot carry out now, as
// while communications writing is off (after it lost power for a moment).
constexpr int kOperationError = 2203;

bool isEchoTest(const std::string& commandText) {
    return commandText.rfind("0801", 0) == 0;
}

using Kind = TOmronCom::RequestKind;

}  // namespace

TOmronCom::TOmronCom() = default;

// Why the events are raised after the lock is released, and why the port is closed outside it.
//
// `lock_` is a plain mutex: a thread that holds it must never come back to take it again. Two paths
// would. The first is an event handler: the events come about deep inside an operation or the
// handling of a reply, and a handler may well call back into the driver (read a property, send the
// next request). So the driver only records an event where it comes about (`due_`, with what the
// handler is given), and the turn that recorded it raises it once it has released the lock, in the
// order the events came about. The receive handler takes one turn per reply, so that the events of
// a reply are raised before the next reply in the same chunk is handled: a handler of
// OnDataReceived still reads the temperature its reply brought. The driver's own reaction to a
// reply - the connect check's set-point read after the echo - is no event and stays inside the
// turn.
//
// The second is the port. Closing it stops its event thread, and on the UI thread the port serves
// the hand-overs that thread is waiting in meanwhile (the event thread cannot end before its report
// is taken); a report served then runs ComPortRxChar, which takes the lock - on the very thread
// that is closing. Without hand-over the event thread runs ComPortRxChar itself and would wait for
// the lock while the closing thread waits for it to end. So ClosePort notes under the lock which
// port it closes, closes it without the lock, and then takes the lock again to mark the driver
// disconnected and forget every request; a reply handled during the close is thereby forgotten
// too, and cannot leave the driver looking connected or a request answered. While the port is
// being closed (`portClosing_`) nothing more is written to it: a poll request of the worker, which
// would otherwise have waited for the lock until the port was closed, must not reach the line now.
// Opening, writing and reading never wait for a notification (a port that fails to open hands none
// to its handlers), so they are done under the lock.
template <typename Body>
void TOmronCom::RunExclusive(const Body& body) {
    std::exception_ptr failure;
    std::vector<DueEvent> due;
    {
        Lock lock(lock_);
        try {
            body();
        } catch (...) {
            failure = std::current_exception();
        }
        due.swap(due_);
    }
    Raise(due);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void TOmronCom::Raise(const std::vector<DueEvent>& due) {
    for (const DueEvent& raised : due) {
        switch (raised.event) {
            case Event::ReceivedResponse:
                DoReceivedResponse(raised.response);
                break;
            case Event::BackTest:
                DoBackTest();
                break;
            case Event::Error:
                DoError();
                break;
            case Event::DataReceived:
                DoDataReceived();
                break;
            case Event::StatusReceived:
                DoStatusReceived();
                break;
        }
    }
}

void TOmronCom::Record(Event event) {
    due_.push_back(DueEvent{event, {}});
}

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
LUMAS_READ_PROPERTY(bool, sHeaterOvercurrentCT1, FHeaterOvercurrentCT1)
LUMAS_READ_PROPERTY(bool, sHeaterCurrentHoldCT1, FHeaterCurrentHoldCT1)
LUMAS_READ_PROPERTY(bool, sADConverterError, FHADConverterError)
LUMAS_READ_PROPERTY(bool, sHeaterOvercurrentCT2, FHeaterOvercurrentCT2)
LUMAS_READ_PROPERTY(bool, sHeaterCurrentHoldCT2, FHeaterCurrentHoldCT2)
LUMAS_READ_PROPERTY(bool, sPotentiometrInputError, FPotentiometrInputError)
LUMAS_READ_PROPERTY(bool, sInputError, FInputError)
LUMAS_READ_PROPERTY(bool, sDisplayRangeExceeded, FDisplayRangeExceeded)
LUMAS_READ_PROPERTY(TOmronCom::Awaiting, Awaited, awaited_)
LUMAS_READ_PROPERTY(std::optional<TOmronCom::PortFailure>, LastPortFailure, lastPortFailure_)

#undef LUMAS_READ_PROPERTY

int TOmronCom::CommandCounter() const {
    return CommandCounter_.load();
}

int TOmronCom::CommandType() const {
    Lock lock(lock_);
    switch (awaited_.kind) {
        case Kind::None:
            return kNoRequest;
        case Kind::RawCommand:
            return kRawCommand;
        case Kind::Temperature:
            return kTemperatureRead;
        case Kind::ConnectOrWrite:
            return kConnectOrWrite;
        case Kind::VariableRead:
            return kVariableRead;
        case Kind::CompositeRead:
            return kCompositeRead;
    }
    return kNoRequest;
}

// --- the variables of the command set

double TOmronCom::VariableValue(const commandset::Variable& variable) const {
    Lock lock(lock_);
    return Value(variable);
}

double TOmronCom::Value(const commandset::Variable& variable) const {
    const std::size_t slot = commandset::slotOf(variable);
    return slot < values_.size() ? values_[slot] : 0.0;
}

unsigned long TOmronCom::VariableReadings(const commandset::Variable& variable) const {
    Lock lock(lock_);
    const std::size_t slot = commandset::slotOf(variable);
    return slot < readings_.size() ? readings_[slot] : 0;
}

double& TOmronCom::Slot(const commandset::Variable& variable) {
    return values_.at(commandset::slotOf(variable));
}

bool TOmronCom::StatusBit(int bit) const {
    return (static_cast<int>(Value(variable("StatusLeft"))) & bit) != 0;
}

double TOmronCom::SetPoint() const {
    return VariableValue(variable("SetPoint"));
}
double TOmronCom::SLH() const {
    return VariableValue(variable("SLH"));
}
double TOmronCom::SLL() const {
    return VariableValue(variable("SLL"));
}
int TOmronCom::ActiveMSPn() const {
    return static_cast<int>(VariableValue(variable("ActiveMSPn")));
}
int TOmronCom::MultiSPTotal() const {
    return static_cast<int>(VariableValue(variable("MultiSPTotal")));
}
bool TOmronCom::ControlMethod() const {
    return VariableValue(variable("ControlMethod")) != 0.0;
}
int TOmronCom::SoakTimeRemaining() const {
    return static_cast<int>(VariableValue(variable("SoakTimeRemaining")));
}
bool TOmronCom::TemperatureUnit() const {
    return VariableValue(variable("TemperatureUnit")) != 0.0;
}
unsigned char TOmronCom::SoakTimeUnit() const {
    return static_cast<unsigned char>(VariableValue(variable("SoakTimeUnit")));
}
double TOmronCom::RampSetValue() const {
    return VariableValue(variable("RampSetValue"));
}
double TOmronCom::RampFallValue() const {
    return VariableValue(variable("RampFallValue"));
}
unsigned char TOmronCom::ProgramPattern() const {
    return static_cast<unsigned char>(VariableValue(variable("ProgramPattern")));
}
bool TOmronCom::RunStop() const {
    return Stopped();
}
bool TOmronCom::Stopped() const {
    Lock lock(lock_);
    return StatusBit(commandset::kStatusStopped);
}
bool TOmronCom::ComW() const {
    Lock lock(lock_);
    return StatusBit(commandset::kStatusCommunicationsWriting);
}
bool TOmronCom::AT() const {
    Lock lock(lock_);
    return StatusBit(commandset::kStatusAutoTuning);
}

double TOmronCom::SP(int n) const {
    return (n >= 0 && n < kSetPointCount) ? VariableValue(*kSetPoints[n]) : 0.0;
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
    return VariableReadings(variable("StatusLeft"));
}

unsigned long TOmronCom::FramesReceived() const {
    Lock lock(lock_);
    return framesReceived_;
}

bool TOmronCom::Busy() const {
    Lock lock(lock_);
    return onLine_.has_value() || !queued_.empty();
}

void TOmronCom::KeepPortFailure(const std::exception& error) {
    const auto* portError = dynamic_cast<const EComPortError*>(&error);
    lastPortFailure_ = PortFailure{error.what(), portError != nullptr ? portError->osError() : 0};
}

int TOmronCom::OpenPort() {
    int result = 102;
    RunExclusive([&] {
        FPortOk = false;
        if (FCOMPort == nullptr) {
            FErrorCode = 101;
            result = 101;
            return;
        }
        if (!FCOMPort->Active()) {
            try {
                FCOMPort->Open();
            } catch (const std::exception& error) {
                KeepPortFailure(error);
                FErrorCode = 102;
                return;
            }
        }
        // A port that claims to have opened but is not open: the echo test's send records 102.
        if (FCOMPort->Active()) {
            FErrorCode = 0;
            FPortOk = true;
            lastPortFailure_.reset();
            result = 0;
        }
        FCOMPort->OnRxChar = [this](TCustomComPort& sender, int count) {
            ComPortRxChar(sender, count);
        };
        // A device that goes away while open (a USB adapter pulled out) is known at once, not
        // only when the next write fails.
        FCOMPort->OnError = [this](TCustomComPort& /*sender*/, TComErrors errors) {
            if (errors.contains(TComError::ceIO)) {
                DeviceGone();
            }
        };
        // A new connection: nothing from before it is awaited any more.
        ForgetRequests();
        BeginRequest({Kind::ConnectOrWrite});
        SendEchoTest();
    });
    return result;
}

void TOmronCom::ClosePort() {
    // Closed without the lock held (see RunExclusive).
    TCustomComPort* closing = nullptr;
    RunExclusive([&] {
        if (FCOMPort != nullptr && FCOMPort->Active()) {
            closing = FCOMPort;
            portClosing_ = true;
        }
    });
    if (closing == nullptr) {
        return;
    }
    try {
        closing->Close();
    } catch (...) {
        // Refused (from inside the port's own notification): the port stays open.
        RunExclusive([&] { portClosing_ = false; });
        throw;
    }
    RunExclusive([&] {
        portClosing_ = false;
        FPortOk = false;
        FErrorCode = -1;
        FStatusOk = false;
        FTemperature = 0.0;
        ForgetRequests();
    });
}

void TOmronCom::DeviceGone() {
    RunExclusive([&] {
        if (!FPortOk) {
            return;
        }
        FPortOk = false;
        FErrorCode = 102;
        ForgetRequests();
        ErrorRoutine();
    });
}

void TOmronCom::ForgetRequests() {
    onLine_.reset();
    queued_.clear();
    linkCheckDue_ = false;
    echoAbandoned_ = false;
}

void TOmronCom::BeginRequest(Awaiting awaited) {
    awaited_ = awaited;
    ++requestSerial_;
}

void TOmronCom::SendFrame(const std::string& commandText) {
    if (awaited_.counted() && !FStatusOk) {
        FErrorCode = 103;
        return;
    }
    if (!FPortOk) {
        FErrorCode = 102;
        return;
    }
    Request request{awaited_, commandText, awaited_.counted()};
    request.urgent = commandText == commands::kStop;
    if (request.urgent) {
        // A Run still waiting to go out would start the chamber after the Stop asked after it.
        std::erase_if(queued_,
                      [](const Request& waiting) { return waiting.commandText == commands::kRun; });
    }
    if (onLine_) {
        Enqueue(std::move(request));
        return;
    }
    if (request.urgent) {
        Transmit(request);  // a check of the link that is due follows it
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
    if (request.urgent) {
        queued_.push_front(std::move(request));
        return;
    }
    queued_.push_back(std::move(request));
}

void TOmronCom::Transmit(const Request& request) {
    if (portClosing_) {
        return;  // dropped, as the close is about to forget it (see RunExclusive)
    }
    if (request.counted) {
        ++CommandCounter_;
    }
    try {
        FCOMPort->WriteText(compoway::BuildFrame(node_.text, request.commandText));
    } catch (const std::exception& error) {
        KeepPortFailure(error);
        FPortOk = false;
        FErrorCode = 102;
        ForgetRequests();
        ErrorRoutine();
        return;
    }
    onLine_ = request;
    if (CommandCounter_ > 4) {
        FTemperature = 0.0;
        FErrorCode = 103;
        ErrorRoutine();
    }
}

void TOmronCom::SendNextOrIdle(unsigned serialBefore, bool checkNow) {
    if (onLine_) {
        return;  // a request issued while the reply was handled went out at once
    }
    if (FPortOk && !queued_.empty()) {
        if (!linkCheckDue_ || queued_.front().urgent) {
            Request next = std::move(queued_.front());
            queued_.pop_front();
            awaited_ = next.awaited;
            ++requestSerial_;
            Transmit(next);
        } else if (checkNow) {
            SendLinkCheck();
        }
        if (onLine_) {
            return;
        }
        if (linkCheckDue_ && FPortOk && !queued_.empty()) {
            return;  // parked after a failed link check (see ProcessReply)
        }
    }
    if (!FPortOk) {
        queued_.clear();
    }
    if (requestSerial_ == serialBefore) {
        awaited_ = {};
    }
    FAllowToSend = true;
}

std::string TOmronCom::NextLinkCheckText() {
    // Six digits: a late echo reply could otherwise carry the data of a check a hundred checks
    // back and be taken for the current one.
    char serial[8];
    std::snprintf(serial, sizeof serial, "%06u", linkCheckSerial_);
    linkCheckSerial_ = (linkCheckSerial_ + 1) % 1000000;
    return std::string(commands::kEchoTest) + serial;
}

void TOmronCom::SendLinkCheck() {
    linkCheckDue_ = false;
    BeginRequest({Kind::ConnectOrWrite});
    Transmit(Request{awaited_, NextLinkCheckText(), false});
}

void TOmronCom::AbandonRequest() {
    RunExclusive([&] {
        if (!onLine_) {
            if (linkCheckDue_ && FPortOk && !queued_.empty()) {
                SendLinkCheck();  // requests parked after a failed link check: check once more
            }
            return;
        }
        ++failures_.noReply;
        echoAbandoned_ = echoAbandoned_ || isEchoTest(onLine_->commandText);
        onLine_.reset();
        linkCheckDue_ = true;
        SendNextOrIdle(requestSerial_, true);
    });
}

void TOmronCom::EchoTest() {
    RunExclusive([&] { SendEchoTest(); });
}

void TOmronCom::SendEchoTest() {
    if (awaited_.kind != Kind::RawCommand && (awaited_.kind == Kind::ConnectOrWrite || FStatusOk)) {
        ++requestSerial_;
        // The standard test data, unless an echo test has been given up on this connection: its
        // late reply would then be taken for this one's.
        SendFrame(echoAbandoned_ ? NextLinkCheckText() : std::string(commands::kEchoTest));
    }
}

void TOmronCom::ResetOmron() {
    RunExclusive([&] {
        CommandCounter_ = 0;
        BeginRequest({Kind::ConnectOrWrite});
        SendEchoTest();
    });
}

void TOmronCom::SendCommand(const std::string& CMD, const std::string& /*Parameters*/) {
    RunExclusive([&] {
        BeginRequest({Kind::RawCommand});
        SendFrame(CMD);
    });
}

// --- reads

void TOmronCom::GetStatus() {
    RunExclusive([&] {
        if (awaited_.kind != Kind::RawCommand && awaited_.kind != Kind::ConnectOrWrite &&
            FStatusOk) {
            ++requestSerial_;
            SendFrame(commands::kControllerStatus);
        }
    });
}

void TOmronCom::GetTemperature() {
    RunExclusive([&] {
        if (awaited_.kind != Kind::ConnectOrWrite && FStatusOk) {
            BeginRequest({Kind::Temperature});
            SendFrame(commands::kTemperature);
        } else if ((linkCheckDue_ || !FStatusOk) && FPortOk && !onLine_) {
            // The controller is unconfirmed (a request failed, or the echo test came back with
            // other data): the temperature read checks the link again, so that reading resumes
            // by itself once replies are clean.
            CommandCounter_ = 0;
            SendLinkCheck();
        }
    });
}

void TOmronCom::ReadVariable(const commandset::Variable& variable) {
    RunExclusive([&] { SendVariableRead(variable); });
}

void TOmronCom::SendVariableRead(const commandset::Variable& variable) {
    if (commandset::slotOf(variable) == commandset::kVariableCount) {
        return;  // not a variable of the command set: there is nothing to decode its reply by
    }
    BeginRequest({Kind::VariableRead, &variable});
    SendFrame(commandset::readText(variable));
}

void TOmronCom::CompositeRead() {
    RunExclusive([&] {
        BeginRequest({Kind::CompositeRead});
        SendFrame(commands::kCompositeRead);
    });
}

void TOmronCom::GetSetPoint() {
    ReadVariable(variable("SetPoint"));
}
void TOmronCom::ReadSLH() {
    ReadVariable(variable("SLH"));
}
void TOmronCom::ReadSLL() {
    ReadVariable(variable("SLL"));
}
void TOmronCom::GetActiveMSPn() {
    ReadVariable(variable("ActiveMSPn"));
}
void TOmronCom::TotalMultiSP() {
    ReadVariable(variable("MultiSPTotal"));
}
void TOmronCom::ReadStatusLeft() {
    ReadVariable(variable("StatusLeft"));
}
void TOmronCom::GetControlMethod() {
    ReadVariable(variable("ControlMethod"));
}
void TOmronCom::ReadSoakTime() {
    ReadVariable(variable("SoakTimeRemaining"));
}
void TOmronCom::GetTemperatureUnit() {
    ReadVariable(variable("TemperatureUnit"));
}
void TOmronCom::GetSoakTimeUnit() {
    ReadVariable(variable("SoakTimeUnit"));
}
void TOmronCom::ReadRampSetValue() {
    ReadVariable(variable("RampSetValue"));
}
void TOmronCom::ReadRampFallValue() {
    ReadVariable(variable("RampFallValue"));
}
void TOmronCom::ReadProgramPattern() {
    ReadVariable(variable("ProgramPattern"));
}

void TOmronCom::ReadSetPoints(int SPn) {
    if (SPn >= 0 && SPn < kSetPointCount) {  // another SPn has no address: nothing to ask for
        ReadVariable(*kSetPoints[SPn]);
    }
}

// --- writes and operation commands

void TOmronCom::WriteVariable(const commandset::Variable& variable, const std::string& value) {
    BeginRequest({Kind::ConnectOrWrite});
    SendFrame(commandset::writeText(variable, value));
}

void TOmronCom::Operate(const commandset::Operation& operation) {
    Operate(operation, commandset::hexDigits(operation.information, 2));
}

void TOmronCom::Operate(const commandset::Operation& operation, const std::string& information) {
    if (operation.keepsAwaited) {
        ++requestSerial_;
    } else {
        BeginRequest({Kind::ConnectOrWrite});
    }
    // The lock is held through a pause: a reply handled meanwhile would otherwise end the write's
    // request kind and the command would be refused as a counted request.
    if (operation.pause.count() > 0) {
        std::this_thread::sleep_for(operation.pause);
    }
    SendFrame(commandset::operationText(operation, information));
}

void TOmronCom::cmdSetPoint(double Temperature) {
    RunExclusive([&] {
        double clamped = 0.0;
        const std::string value = setPointValueText(Temperature, &clamped);
        WriteVariable(variable("SetPoint"), value);
        Slot(variable("SetPoint")) = clamped;
    });
}

void TOmronCom::cmdSetPoints(int SPn, double Temperature) {
    if (SPn >= 0 && SPn < kSetPointCount) {  // another SPn has no address: nothing to write
        RunExclusive([&] { WriteVariable(*kSetPoints[SPn], setPointValueText(Temperature)); });
    }
}

void TOmronCom::SetRSV(double Value) {
    RunExclusive([&] { WriteVariable(variable("RampSetValue"), tenthsValueText(Value)); });
}

void TOmronCom::SetRFV(double Value) {
    RunExclusive([&] { WriteVariable(variable("RampFallValue"), tenthsValueText(Value)); });
}

void TOmronCom::SetSoakTime(int Time) {
    RunExclusive([&] { WriteVariable(variable("SoakTime"), commandset::hexDigits(Time, 4)); });
}

void TOmronCom::cmdSetProgramPattern(int selection) {
    RunExclusive(
        [&] { WriteVariable(variable("ProgramPattern"), "000" + std::to_string(selection)); });
}

void TOmronCom::TurnOnMultiSP() {
    RunExclusive([&] { WriteVariable(variable("MultiSPTotal"), "0008"); });
}

void TOmronCom::TurnOffMultiSP() {
    RunExclusive([&] { WriteVariable(variable("MultiSPTotal"), "0001"); });
}

void TOmronCom::SelectMultiSP(int MultiSPn) {
    RunExclusive([&] { Operate(operation("SelectMultiSP"), "0" + std::to_string(MultiSPn)); });
}

void TOmronCom::cmdRun() {
    RunExclusive([&] { Operate(operation("Run")); });
}
void TOmronCom::cmdStop() {
    RunExclusive([&] { Operate(operation("Stop")); });
}
void TOmronCom::cmdProgramStart() {
    RunExclusive([&] { Operate(operation("ProgramStart")); });
}
void TOmronCom::cmdProgramReset() {
    RunExclusive([&] { Operate(operation("ProgramReset")); });
}
void TOmronCom::cmdInvertDirect() {
    RunExclusive([&] { Operate(operation("InvertDirect")); });
}
void TOmronCom::cmdNotInvertDirect() {
    RunExclusive([&] { Operate(operation("NotInvertDirect")); });
}
void TOmronCom::MoveToSetupArea1() {
    RunExclusive([&] { Operate(operation("MoveToSetupArea1")); });
}
void TOmronCom::SoftwareReset() {
    RunExclusive([&] { Operate(operation("SoftwareReset")); });
}
void TOmronCom::WriteEnable() {
    RunExclusive([&] { Operate(operation("WriteEnable")); });
}

// --- receive path

void TOmronCom::ComPortRxChar(TCustomComPort& sender, int /*count*/) {
    // One turn per reply, so that each reply's events are raised before the next is handled.
    bool read = false;
    bool more = true;
    while (more) {
        RunExclusive([&] {
            if (!read) {
                read = true;
                const std::string chunk = sender.ReadText();
                if (chunk.empty()) {
                    more = false;
                    return;
                }
                RawString.add(chunk);
            }
            const std::optional<compoway::ReceivedFrame> received = RawString.take();
            if (!received) {
                more = false;
                return;
            }
            ++framesReceived_;
            ProcessReply(*received);
        });
    }
}

// How a reply is matched to its request.
//
// The controller answers one frame at a time, in order, and a reply names neither the variable
// nor the address it answers for: it echoes the request's MRC and SRC and brings the data. Every
// single read has MRC and SRC "0101" and four characters of data, so a reply to a read of SLH
// and one to a read of the set point look alike; only the request a reply answers says where its
// value belongs. The driver therefore keeps exactly one request on the line (`onLine_`). A request
// issued while another is on the line waits in `queued_` (a command text already waiting is not
// queued twice: its reply serves both) and goes out only when the reply on the line has been
// taken whole, BCC included, or the caller has given it up (AbandonRequest). A reply is decoded by
// what its request awaited when it went out (`Request::awaited`), never by `awaited_`, which a
// request issued in the meantime has already overwritten.
//
// A frame that comes while nothing is on the line, or whose MRC and SRC are not those of the
// request on the line, is a late answer to an earlier request (one given up, or one forgotten when
// the port was opened again): it is dropped and counted as stale, and the request on the line
// goes on waiting. A refusal (an end code or response code other than normal) is taken as the
// answer whatever command it names. Echo replies all have MRC and SRC "0801"; what tells them apart
// is the test data. Each check of the link sends test data of its own ("ThisIsEchoBackTest" and
// six digits, see NextLinkCheckText), so an echo reply that brings another check's data is stale
// too, while data that are no test data of ours at all are this echo's failure (error 202).
//
// A failed request - a wrong BCC, an end code or response code other than normal, data that
// cannot be the value asked for, or no reply in time - leaves the line out of step: a late reply
// may still be on its way and would, by its shape, pass for the next read's. So before the next
// request the driver checks the link (`linkCheckDue_`): the echo test goes out first, every late
// reply that arrives before the echo's own is dropped by the rules above, and once the echo has
// come back the line is in step and what was queued follows. A check that fails itself does not
// check again at once, which could keep a broken line busy for ever: what waits stays parked, and
// the line is not idle, until the caller's time-out (AbandonRequest) or its next temperature read
// checks again. The Stop is the exception: on a controller that answers too late for every check
// (or not at all) it would wait for ever, while the controller may well carry it out. So it never
// waits for a check: it goes out as soon as the line is free, ahead of what waits, and the check
// that is due follows it. Going first must not turn the order of Run and Stop round: a Run still
// waiting when a Stop is asked is dropped (the chamber ends stopped, as the two in order would
// leave it). Its reply, if a late one is taken for it, matters little: whether the controller
// stopped is read from its run state.
//
// `awaited_` (CommandType) is a slot of its own: what the last request issued awaits. The rules
// the callers see rest on it - whether a request is counted and needs a confirmed controller,
// whether an echo reply is the connect check, whether GetTemperature or GetStatus may send. Once a
// reply has been handled it is None again, unless a request was issued while the reply was handled
// (the connect check's set-point read, which DoBackTest issues): `requestSerial_` tells, and that
// request keeps what it awaits, so that its own reply is decoded. AllowToSend becomes true only
// when the line is idle again: the reply is whole and handled and nothing waits to go out.
void TOmronCom::ProcessReply(const compoway::ReceivedFrame& received) {
    if (!onLine_) {
        ++failures_.stale;
        return;
    }
    const Request answered = *onLine_;
    const unsigned serialBefore = requestSerial_;
    const bool wasLinkCheck = isEchoTest(answered.commandText);

    if (!received.bccOk) {
        ++failures_.wrongBcc;
        FErrorCode = 301;
        onLine_.reset();
        FailRequest();
        SendNextOrIdle(serialBefore, !wasLinkCheck);
        return;
    }
    const compoway::ReplyFields fields = compoway::SplitReply(received.frame);
    const bool failed = fields.errorCode > 0 || fields.responseCode > 0;
    if (!failed && fields.command != answered.commandText.substr(0, 4)) {
        ++failures_.stale;
        return;
    }
    const std::string echoData = wasLinkCheck ? answered.commandText.substr(4) : std::string();
    if (!failed && wasLinkCheck && fields.commandText != echoData &&
        fields.commandText.rfind(commands::kEchoTestData, 0) == 0) {
        ++failures_.stale;
        return;
    }
    expectedEchoData_ = wasLinkCheck ? echoData : std::string(commands::kEchoTestData);
    onLine_.reset();
    if (answered.counted && CommandCounter_ > 0) {
        --CommandCounter_;
    }
    FErrorCode = fields.errorCode;
    FCommand = fields.command;
    FResponseCode = fields.responseCode;
    FCommandText = fields.commandText;

    Awaiting decodeAs = answered.awaited;
    if (failed) {
        ++(fields.errorCode > 0 ? failures_.endCode : failures_.responseCode);
        decodeAs = {};
        FailRequest();
        RetryWithWritingOn(answered, fields.responseCode);
    }
    if (decodeAs.kind == Kind::RawCommand) {
        ResponseReceived();
    } else if (!DecodeResponse(FCommand, decodeAs) && !failed) {
        ++failures_.badData;
        FailRequest();
    }
    SendNextOrIdle(serialBefore, !wasLinkCheck);
}

void TOmronCom::RetryWithWritingOn(const Request& refused, int responseCode) {
    const std::string writeEnable = commandset::operationText(operation("WriteEnable"));
    const bool writeOrOperation =
        refused.commandText.rfind("0102", 0) == 0 || refused.commandText.rfind("3005", 0) == 0;
    if (responseCode != kOperationError || !writeOrOperation || refused.retried ||
        refused.commandText == writeEnable || !FPortOk) {
        return;
    }
    Request again = refused;
    again.retried = true;
    queued_.push_front(std::move(again));
    queued_.push_front(Request{{Kind::ConnectOrWrite}, writeEnable, false, true});
}

void TOmronCom::FailRequest() {
    awaited_ = {};
    ErrorRoutine();
    linkCheckDue_ = FPortOk;
}

bool TOmronCom::DecodeResponse(const std::string& command, const Awaiting& answered) {
    if (command.size() < 4) {
        return true;
    }
    int mrc = 0;
    int src = 0;
    try {
        mrc = commandset::decimalNumber(command.substr(0, 2));
        src = commandset::decimalNumber(command.substr(2, 2));
    } catch (const EConvertError&) {
        return true;  // not a command echo, as in the short reply to a transmission error
    }
    const std::string& data = FCommandText;

    try {
        if (mrc == 8 && src == 1) {
            BackTestReceived(answered);
        } else if (mrc == 6 && src == 1) {
            StatusReceived();
        } else if (mrc == 1 && src == 4 && answered.kind == Kind::Temperature) {
            awaited_ = {};
            const std::optional<double> temperature = DecodeTemperature(data);
            if (!temperature) {
                return false;
            }
            FTemperature = *temperature;
            ++temperatureReadings_;
            DataReceived();
        } else if (mrc == 1 && src == 4 && answered.kind == Kind::CompositeRead) {
            awaited_ = {};
        } else if (mrc == 1 && src == 1 && answered.kind == Kind::VariableRead) {
            awaited_ = {};
            const commandset::Variable& row = *answered.variable;
            Slot(row) = commandset::decodeValue(row.decoding, data);
            ++readings_.at(commandset::slotOf(row));
        }
    } catch (const EConvertError&) {
        return false;  // the value keeps its old one
    }
    return true;
}

std::optional<double> TOmronCom::DecodeTemperature(const std::string& data) {
    if (data.size() != 12) {
        return std::nullopt;
    }
    const auto processValue = static_cast<std::int16_t>(
        static_cast<std::uint16_t>(commandset::hexNumber(data.substr(2, 4))));
    const int decimals = commandset::decimalNumber(data.substr(8, 4));
    // The controller shows at most three decimal places; any other count is not a reading.
    if (decimals < 0 || decimals > 3) {
        return std::nullopt;
    }
    const double result = processValue / std::pow(10.0, decimals);
    if (!std::isfinite(result)) {
        return std::nullopt;
    }
    FInRange = std::fabs(Value(variable("SetPoint")) - result) < FRange;
    return result;
}

void TOmronCom::DoStatusLeft() {
    Lock lock(lock_);
    Slot(variable("StatusLeft")) =
        commandset::decodeValue(commandset::Decoding::StatusWord, FCommandText);
}

// --- event routines: what the driver does when an event comes about, under the lock

void TOmronCom::ResponseReceived() {
    awaited_ = {};
    --CommandCounter_;
    due_.push_back(DueEvent{Event::ReceivedResponse,
                            RawResponse{FErrorCode, FCommand, FResponseCode, FCommandText}});
}

void TOmronCom::BackTestReceived(const Awaiting& answered) {
    FErrorCode = FCommandText == expectedEchoData_ ? 0 : 202;
    if (answered.kind == Kind::ConnectOrWrite) {
        // Connect phase: a confirmed controller has its set point read at once. Other data
        // leave it unconfirmed, and the next temperature read checks the link again.
        FStatusOk = FErrorCode == 0;
        if (FStatusOk) {
            SendVariableRead(variable("SetPoint"));
        } else {
            ++failures_.badData;  // the line is in step; the next temperature read checks again
        }
        return;
    }
    Record(Event::BackTest);
}

void TOmronCom::ErrorRoutine() {
    CommandCounter_ = 0;
    awaited_ = {};
    FStatusOk = false;
    Record(Event::Error);
}

void TOmronCom::DataReceived() {
    awaited_ = {};
    Record(Event::DataReceived);
}

void TOmronCom::StatusReceived() {
    FStatusOk = FCommandText.substr(0, 2) == "00";
    int hi = 0;
    int lo = 0;
    if (FCommandText.size() >= 3) {
        hi = commandset::hexNumber(FCommandText.substr(2, 1));
        lo = FCommandText.size() >= 4 ? commandset::hexNumber(FCommandText.substr(3, 1)) : 0;
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
    Record(Event::StatusReceived);
}

// --- events, raised with the lock released

void TOmronCom::DoReceivedResponse(const RawResponse& response) {
    if (OnReceivedResponse) {
        OnReceivedResponse(*this, response.errorCode, response.command, response.responseCode,
                           response.commandText);
    }
}

void TOmronCom::DoBackTest() {
    if (OnBackTest) {
        OnBackTest(*this);
    }
}

void TOmronCom::DoError() {
    if (OnError) {
        OnError(*this);
    }
}

void TOmronCom::DoDataReceived() {
    if (OnDataReceived) {
        OnDataReceived(*this);
    }
}

void TOmronCom::DoStatusReceived() {
    if (OnStatusReceived) {
        OnStatusReceived(*this);
    }
}

}  // namespace lumas
