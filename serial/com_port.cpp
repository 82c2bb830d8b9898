// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/com_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string_view>
#include <thread>

#include "serial/com_threads.h"
#include "serial/line_config.h"
#include "serial/os_error.h"
#include "serial/port_discovery.h"
#include "serial/transmit_queue.h"
#include "threading/exception_report.h"
#include "threading/ui_hand_over.h"

namespace lumas {

int baudrateValue(TBaudrate rate) {
    switch (rate) {
        case TBaudrate::brUser:
            return 0;
        case TBaudrate::br110:
            return 110;
        case TBaudrate::br300:
            return 300;
        case TBaudrate::br600:
            return 600;
        case TBaudrate::br1200:
            return 1200;
        case TBaudrate::br2400:
            return 2400;
        case TBaudrate::br4800:
            return 4800;
        case TBaudrate::br9600:
            return 9600;
        case TBaudrate::br14400:
            return 14400;
        case TBaudrate::br19200:
            return 19200;
        case TBaudrate::br38400:
            return 38400;
        case TBaudrate::br56000:
            return 56000;
        case TBaudrate::br57600:
            return 57600;
        case TBaudrate::br115200:
            return 115200;
        case TBaudrate::br128000:
            return 128000;
        case TBaudrate::br256000:
            return 256000;
    }
    return 0;
}

namespace {

// The n of a "COMn" name (in any case, n of at most 9 digits), or 0 for any other name.
int comPortNumber(std::string_view name) {
    constexpr std::string_view kPrefix = "COM";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 9) {
        return 0;
    }
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != kPrefix[i]) {
            return 0;
        }
    }
    int number = 0;
    for (const char digit : name.substr(kPrefix.size())) {
        if (std::isdigit(static_cast<unsigned char>(digit)) == 0) {
            return 0;
        }
        number = number * 10 + (digit - '0');
    }
    return number;
}

}  // namespace

std::string devicePathForPortName(const std::string& portName) {
    if (!portName.empty() && portName.front() == '/') {
        return portName;
    }
    if (const int number = comPortNumber(portName); number >= 1) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + portName;
}

namespace {

// The device name with its first "%d" replaced by the port number. The name is never used as a
// format string, so other '%' characters stay as they are.
std::string formatPortName(const std::string& deviceName, int portNum) {
    std::string name = deviceName;
    if (const std::size_t at = name.find("%d"); at != std::string::npos) {
        name.replace(at, 2, std::to_string(portNum));
    }
    return name;
}

[[noreturn]] void raiseCantOpen(const std::string& path, int osError) {
    throw EComPortError("Can't open specified device " + path + " (Error " +
                            std::to_string(osError) + ", " + osErrorText(osError) + ")",
                        osError);
}

// Opens the device for reading and writing without making it the controlling terminal; all I/O on
// it is non-blocking.
int openDevice(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        return fd;
    }
    const int error = errno;
    const OsFailure failure = classifyOsError(error);
    if (failure == OsFailure::NotFound || failure == OsFailure::DeviceGone) {
        throw EComPortError("Specified device not found (" + path + ").", error);
    }
    raiseCantOpen(path, error);
}

// Keeps every other opener out. TIOCEXCL stops other processes' opens but not root's, so an
// advisory lock is taken first; a second port on the same device finds it held.
void takeExclusiveUse(int fd, const std::string& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // The lock is held elsewhere: the device is busy, whatever the call's own code says.
        const int error = errno;
        raiseCantOpen(path, classifyOsError(error) == OsFailure::Retry ? EBUSY : error);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        raiseCantOpen(path, errno);
    }
}

// Gives the device back: lifts the exclusive mode (it belongs to the terminal, not to this
// descriptor, and would outlive it while anyone else holds the device open) and closes it, which
// also drops the advisory lock.
void releaseDevice(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

void addErrors(TComErrors& into, TComErrors more) {
    for (int member = 0; member <= static_cast<int>(TComError::ceTxFull); ++member) {
        if (more.contains(static_cast<TComError>(member))) {
            into.insert(static_cast<TComError>(member));
        }
    }
}

}  // namespace

// The settings that make up the line configuration; copied whole so that a change the device
// rejects can be taken back.
struct LineProperties {
    TBaudrate baudrate = TBaudrate::br1200;
    int userBaudrate = 0;
    TParity parity = TParity::paNone;
    TDatabits databits = TDatabits::db8;
    TStopbits stopbits = TStopbits::sb1;
    TFlowControl flowControl;
    TEventChars eventChars;
    TComOptions options;
};

