// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/os_error.h"

namespace lumas {

// Line rate. brUser takes its rate from UserBaudrate.
enum class TBaudrate {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TParity { paNone, paOdd, paEven, paMark, paSpace };
enum class TDatabits { db4, db5, db6, db7, db8 };
enum class TStopbits { sb1, sb15, sb2 };
enum class TControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum class TControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
enum class TComEvent {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
    cePErr,
    ceRx80Full,
    ceEvent1,
    ceEvent2
};
enum class TComOption { coErrorChar, coNullStrip, coParityCheck };
// Line errors reported through OnError. ceIO also stands for a device that went away while open.
enum class TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// A small set of enumeration members, one bit per member.
template <typename Enum>
class EnumSet {
  public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> members) {
        for (Enum member : members) {
            bits_ |= bit(member);
        }
    }
    constexpr bool contains(Enum member) const { return (bits_ & bit(member)) != 0; }
    constexpr void insert(Enum member) { bits_ |= bit(member); }
    constexpr void erase(Enum member) { bits_ &= ~bit(member); }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr bool operator==(const EnumSet&) const = default;

  private:
    static constexpr std::uint32_t bit(Enum member) {
        return std::uint32_t{1} << static_cast<unsigned>(member);
    }
    std::uint32_t bits_ = 0;
};

using TComEvents = EnumSet<TComEvent>;
using TComOptions = EnumSet<TComOption>;
using TComErrors = EnumSet<TComError>;

// The line rate in bits per second that a TBaudrate member stands for; 0 for brUser.
int baudrateValue(TBaudrate rate);

struct TFlowControl {
    bool OutCtsFlow = false;
    bool OutDsrFlow = false;
    TControlDtr ControlDtr = TControlDtr::dtrDisabled;
    TControlRts ControlRts = TControlRts::rtsDisabled;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    bool operator==(const TFlowControl&) const = default;
};

struct TEventChars {
    char XonChar = 17;
    char XoffChar = 19;
    char ErrorChar = 0;
    char EventChar = 0;
    char EofChar = 0;
};

struct TBuffers {
    int ReadSize = 4096;      // bytes
    int WriteSize = 2048;     // bytes; the transmit queue's capacity
    int ReadTimeout = 1000;   // ms
    int WriteTimeout = 1000;  // ms; how long WriteText waits for room in the queue
    int XonLimit = 1024;      // bytes
    int XoffLimit = 1024;     // bytes
};

// Every failure of the serial port component. what() is one of the component's fixed texts;
// osError() is the errno of the failed call, 0 for texts without one, and kind() what it means,
// so that callers tell a missing device from a busy or forbidden one without reading the text.
class EComPortError : public std::runtime_error {
  public:
    EComPortError(const std::string& message, int osError)
        : std::runtime_error(message), osError_(osError) {}
    int osError() const { return osError_; }
    OsFailure kind() const { return classifyOsError(osError_); }

  private:
    int osError_;
};

// Turns a port name into the device path it opens: an absolute path stays as it is, "COMn" names
// /dev/ttyS(n-1), any other name is looked up under /dev/.
std::string devicePathForPortName(const std::string& portName);

// The serial port. Properties are written on the UI thread; WriteText may also be called from the
// monitoring worker. While open, an event thread waits for received bytes and hands each
// notification to the UI thread (see UiHandOver), and a transmit thread sends the queued bytes.
class TCustomComPort {
  public:
    using TComRxCharEvent = std::function<void(TCustomComPort& sender, int count)>;
    using TComErrorEvent = std::function<void(TCustomComPort& sender, TComErrors errors)>;
    using TNotifyEvent = std::function<void(TCustomComPort& sender)>;

    TCustomComPort();
    virtual ~TCustomComPort();  // closes the port first
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // --- properties
    const std::string& DeviceName() const;
    void SetDeviceName(const std::string& name);  // raises while open
    int PortNum() const;
    void SetPortNum(int number);  // raises while open
    // The port the configuration dialog last chose, by the name its list showed (ttyUSB0,
    // /dev/pts/3, COM5); empty until then. PortNum keeps only the number of a COMn or ttySn name,
    // so this is what tells ttyUSB0 from ttyACM0. Like PortNum it never changes the device that
    // is opened: DeviceName does.
    const std::string& PortName() const;
    void SetPortName(const std::string& name);
    TBaudrate Baudrate() const;
    void SetBaudrate(TBaudrate rate);  // anything but brUser resets UserBaudrate to 0
    int UserBaudrate() const;
    void SetUserBaudrate(int rate);  // a new value switches Baudrate to brUser
    TParity Parity() const;
    void SetParity(TParity parity);
    TDatabits Databits() const;
    void SetDatabits(TDatabits bits);
    TStopbits Stopbits() const;
    void SetStopbits(TStopbits bits);
    const TFlowControl& FlowControl() const;
    void SetFlowControl(const TFlowControl& flow);
    const TEventChars& EventChars() const;
    void SetEventChars(const TEventChars& chars);
    const TBuffers& Buffers() const;
    void SetBuffers(const TBuffers& buffers);
    TComOptions Options() const;
    void SetOptions(TComOptions options);
    TComEvents MonitorEvents() const;
    void SetMonitorEvents(TComEvents events);
    TThreadPriority EventPriority() const;
    void SetEventPriority(TThreadPriority priority);
    TThreadPriority WritePriority() const;
    void SetWritePriority(TThreadPriority priority);
    bool SyncThreads() const;
    void SetSyncThreads(bool sync);
    bool AutoOpen() const;
    void SetAutoOpen(bool autoOpen);

    // DeviceName formatted with PortNum ("%d"), then mapped by devicePathForPortName.
    std::string DevicePath() const;

    // --- operations
    void Open();   // raises EComPortError and stays closed on any failure
    void Close();  // no-op when closed; otherwise stops the threads, closes, pauses (CloseSettle)
    // The plain pause after a close, so that the device settles before it is opened again: 300 ms
    // unless set otherwise. A program that ends right after closing has nothing to protect and
    // may set it to zero.
    std::chrono::milliseconds CloseSettle() const;
    void SetCloseSettle(std::chrono::milliseconds pause);
    // Virtual so that a stand-in port can play the far end of the line where no device is wanted
    // (the receive path's fuzz target).
    virtual bool Active() const;
    virtual bool WriteText(const std::string& s);
    virtual std::string ReadText();
    int ReadBufUsed();

    // Fills `names` with the serial ports known to the system (see discoverSerialPorts).
    void GetComPortNames(std::vector<std::string>& names) const;

    // --- events; assigned and run on the UI thread
    TComRxCharEvent OnRxChar;
    TComErrorEvent OnError;
    TNotifyEvent OnOpen;
    TNotifyEvent OnClose;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::chrono::milliseconds closeSettle_{300};  // UI thread only, as every property
};

class TComPort : public TCustomComPort {};

// The start-up values of the controller link's port: "COM7", port number 7, 9600 bit/s,
// 7 data bits, even parity, 2 stop bits, no flow control.
void applyControllerLinkDefaults(TCustomComPort& port);

}  // namespace lumas
