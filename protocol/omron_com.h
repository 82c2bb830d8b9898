// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/command_set.h"
#include "protocol/frame_codec.h"
#include "serial/com_port.h"

namespace lumas {

// Command texts of the command set, shared with the simulated controller and the tests.
namespace commands {
inline constexpr const char* kEchoTest = "0801ThisIsEchoBackTest";
inline constexpr const char* kEchoTestData = "ThisIsEchoBackTest";
inline constexpr const char* kControllerStatus = "0601";
inline constexpr const char* kTemperature = "01048000000080000E00";
inline constexpr const char* kCompositeRead = "0104830005008300060081000E00";
inline constexpr const char* kReadSetPoint = "0101810003000001";
inline constexpr const char* kWriteSetPoint = "0102C10003000001";
inline constexpr const char* kReadStatusLeft = "0101800012000001";
inline constexpr const char* kWriteEnable = "30050001";
inline constexpr const char* kRun = "30050100";
inline constexpr const char* kStop = "30050101";
}  // namespace commands

class TOmronCom;

using TNotifyEvent = std::function<void(TOmronCom& sender)>;
using TOMronComResponseEvent =
    std::function<void(TOmronCom& sender, int errorCode, const std::string& command,
                       int responseCode, const std::string& commandText)>;

// The link to one Omron temperature controller: sends CompoWay/F requests through the serial port,
// checks and decodes the replies, and keeps the controller's last known values and status.
//
// Requests are fire-and-forget; their replies land in the properties later, when the port hands
// received bytes to ComPortRxChar on the UI thread. The monitoring worker sends its poll requests
// from its own thread, so every public operation and the handling of each reply holds `lock_`, a
// plain mutex, for its whole length. The events are raised once the lock is released, so that an
// event handler may call back into the driver, and ClosePort closes the port without holding the
// lock (why both: at RunExclusive in omron_com.cpp). One request is on the line at a time; how a
// reply is matched to its request is told at ProcessReply in omron_com.cpp.
//
// The variables and operation commands are rows of the command set (command_set.h): the named
// reads, writes and properties below are one-line members that look their row up, and any other
// row is read with ReadVariable and read back with VariableValue.
class TOmronCom {
  public:
    TOmronCom();
    virtual ~TOmronCom();
    TOmronCom(const TOmronCom&) = delete;
    TOmronCom& operator=(const TOmronCom&) = delete;

    // --- the request awaiting its reply
    enum class RequestKind : std::uint8_t {
        None,            // nothing; also a request whose reply needs no decoding once handled
        RawCommand,      // SendCommand: the reply goes to OnReceivedResponse
        Temperature,     // GetTemperature
        ConnectOrWrite,  // the connect phase's echo test, a write or an operation command
        VariableRead,    // a read of one variable of the command set
        CompositeRead,   // CompositeRead: the reply is taken, nothing is stored
    };
    struct Awaiting {
        RequestKind kind = RequestKind::None;
        const commandset::Variable* variable = nullptr;  // the row a VariableRead reads

        // A request sent while this is awaited is counted (it raises CommandCounter) and needs a
        // confirmed controller: while nothing, a raw command or a temperature read is awaited.
        bool counted() const {
            return kind == RequestKind::None || kind == RequestKind::RawCommand ||
                   kind == RequestKind::Temperature;
        }
        bool operator==(const Awaiting&) const = default;
    };
    Awaiting Awaited() const;

    // CommandType: Awaited() as a number, for callers that compare with these.
    static constexpr int kNoRequest = 0;
    static constexpr int kRawCommand = 1;
    static constexpr int kTemperatureRead = 2;
    static constexpr int kConnectOrWrite = 100;
    static constexpr int kVariableRead = 105;
    static constexpr int kCompositeRead = 140;

    // --- properties
    TCustomComPort* COMPort() const;
    void SetCOMPort(TCustomComPort* port);
    int NodeNumber() const;
    void SetNodeNumber(int value);
    bool AllowToSend() const;
    void SetAllowToSend(bool value);
    double Range() const;
    void SetRange(double value);
    int ErrorCode() const;
    int ResponseCode() const;
    std::string CommandText() const;
    bool Connected() const;
    bool StatusOk() const;