struct TCustomComPort::Impl {
    explicit Impl(TCustomComPort& owner) : port(owner) {}

    TCustomComPort& port;

    // Properties. Owned by the UI thread: written and read there only. The threads get copies
    // of what they need when they start.
    std::string deviceName = "COM%d";
    int portNum = 0;
    std::string portName;
    LineProperties line;
    TBuffers buffers;
    TComEvents monitorEvents{TComEvent::ceError, TComEvent::ceRxChar, TComEvent::ceTxEmpty};
    // Kept as properties only: the threads run at the default priority.
    TThreadPriority eventPriority = TThreadPriority::tpNormal;
    TThreadPriority writePriority = TThreadPriority::tpHighest;
    bool syncThreads = true;
    bool autoOpen = false;

    // The device descriptor, -1 while closed. Written only by Open and Close on the UI thread;
    // atomic so that Active() may be asked from any thread.
    std::atomic<int> fd = -1;

    // FGlobalSection serialises reads, input-queue count queries and the stopping of the transmit
    // side in Close. Close stops the event thread before it takes the lock, so no notification
    // runs while Close holds it.
    std::mutex FGlobalSection;

    // The thread running this port's dispatch now; no thread (a default id) between dispatches.
    // Written by the dispatch at its start and end (on the UI thread, or on the event thread
    // without SyncThreads), read by Close, so that Close refuses to be called from inside the
    // port's own notification: it would wait for the event thread, which waits for that
    // notification. One dispatch of a port never nests in another of the same port, since its
    // event thread waits until the running one returns.
    std::atomic<std::thread::id> dispatchingThread;

    // Guarded by its own lock (FWriteSection); shared with the transmit thread and the writers.
    TransmitQueue queue;

    // Open and Close (UI thread) create and destroy these; the threads use them meanwhile.
    CloseSignal closeSignal;
    std::unique_ptr<TComEventThread> eventThread;
    std::unique_ptr<TComWriteThread> writeThread;

    // The driver's line-error counters at the last query. Owned by the dispatch, which runs on
    // one thread at a time, and set by Open before the event thread starts.
    serial_icounter_struct lastErrorCounts{};
    bool errorCountsKnown = false;

    bool destroying = false;  // UI thread: set by the destructor, which raises no OnClose

    int rate() const {
        return line.baudrate == TBaudrate::brUser ? line.userBaudrate
                                                  : baudrateValue(line.baudrate);
    }

    void configureLine(int device) const;
    template <typename Change>
    void changeLine(Change change);
    void startThreads(int device);
    void stopThreads();
    void readErrorCountBaseline(int device);
    TComErrors takeLineErrors();
    void dispatch(TComEvents events, TComErrors errors);
};

void TCustomComPort::Impl::configureLine(int device) const {
    TermiosValue current;
    if (const int error = readLineConfig(device, current); error != 0) {
        raiseComError("Error writing dcb (%d), %s", error);
    }
    LineSettings wanted;
    wanted.bitsPerSecond = rate();
    wanted.databits = line.databits;
    wanted.parity = line.parity;
    wanted.stopbits = line.stopbits;
    wanted.flow = line.flowControl;
    wanted.chars = line.eventChars;
    wanted.options = line.options;
    if (const int error = writeLineConfig(device, buildLineConfig(current, wanted)); error != 0) {
        raiseComError("Error writing dcb (%d), %s", error);
    }
    if (const int error = applyModemLines(device, modemLinesFor(line.flowControl)); error != 0) {
        raiseComError("Error writing dcb (%d), %s", error);
    }
}

// Runs `change` on the line properties and, while open, puts the result on the line at once. If
// the device refuses it, the properties go back to what they were and the error is raised.
template <typename Change>
void TCustomComPort::Impl::changeLine(Change change) {
    const LineProperties before = line;
    change(line);
    const int device = fd.load();
    if (device < 0) {
        return;
    }
    try {
        configureLine(device);
    } catch (...) {
        line = before;
        throw;
    }
}

void TCustomComPort::Impl::readErrorCountBaseline(int device) {
    errorCountsKnown = ::ioctl(device, TIOCGICOUNT, &lastErrorCounts) == 0;
}

