#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "protocol/frame_codec.h"
#include "serial/com_port.h"

namespace lumas {

// A reply whose data cannot be read as the number its request expects.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Command texts of the command set, shared with the simulated controller and the tests.
namespace commands {
inline constexpr const char* kEchoTest = "0801ThisIsEchoBackTest";
inline constexpr const char* kEchoTestData = "ThisIsEchoBackTest";
inline constexpr const char* kControllerStatus = "0601";
inline constexpr const char* kTemperature = "01048000000080000E00";
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
// from its own thread, so every public operation and each run of the receive handler holds
// `lock_` for its whole length (re-entrant, so event handlers may call back into the driver).
//
// How a reply is matched to its request. The controller answers one frame at a time, in order,
// and its reply echoes the request's MRC and SRC but no address, so two reads of different
// variables have replies of the same shape. The driver therefore keeps exactly one request on
// the line (`awaiting_`): a request issued while another awaits its reply waits in `queued_` and
// goes out when that reply is whole (BCC included) or the request is given up (AbandonRequest).
// A reply whose MRC and SRC are not those of the awaited request is a late answer to an earlier
// request and is dropped. A failed request (a wrong BCC, an end code or response code other than
// normal, data that cannot be a value, or no reply at all) makes the driver check the link again
// before the next request: the echo test goes out first, and every late reply that arrives
// before the echo's own reply is dropped by the rule above, so the link is back in step once the
// echo returns. AllowToSend becomes true only when the line is idle again: the awaited reply is
// whole and handled, and nothing waits to go out.
class TOmronCom {
  public:
    TOmronCom();
    virtual ~TOmronCom();
    TOmronCom(const TOmronCom&) = delete;
    TOmronCom& operator=(const TOmronCom&) = delete;

    // --- request type awaiting its reply (CommandType values)
    static constexpr int kNoRequest = 0;
    static constexpr int kRawCommand = 1;
    static constexpr int kTemperatureRead = 2;
    static constexpr int kConnectOrWrite = 100;

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
    bool RunStop() const;  // true: the controller is stopped
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

    // The request whose reply is awaited and the count of unanswered counted requests; for
    // diagnosis and tests.
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

    // --- link
    int OpenPort();
    void ClosePort();
    void EchoTest();
    void ResetOmron();
    void SendCommand(const std::string& CMD, const std::string& Parameters);

    // --- command set: reads
    void GetStatus();
    void GetTemperature();
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
    virtual void DoReceivedResponse();
    // `requestType` is the type of the request the echo answers: 100 in the connect phase.
    virtual void DoBackTest(int requestType);
    virtual void DoError();
    virtual void DoDataReceived();
    virtual void DoStatusReceived();

  private:
    // A request as it goes out: its type, its command text and whether it is counted.
    struct Request {
        int type = kNoRequest;
        std::string commandText;
        bool counted = false;
        bool retried = false;  // sent again after the controller refused it once
    };

    void SendFrame(const std::string& commandText);
    // Writes a request's frame and makes it the awaited one.
    void Transmit(const Request& request);
    // Puts a request behind the one on the line; the same command text is not queued twice.
    void Enqueue(Request request);
    // Once nothing is awaited: sends the next queued request (after the echo test when the link
    // is to be checked and `checkNow`), or marks the line idle. `serialBefore` is the request
    // serial when the reply's handling began.
    void SendNextOrIdle(unsigned serialBefore, bool checkNow);
    // Drops the awaited and queued requests and the pending link check.
    void ForgetRequests();
    // Sends the echo test with test data of its own as the check of the link.
    void SendLinkCheck();
    // The echo test with the next test data of its own ("ThisIsEchoBackTest" and two digits).
    std::string NextLinkCheckText();
    // Stores the request type of a new request; every request issued goes through here.
    void BeginRequest(int type);
    void ProcessReply(const compoway::ReceivedFrame& received);
    // A failed request: the error routine runs and the link is checked before the next request.
    void FailRequest();
    // A write or operation command refused with an operation error (communications writing is
    // off, as after the controller lost power for a moment): writing is switched on and the
    // command sent once more, next after the link check.
    void RetryWithWritingOn(const Request& refused, int responseCode);
    // Runs the decoder rows for a reply to a request of type `type`; returns false when the data
    // cannot be the value asked for.
    bool DecodeResponse(const std::string& command, int type);
    std::optional<double> DecodeTemperature(const std::string& data);
    // The device went away while open (a hang-up reported by the port).
    void DeviceGone();

    using Lock = std::lock_guard<std::recursive_mutex>;
    mutable std::recursive_mutex lock_;  // guards every field below

    int CommandCounter_ = 0;
    compoway::NodeNumber node_;  // FNodeNumber and SNodeNumber
    TCustomComPort* FCOMPort = nullptr;
    bool FPortOk = false;
    int FErrorCode = -1;
    int CommandType_ = kNoRequest;
    unsigned requestSerial_ = 0;  // bumped by every BeginRequest
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
    bool FTemperatureUnit = false;
    double FSetPoint = 0.0;
    int FMultiSPTotal = 0;
    int FActiveMSPn = 0;
    unsigned char FSoakTimeUnit = 0;
    int FSoakTimeRemaining = 0;
    bool FAllowToSend = false;
    double FRampSetValue = 0.0;
    double FRampFallValue = 0.0;
    double FSP[8] = {};
    double FSLH = 0.0;
    double FSLL = 0.0;
    bool FControlMethod = false;
    unsigned char FPP = 0;
    bool FAT = false;
    bool FRunStop = false;
    bool FComW = false;
    compoway::ReceiveBuffer RawString;
    double FRange = 0.5;
    bool FInRange = false;

    std::optional<Request> awaiting_;  // the request on the line, whose reply is awaited
    std::deque<Request> queued_;       // requests issued while another was on the line
    bool linkCheckDue_ = false;        // a request failed: the echo test goes out before the next
    unsigned linkCheckSerial_ = 0;     // tells the link checks' test data apart, 00 to 99
    bool echoAbandoned_ = false;       // an echo test was given up on this connection
    // The test data the echo reply being handled must bring back.
    std::string expectedEchoData_ = commands::kEchoTestData;
    ReplyFailures failures_;
    unsigned long temperatureReadings_ = 0;
    unsigned long statusReadings_ = 0;
    unsigned long framesReceived_ = 0;
};

// The set-point value of a write: clamped to -70..400 (a value that is not a number gives -70),
// in tenths rounded half to even, as eight hexadecimal digits of its 32-bit two's complement.
std::string setPointValueText(double temperature, double* clampedOut = nullptr);
// A value in tenths, rounded half to even, as at least four hexadecimal digits.
std::string tenthsValueText(double value);

}  // namespace lumas