    double Temperature() const;
    bool InRange() const;
    double SetPoint() const;
    double SP(int n) const;  // SP0 to SP7
    double SLH() const;
    double SLL() const;
    int ActiveMSPn() const;
    int MultiSPTotal() const;
    bool ControlMethod() const;
    int SoakTimeRemaining() const;
    bool TemperatureUnit() const;  // true: Fahrenheit
    unsigned char SoakTimeUnit() const;
    double RampSetValue() const;
    double RampFallValue() const;
    unsigned char ProgramPattern() const;
    bool RunStop() const;  // true: the controller is stopped; the same as Stopped
    bool Stopped() const;  // the controller is stopped, not running
    bool ComW() const;
    bool AT() const;
    bool sHeaterOvercurrentCT1() const;
    bool sHeaterCurrentHoldCT1() const;
    bool sADConverterError() const;
    bool sHeaterOvercurrentCT2() const;
    bool sHeaterCurrentHoldCT2() const;
    bool sPotentiometrInputError() const;
    bool sInputError() const;
    bool sDisplayRangeExceeded() const;

    // The last value read of a variable of the command set (0 until its first reply); the set
    // point also takes what cmdSetPoint writes. 0 for a variable that is no row of the table.
    double VariableValue(const commandset::Variable& variable) const;
    // How many replies to reads of the variable have been decoded.
    unsigned long VariableReadings(const commandset::Variable& variable) const;

    // The awaited request as a number (see kNoRequest) and the count of unanswered counted
    // requests; for diagnosis and tests.
    int CommandType() const;
    int CommandCounter() const;

    // Failed requests since construction, by kind.
    struct ReplyFailures {
        unsigned long wrongBcc = 0;      // the reply's block check character was wrong
        unsigned long endCode = 0;       // an end code other than "00"
        unsigned long responseCode = 0;  // a response code other than "0000"
        unsigned long badData = 0;       // data that cannot be the value asked for
        unsigned long noReply = 0;       // given up without a reply (AbandonRequest)
        unsigned long stale = 0;         // a late reply to an earlier request, dropped
    };
    ReplyFailures Failures() const;
    // How many valid temperature replies have been decoded; the count moves with every fresh
    // reading, so a caller with a clock can tell a live reading from a frozen one.
    unsigned long TemperatureReadings() const;
    // How many run-state replies (ReadStatusLeft) have been decoded.
    unsigned long StatusReadings() const;
    // How many whole frames have been taken from the line, whatever became of them.
    unsigned long FramesReceived() const;
    // True while a request is on the line or waiting to go out.
    bool Busy() const;
    // The awaited reply is given up (the caller's reply time-out has passed): the next request
    // waiting goes out, preceded by a check of the link. Does nothing when nothing is awaited.
    void AbandonRequest();

    // Why the port last failed: the text of the error the port raised on opening or on writing,
    // and the OS error code it carried (0 when it carried none). Empty until a failure, and again
    // after OpenPort has opened the port.
    struct PortFailure {
        std::string message;
        int osError = 0;
    };
    std::optional<PortFailure> LastPortFailure() const;

    // --- link
    int OpenPort();
    void ClosePort();
    void EchoTest();
    void ResetOmron();
    void SendCommand(const std::string& CMD, const std::string& Parameters);

    // --- command set: reads
    void GetStatus();
    void GetTemperature();
    // Reads a variable of the command set; its value lands in VariableValue. A variable that is
    // no row of the table is not sent.
    void ReadVariable(const commandset::Variable& variable);
    void GetSetPoint();
    void ReadSetPoints(int SPn);
    void ReadSLH();
    void ReadSLL();
    void GetActiveMSPn();
    void TotalMultiSP();
    void ReadStatusLeft();
    void GetControlMethod();
    void CompositeRead();
    void ReadSoakTime();
    void GetTemperatureUnit();
    void GetSoakTimeUnit();
    void ReadRampSetValue();
    void ReadRampFallValue();
    void ReadProgramPattern();