// Asks the driver for its error counters and reports those that went up since the last query.
// A device without counters reports nothing; one that fails the query has gone away (ceIO).
TComErrors TCustomComPort::Impl::takeLineErrors() {
    TComErrors errors;
    const int device = fd.load();
    if (!errorCountsKnown || device < 0) {
        return errors;
    }
    serial_icounter_struct now{};
    if (::ioctl(device, TIOCGICOUNT, &now) != 0) {
        if (isUnsupportedIoctl(errno)) {
            errorCountsKnown = false;
        } else {
            errors.insert(TComError::ceIO);
        }
        return errors;
    }
    if (now.frame != lastErrorCounts.frame) {
        errors.insert(TComError::ceFrame);
    }
    if (now.parity != lastErrorCounts.parity) {
        errors.insert(TComError::ceRxParity);
    }
    if (now.overrun != lastErrorCounts.overrun) {
        errors.insert(TComError::ceOverrun);
    }
    if (now.buf_overrun != lastErrorCounts.buf_overrun) {
        errors.insert(TComError::ceRxOver);
    }
    if (now.brk != lastErrorCounts.brk) {
        errors.insert(TComError::ceBreak);
    }
    lastErrorCounts = now;
    return errors;
}

// One report of the event thread, on the UI thread (or on the event thread without SyncThreads).
void TCustomComPort::Impl::dispatch(TComEvents events, TComErrors errors) {
    dispatchingThread = std::this_thread::get_id();
    try {
        if (events.contains(TComEvent::ceRxChar)) {
            // 0 when an earlier handler has already read the bytes: then nothing is raised.
            const int count = port.ReadBufUsed();
            if (count > 0 && port.OnRxChar) {
                port.OnRxChar(port, count);
            }
        }
        if (events.contains(TComEvent::ceError)) {
            addErrors(errors, takeLineErrors());
            if (!errors.empty() && port.OnError) {
                port.OnError(port, errors);
            }
        }
    } catch (const std::exception& e) {
        showStandardExceptionReport(e.what());
    } catch (...) {
        showStandardExceptionReport("Unknown exception");
    }
    dispatchingThread = std::thread::id();
}

void TCustomComPort::Impl::startThreads(int device) {
    // Linux keeps its own driver queue sizes, so there are none to request; the close signal is
    // the one resource of this step.
    closeSignal.create();
    readErrorCountBaseline(device);
    queue.open(static_cast<std::size_t>(std::max(buffers.WriteSize, 0)),
               std::chrono::milliseconds(buffers.WriteTimeout));
    // The transmit thread reports an empty queue itself, so that event is not waited for.
    TComEvents waitedFor = monitorEvents;
    waitedFor.erase(TComEvent::ceTxEmpty);
    try {
        if (!waitedFor.empty()) {
            eventThread = std::make_unique<TComEventThread>(
                device, closeSignal.fd(), waitedFor, syncThreads,
                [this](TComEvents events, TComErrors errors) { dispatch(events, errors); },
                [this] { queue.markFailed(EIO); });
        }
        writeThread = std::make_unique<TComWriteThread>(device, closeSignal.fd(), queue);
        // The dispatch reads the device through `fd`, so it is set before the threads run.
        fd = device;
        if (eventThread) {
            eventThread->start();
        }
        writeThread->start();
    } catch (...) {
        // Cleared first: a port that fails to open hands no notification to its handlers while
        // its event thread is stopped.
        fd = -1;
        stopThreads();
        throw;
    }
}

void TCustomComPort::Impl::stopThreads() {
    closeSignal.raise();
    // The event thread is stopped before FGlobalSection is taken. Without hand-over it dispatches
    // on itself, and its dispatch may be waiting for the lock. With hand-over, stopping it on the
    // UI thread serves the hand-overs it waits in, and their dispatch takes the lock on this very
    // thread (ReadBufUsed, ReadText).
    if (eventThread) {
        eventThread->stop();
        eventThread.reset();
    }
    {
        std::lock_guard lock(FGlobalSection);
        // Bytes still queued are dropped here.
        queue.close();
        if (writeThread) {
            writeThread->stop();
            writeThread.reset();
        }
    }
    closeSignal.destroy();
}

// --- TCustomComPort

