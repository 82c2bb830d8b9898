#pragma once

#include <functional>
#include <mutex>
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
    virtual void DoBackTest();
    virtual void DoError();
    virtual void DoDataReceived();
    virtual void DoStatusReceived();

  private:
    void SendFrame(const std::string& commandText);
    // Stores the request type of a new request; every request issued goes through here.
    void BeginRequest(int type);
    void ProcessReply(const compoway::ReceivedFrame& received);
    void DecodeResponse(const std::string& command);
    double DecodeTemperature(const std::string& data);

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

// The set-point value of a write: clamped to -70..400 (a value that is not a number gives -70),
// in tenths rounded half to even, as eight hexadecimal digits of its 32-bit two's complement.
std::string setPointValueText(double temperature, double* clampedOut = nullptr);
// A value in tenths, rounded half to even, as at least four hexadecimal digits.
std::string tenthsValueText(double value);

}  // namespace lumas