    // --- command set: writes and operation commands
    void cmdSetPoint(double Temperature);
    void cmdSetPoints(int SPn, double Temperature);
    void SetRSV(double Value);
    void SetRFV(double Value);
    void SetSoakTime(int Time);
    void cmdSetProgramPattern(int selection);
    void TurnOnMultiSP();
    void TurnOffMultiSP();
    void SelectMultiSP(int MultiSPn);
    void cmdRun();
    void cmdStop();
    void cmdProgramStart();
    void cmdProgramReset();
    void cmdInvertDirect();
    void cmdNotInvertDirect();
    void MoveToSetupArea1();
    void SoftwareReset();
    void WriteEnable();  // waits 50 ms before sending

    // Decodes the current reply data as a run/stop status word.
    void DoStatusLeft();

    // The port's receive event; OpenPort attaches it.
    void ComPortRxChar(TCustomComPort& sender, int count);

    // --- events
    TOMronComResponseEvent OnReceivedResponse;
    TNotifyEvent OnBackTest;
    TNotifyEvent OnError;
    TNotifyEvent OnDataReceived;
    TNotifyEvent OnStatusReceived;

  protected:
    // What a reply to SendCommand brought, as OnReceivedResponse passes it on.
    struct RawResponse {
        int errorCode = 0;
        std::string command;
        int responseCode = 0;
        std::string commandText;
    };

    // Raise the events. They run with `lock_` released, after the operation or the reply that
    // brought them has been handled, in the order they came about; a handler may call back into
    // the driver.
    virtual void DoReceivedResponse(const RawResponse& response);
    virtual void DoBackTest();
    virtual void DoError();
    virtual void DoDataReceived();
    virtual void DoStatusReceived();

  private:
    // An event that has come about while `lock_` is held, raised once it is released.
    enum class Event : std::uint8_t {
        ReceivedResponse,
        BackTest,
        Error,
        DataReceived,
        StatusReceived
    };
    struct DueEvent {
        Event event = Event::Error;
        RawResponse response;  // ReceivedResponse only
    };

    // One turn of a public operation or of the receive handler: runs `body` with `lock_` held,
    // then releases the lock and raises the events that the turn recorded, in order (also when
    // `body` throws, before the exception goes on).
    template <typename Body>
    void RunExclusive(const Body& body);
    void Raise(const std::vector<DueEvent>& due);

    // Every private member function below runs with `lock_` held by its caller and never takes it;
    // the public ones take it (through RunExclusive or a Lock) and never call a public member
    // function that takes it while they hold it.

    // A request as it goes out: what it awaits, its command text and whether it is counted.
    struct Request {
        Awaiting awaited;
        std::string commandText;
        bool counted = false;
        bool retried = false;  // sent again after the controller refused it once
        // The Stop: it makes the chamber safe, so it never waits behind a check of the link (see
        // ProcessReply): it goes out as soon as the line is free, and the check follows it.
        bool urgent = false;
    };

    // A write of a variable of the command set, `value` as the command text ends with it.
    void WriteVariable(const commandset::Variable& variable, const std::string& value);
    // An operation command with the related information of its row, or with `information`.
    void Operate(const commandset::Operation& operation);
    void Operate(const commandset::Operation& operation, const std::string& information);
    // The request of ReadVariable and of the echo test (EchoTest).
    void SendVariableRead(const commandset::Variable& variable);
    void SendEchoTest();
    // The value slot of a row of the command set, and its value (0 for no row of the table).
    double& Slot(const commandset::Variable& variable);
    double Value(const commandset::Variable& variable) const;
    bool StatusBit(int bit) const;