TCustomComPort::TCustomComPort() : impl_(std::make_unique<Impl>(*this)) {}

TCustomComPort::~TCustomComPort() {
    impl_->destroying = true;
    try {
        Close();
    } catch (...) {
        // Close raises only when called from inside the port's own notification, where the port
        // must not be destroyed; a destructor raises nothing.
    }
}

const std::string& TCustomComPort::DeviceName() const {
    return impl_->deviceName;
}

void TCustomComPort::SetDeviceName(const std::string& name) {
    if (Active()) {
        raiseComError("Can't perform this operation while port is open", 0);
    }
    impl_->deviceName = name;
}

int TCustomComPort::PortNum() const {
    return impl_->portNum;
}

void TCustomComPort::SetPortNum(int number) {
    if (Active()) {
        raiseComError("Can't perform this operation while port is open", 0);
    }
    impl_->portNum = number;
}

const std::string& TCustomComPort::PortName() const {
    return impl_->portName;
}

void TCustomComPort::SetPortName(const std::string& name) {
    impl_->portName = name;
}

TBaudrate TCustomComPort::Baudrate() const {
    return impl_->line.baudrate;
}

void TCustomComPort::SetBaudrate(TBaudrate rate) {
    impl_->changeLine([rate](LineProperties& line) {
        line.baudrate = rate;
        if (rate != TBaudrate::brUser) {
            line.userBaudrate = 0;
        }
    });
}

int TCustomComPort::UserBaudrate() const {
    return impl_->line.userBaudrate;
}

void TCustomComPort::SetUserBaudrate(int rate) {
    if (rate == impl_->line.userBaudrate) {
        return;
    }
    impl_->changeLine([rate](LineProperties& line) {
        line.userBaudrate = rate;
        line.baudrate = TBaudrate::brUser;
    });
}

TParity TCustomComPort::Parity() const {
    return impl_->line.parity;
}

void TCustomComPort::SetParity(TParity parity) {
    impl_->changeLine([parity](LineProperties& line) { line.parity = parity; });
}

TDatabits TCustomComPort::Databits() const {
    return impl_->line.databits;
}

void TCustomComPort::SetDatabits(TDatabits bits) {
    impl_->changeLine([bits](LineProperties& line) { line.databits = bits; });
}

TStopbits TCustomComPort::Stopbits() const {
    return impl_->line.stopbits;
}

void TCustomComPort::SetStopbits(TStopbits bits) {
    impl_->changeLine([bits](LineProperties& line) { line.stopbits = bits; });
}

const TFlowControl& TCustomComPort::FlowControl() const {
    return impl_->line.flowControl;
}

void TCustomComPort::SetFlowControl(const TFlowControl& flow) {
    impl_->changeLine([&flow](LineProperties& line) { line.flowControl = flow; });
}

const TEventChars& TCustomComPort::EventChars() const {
    return impl_->line.eventChars;
}

void TCustomComPort::SetEventChars(const TEventChars& chars) {
    impl_->changeLine([&chars](LineProperties& line) { line.eventChars = chars; });
}

TComOptions TCustomComPort::Options() const {
    return impl_->line.options;
}

void TCustomComPort::SetOptions(TComOptions options) {
    impl_->changeLine([options](LineProperties& line) { line.options = options; });
}

// Buffers, MonitorEvents, the priorities and SyncThreads take effect at the next Open.
const TBuffers& TCustomComPort::Buffers() const {
    return impl_->buffers;
}
void TCustomComPort::SetBuffers(const TBuffers& buffers) {
    impl_->buffers = buffers;
}
TComEvents TCustomComPort::MonitorEvents() const {
    return impl_->monitorEvents;
}
void TCustomComPort::SetMonitorEvents(TComEvents events) {
    impl_->monitorEvents = events;
}
TThreadPriority TCustomComPort::EventPriority() const {
    return impl_->eventPriority;
}
void TCustomComPort::SetEventPriority(TThreadPriority priority) {
    impl_->eventPriority = priority;
}
TThreadPriority TCustomComPort::WritePriority() const {
    return impl_->writePriority;
}
void TCustomComPort::SetWritePriority(TThreadPriority priority) {
    impl_->writePriority = priority;
}
bool TCustomComPort::SyncThreads() const {
    return impl_->syncThreads;
}
void TCustomComPort::SetSyncThreads(bool sync) {
    impl_->syncThreads = sync;
}
bool TCustomComPort::AutoOpen() const {
    return impl_->autoOpen;
}
void TCustomComPort::SetAutoOpen(bool autoOpen) {
    impl_->autoOpen = autoOpen;
}

std::string TCustomComPort::DevicePath() const {
    return devicePathForPortName(formatPortName(impl_->deviceName, impl_->portNum));
}

void TCustomComPort::Open() {
    if (Active()) {
        raiseComError("Can't perform this operation while port is open", 0);
    }
    // Bind the hand-over to the UI thread before any background thread needs it.
    UiHandOver::instance();
    const std::string path = DevicePath();
    const int device = openDevice(path);
    try {
        takeExclusiveUse(device, path);
        impl_->configureLine(device);
        // A freshly opened port starts with an empty input queue: bytes the device kept from before
        // (a reply to a previous session's request) must not be taken for a new reply.
        ::tcflush(device, TCIFLUSH);
        impl_->startThreads(device);
    } catch (...) {
        releaseDevice(device);
        throw;
    }
    if (OnOpen) {
        OnOpen(*this);
    }
}

void TCustomComPort::Close() {
    // The device's own state, not an override's: Close also runs from the destructor.
    if (impl_->fd.load() < 0) {
        return;
    }
    if (impl_->dispatchingThread.load() == std::this_thread::get_id()) {
        // The event thread waits for the running notification, so it could never be stopped.
        throw std::logic_error("The port cannot be closed from inside its own notification");
    }
    impl_->stopThreads();
    releaseDevice(impl_->fd.exchange(-1));
    if (!impl_->destroying && OnClose) {
        OnClose(*this);
    }
    // A plain pause: the device settles before it may be opened again. No events are served.
    std::this_thread::sleep_for(closeSettle_);
}

std::chrono::milliseconds TCustomComPort::CloseSettle() const {
    return closeSettle_;
}

void TCustomComPort::SetCloseSettle(std::chrono::milliseconds pause) {
    closeSettle_ = std::max(pause, std::chrono::milliseconds(0));
}

bool TCustomComPort::Active() const {
    return impl_->fd.load() >= 0;
}

bool TCustomComPort::WriteText(const std::string& s) {
    int failure = 0;
    switch (impl_->queue.append(s, failure)) {
        case TransmitQueue::AppendResult::Queued:
            return true;
        case TransmitQueue::AppendResult::Closed:
            return s.empty();
        case TransmitQueue::AppendResult::TimedOut:
            raiseComError("Output buffer is full. Please check comm status.", 0);
        case TransmitQueue::AppendResult::LineFailed:
            raiseComError("Write error (%d), %s", failure);
    }
    return false;
}

std::string TCustomComPort::ReadText() {
    const int count = ReadBufUsed();
    if (count <= 0) {
        return {};
    }
    std::lock_guard lock(impl_->FGlobalSection);
    std::string bytes(static_cast<std::size_t>(count), '\0');
    const ssize_t got = ::read(impl_->fd.load(), bytes.data(), bytes.size());
    if (got < 0) {
        if (classifyOsError(errno) == OsFailure::Retry) {
            return {};
        }
        raiseComError("Read error (%d), %s", errno);
    }
    bytes.resize(static_cast<std::size_t>(got));
    if (impl_->line.options.contains(TComOption::coNullStrip)) {
        std::erase(bytes, '\0');
    }
    return bytes;
}

int TCustomComPort::ReadBufUsed() {
    std::lock_guard lock(impl_->FGlobalSection);
    const int device = impl_->fd.load();
    if (device < 0) {
        return 0;
    }
    int count = 0;
    if (::ioctl(device, FIONREAD, &count) != 0) {
        raiseComError("Error retrieving statistics (%d), %s", errno);
    }
    return count;
}

void TCustomComPort::GetComPortNames(std::vector<std::string>& names) const {
    names = discoverSerialPorts();
}

void applyControllerLinkDefaults(TCustomComPort& port) {
    port.SetDeviceName("COM7");
    port.SetPortNum(7);
    port.SetBaudrate(TBaudrate::br9600);
    port.SetParity(TParity::paEven);
    port.SetDatabits(TDatabits::db7);
    port.SetStopbits(TStopbits::sb2);
    port.SetFlowControl(TFlowControl{});
}

}  // namespace lumas