    void SendFrame(const std::string& commandText);
    // Writes a request's frame and puts it on the line.
    void Transmit(const Request& request);
    // Puts a request behind the one on the line (an urgent one in front of the others); the same
    // command text is not queued twice.
    void Enqueue(Request request);
    // Once nothing is on the line: sends the next queued request (after the echo test when the
    // link is to be checked and `checkNow`), or marks the line idle. `serialBefore` is the
    // request serial when the reply's handling began.
    void SendNextOrIdle(unsigned serialBefore, bool checkNow);
    // Drops the requests on the line and queued, and the pending link check.
    void ForgetRequests();
    // Sends the echo test with test data of its own as the check of the link.
    void SendLinkCheck();
    // The echo test with the next test data of its own ("ThisIsEchoBackTest" and six digits).
    std::string NextLinkCheckText();
    // Stores what a new request awaits; every request issued goes through here.
    void BeginRequest(Awaiting awaited);
    void ProcessReply(const compoway::ReceivedFrame& received);
    // A failed request: the error routine runs and the link is checked before the next request.
    void FailRequest();
    // The driver's own side of each event: its state changes, then the event is recorded for the
    // running turn to raise. ErrorRoutine leaves the controller unconfirmed and starts the request
    // counter again; the others take a reply to SendCommand, to the echo test (`answered` is what
    // the echo answers: the connect phase when it is ConnectOrWrite), to the status read and to
    // the temperature read.
    void ErrorRoutine();
    void ResponseReceived();
    void BackTestReceived(const Awaiting& answered);
    void StatusReceived();
    void DataReceived();
    void Record(Event event);
    // A write or operation command refused with an operation error (communications writing is
    // off, as after the controller lost power for a moment): writing is switched on and the
    // command sent once more, next after the link check.
    void RetryWithWritingOn(const Request& refused, int responseCode);
    // Decodes a reply to the request `answered`; returns false when the data cannot be the value
    // asked for.
    bool DecodeResponse(const std::string& command, const Awaiting& answered);
    std::optional<double> DecodeTemperature(const std::string& data);
    // The device went away while open (a hang-up reported by the port).
    void DeviceGone();
    // Keeps the port's error as the last port failure.
    void KeepPortFailure(const std::exception& error);

    using Lock = std::lock_guard<std::mutex>;
    mutable std::mutex lock_;  // guards every field below

    // The events recorded by the running turn (see RunExclusive), which takes them out before it
    // releases the lock.
    std::vector<DueEvent> due_;

    // Written under `lock_`; atomic so that CommandCounter() may be read without it, also from a
    // port whose WriteText hands the frame on at once while the driver holds its lock.
    std::atomic<int> CommandCounter_{0};
    compoway::NodeNumber node_;  // FNodeNumber and SNodeNumber
    TCustomComPort* FCOMPort = nullptr;
    bool FPortOk = false;
    int FErrorCode = -1;
    Awaiting awaited_;            // what the last request issued awaits (CommandType)
    unsigned requestSerial_ = 0;  // bumped by every request issued
    std::string FCommand;
    std::string FCommandText;
    bool FHADConverterError = false;
    bool FHeaterOvercurrentCT1 = false;
    bool FHeaterCurrentHoldCT1 = false;
    bool FHeaterOvercurrentCT2 = false;
    bool FHeaterCurrentHoldCT2 = false;
    bool FPotentiometrInputError = false;
    bool FInputError = false;
    bool FDisplayRangeExceeded = false;
    bool FStatusOk = false;
    int FResponseCode = 0;
    double FTemperature = 0.0;
    bool FAllowToSend = false;
    // The last value of each row of the command set and how many replies have brought one.
    std::array<double, commandset::kVariableCount> values_{};
    std::array<unsigned long, commandset::kVariableCount> readings_{};
    compoway::ReceiveBuffer RawString;
    double FRange = 0.5;
    bool FInRange = false;
    std::optional<PortFailure> lastPortFailure_;

    // ClosePort is closing the port (outside the lock): nothing more is written to it.
    bool portClosing_ = false;

    std::optional<Request> onLine_;  // the request on the line, whose reply is awaited
    std::deque<Request> queued_;     // requests issued while another was on the line
    bool linkCheckDue_ = false;      // a request failed: the echo test goes out before the next
    unsigned linkCheckSerial_ = 0;   // tells the link checks' test data apart, 000000 to 999999
    bool echoAbandoned_ = false;     // an echo test was given up on this connection
    // The test data the echo reply being handled must bring back.
    std::string expectedEchoData_ = commands::kEchoTestData;
    ReplyFailures failures_;
    unsigned long temperatureReadings_ = 0;
    unsigned long framesReceived_ = 0;
};

}  // namespace lumas
