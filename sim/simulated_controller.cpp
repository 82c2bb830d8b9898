// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/simulated_controller.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "sim/frame_text.h"

namespace lumas::sim {

namespace {

constexpr std::size_t kRecordedCommandLimit = 10000;
constexpr std::string_view kStopCommand = "30050101";
constexpr std::string_view kRunCommand = "30050100";
// How long a write may wait for room in the terminal before the rest of a reply is dropped (no
// one is reading: a reply on a line nobody listens to is lost).
constexpr std::chrono::milliseconds kWriteStallLimit{1000};
// The longest pause or silence a fault keeps: the longest a single poll() waits.
constexpr std::chrono::milliseconds kLongestPause{std::numeric_limits<int>::max()};

std::chrono::milliseconds keptPause(std::chrono::milliseconds pause) {
    return std::clamp(pause, std::chrono::milliseconds::zero(), kLongestPause);
}

[[noreturn]] void throwSystemError(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string nodeTextOf(int nodeNumber) {
    if (nodeNumber < 0 || nodeNumber > 99) {
        throw std::invalid_argument("node number must be 0 to 99");
    }
    char text[8];
    std::snprintf(text, sizeof text, "%02d", nodeNumber);
    return text;
}

// A BCC that differs from the right one and is neither STX nor ETX.
char wrongBcc(char right) {
    char wrong = static_cast<char>(right ^ 0x01);
    if (wrong == kStx || wrong == kEtx) {
        wrong = static_cast<char>(right ^ 0x10);
    }
    return wrong;
}

bool validCode(const std::optional<std::string>& code, std::size_t length) {
    return !code || code->size() == length;
}

// Whether a command text reads the process value: a single read ("0101") or a composite read
// ("0104") that names variable type 80 or C0 (the monitor area, as a word or a double word) at
// address 0000.
bool readsProcessValue(std::string_view text) {
    const auto isProcessValue = [](std::string_view item) {
        return (item.substr(0, 2) == "80" || item.substr(0, 2) == "C0") &&
               item.substr(2, 4) == "0000";
    };
    const std::string_view mrcSrc = text.substr(0, 4);
    const std::string_view parameters = text.substr(std::min<std::size_t>(text.size(), 4));
    if (mrcSrc == "0101") {
        return parameters.size() >= 6 && isProcessValue(parameters);
    }
    if (mrcSrc == "0104") {
        // per item: type (2), address (4), bit position (2)
        for (std::size_t at = 0; at + 6 <= parameters.size(); at += 8) {
            if (isProcessValue(parameters.substr(at, 6))) {
                return true;
            }
        }
    }
    return false;
}

// The target of the symbolic link at `path`; empty when there is none.
std::string linkTarget(const std::string& path) {
    char target[256];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

SimulatedController::SimulatedController(const SimulatedControllerOptions& options)
    : nodeNumber_(options.nodeNumber),
      nodeText_(nodeTextOf(options.nodeNumber)),
      stableLinkPath_(options.stableLinkPath),
      model_(options.ambient, options.timeConstantSeconds, options.timeScale,
             ControllerModel::Clock::now()) {
    Terminal terminal = openTerminal();
    master_ = std::move(terminal.master);
    slaveKeeper_ = std::move(terminal.slaveKeeper);
    portPath_ = std::move(terminal.slavePath);
    wake_ = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_.valid()) {
        throwSystemError("eventfd");
    }
    if (!stableLinkPath_.empty()) {
        pointStableLink(portPath_);
    }
    service_ = std::thread(&SimulatedController::serve, this);
}

SimulatedController::~SimulatedController() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake();
    service_.join();
    std::lock_guard presence(presenceMutex_);
    removeStableLink();
}

SimulatedController::Terminal SimulatedController::openTerminal() {
    Terminal terminal;
    terminal.master = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!terminal.master.valid()) {
        throwSystemError("posix_openpt");
    }
    if (::grantpt(terminal.master.get()) != 0 || ::unlockpt(terminal.master.get()) != 0) {
        throwSystemError("grantpt/unlockpt");
    }
    char name[128] = {};
    if (::ptsname_r(terminal.master.get(), name, sizeof name) != 0) {
        throwSystemError("ptsname_r");
    }
    terminal.slavePath = name;
    terminal.slaveKeeper = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!terminal.slaveKeeper.valid()) {
        throwSystemError("open pseudo-terminal slave");
    }
    termios settings{};
    if (::tcgetattr(terminal.slaveKeeper.get(), &settings) != 0) {
        throwSystemError("tcgetattr");
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(terminal.slaveKeeper.get(), TCSANOW, &settings) != 0) {
        throwSystemError("tcsetattr");
    }
    return terminal;
}

SimulatedController::Terminal SimulatedController::openTerminalOtherThan(
    const std::string& oldPath) {
    Terminal first = openTerminal();
    if (first.slavePath != oldPath) {
        return first;
    }
    // The old number was free again and came back; while `first` holds it, the next one differs.
    return openTerminal();
}

void SimulatedController::pointStableLink(const std::string& target) {
    static std::atomic<unsigned> serial{0};
    const std::string temporary = stableLinkPath_ + ".new-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(serial.fetch_add(1));
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        throwSystemError("symlink");
    }
    if (::rename(temporary.c_str(), stableLinkPath_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "rename " + stableLinkPath_);
    }
    stableLinkTarget_ = target;
}

void SimulatedController::removeStableLink() {
    // Only while it is still this controller's link: someone may have taken the path over.
    if (!stableLinkTarget_.empty() && linkTarget(stableLinkPath_) == stableLinkTarget_) {
        ::unlink(stableLinkPath_.c_str());
    }
    stableLinkTarget_.clear();
}

void SimulatedController::wake() {
    const std::uint64_t one = 1;
    // An eventfd only refuses a write when its counter is about to overflow; it is then readable.
    [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
}

void SimulatedController::goAway() {
    outbox_.clear();  // replies on a line that is gone are lost
    std::lock_guard lock(mutex_);
    slaveKeeper_.reset();
    master_.reset();
    vanished_ = true;
    changed_.notify_all();
}

void SimulatedController::comeBack(Terminal terminal) {
    assembler_ = FrameAssembler{};
    heldReply_.clear();
    std::lock_guard lock(mutex_);
    master_ = std::move(terminal.master);
    slaveKeeper_ = std::move(terminal.slaveKeeper);
    portPath_ = std::move(terminal.slavePath);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setCommunicationsWriting(false);  // as after a power-up
    vanishRequested_ = false;
    vanished_ = false;
    ++appearances_;
    changed_.notify_all();
}

void SimulatedController::startAgain() {
    assembler_ = FrameAssembler{};
    heldReply_.clear();
    outbox_.clear();
    std::lock_guard lock(mutex_);
    model_.advanceTo(Clock::now());
    model_.restart();
    restartRequested_ = false;
    ++restarts_;
    changed_.notify_all();
}

// --- Service thread

void SimulatedController::serve() {
    for (;;) {
        bool goingAway = false;
        bool restarting = false;
        std::optional<Terminal> terminal;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) {
                return;
            }
            goingAway = vanishRequested_ && !vanished_;
            restarting = restartRequested_;
            if (!goingAway && vanished_ && comingBack_) {
                terminal = std::move(comingBack_);
                comingBack_.reset();
            }
        }
        if (goingAway) {
            goAway();
        }
        if (restarting) {
            startAgain();
        }
        if (terminal) {
            comeBack(std::move(*terminal));
        }
        writeDuePieces();
        pollfd descriptors[2] = {{wake_.get(), POLLIN, 0}, {master_.get(), POLLIN, 0}};
        const nfds_t count = master_.valid() ? 2 : 1;
        if (::poll(descriptors, count, pollTimeout()) < 0) {
            if (errno == EINTR) {
                continue;
            }
            goAway();  // cannot wait any more: the device is gone for good
            std::lock_guard lock(mutex_);
            serviceEnded_ = true;
            changed_.notify_all();
            return;
        }
        if ((descriptors[0].revents & POLLIN) != 0) {
            std::uint64_t requests = 0;
            [[maybe_unused]] const ssize_t read = ::read(wake_.get(), &requests, sizeof requests);
        }
        if (count == 2 && descriptors[1].revents != 0) {
            if ((descriptors[1].revents & POLLIN) != 0) {
                readAndAnswer();
            } else {
                // Hung up or broken without anything to read: gone, rather than spinning.
                goAway();
            }
        }
    }
}

void SimulatedController::readAndAnswer() {
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(master_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;  // all read
        }
        if (got <= 0) {
            goAway();  // the terminal failed: gone, rather than spinning
            return;
        }
        for (const FrameAssembler::Frame& frame :
             assembler_.add(std::string_view(buffer, static_cast<std::size_t>(got)))) {
            if (std::optional<Outgoing> outgoing = answer(frame)) {
                deliver(*outgoing);
                writeDuePieces();
                if (!master_.valid()) {
                    return;
                }
            }
        }
    }
}

std::optional<SimulatedController::Outgoing> SimulatedController::answer(
    const FrameAssembler::Frame& received) {
    const std::optional<CommandFrame> command = readCommandFrame(received.bytes, received.overlong);
    if (!command || command->nodeText != nodeText_) {
        return std::nullopt;  // another controller's frame, or no address at all
    }
    std::lock_guard lock(mutex_);
    const auto now = ControllerModel::Clock::now();  // after the lock: the model never goes back
    const bool silent = faults_.silentUntil && now < *faults_.silentUntil;
    Outgoing outgoing{{}, faults_, now};
    if (command->endCode != kEndNormal) {
        outgoing.frame = replyFrame(nodeText_, faults_.endCode.value_or(command->endCode), {});
    } else {
        receivedCommands_.push_back(command->commandText);
        if (receivedCommands_.size() > kRecordedCommandLimit) {
            receivedCommands_.pop_front();
        }
        ++requestCount_;
        changed_.notify_all();

        std::optional<std::string> failure;
        if (const auto marked = faults_.failingRequests.find(requestCount_);
            marked != faults_.failingRequests.end()) {
            failure = std::move(marked->second);
            faults_.failingRequests.erase(marked);
        }
        const std::string& text = command->commandText;
        if (silent) {
            return std::nullopt;  // not heard, so not carried out
        }
        if (failure && failure->size() == 2) {
            outgoing.frame = replyFrame(nodeText_, *failure, {});
        } else if (!failure && faults_.endCode) {
            outgoing.frame = replyFrame(nodeText_, *faults_.endCode, {});
        } else {
            CommandResult result;
            if (failure) {
                result.responseCode = *failure;
            } else if (faults_.responseCode) {
                result.responseCode = *faults_.responseCode;
            } else if ((faults_.refuseStop && text == kStopCommand) ||
                       (faults_.refuseRun && text == kRunCommand) ||
                       (faults_.failTemperatureReads && readsProcessValue(text))) {
                result.responseCode = response::kOperationError;
            } else {
                result = model_.execute(text, now);
            }
            outgoing.frame = replyFrame(nodeText_, kEndNormal,
                                        text.substr(0, 4) + result.responseCode + result.data);
        }
    }
    if (silent || faults_.noReply) {
        return std::nullopt;
    }
    if (faults_.wrongReplyBcc) {
        outgoing.frame.back() = wrongBcc(outgoing.frame.back());
    }
    return outgoing;
}

void SimulatedController::deliver(const Outgoing& outgoing) {
    std::string bytes = outgoing.faults.garbage + outgoing.frame;
    if (outgoing.faults.twoRepliesInOneWrite && heldReply_.empty()) {
        heldReply_ = std::move(bytes);
        return;
    }
    bytes.insert(0, heldReply_);
    heldReply_.clear();

    // cut position -> the pause before the piece there
    std::map<std::size_t, std::chrono::milliseconds> pauseBefore;
    for (const std::size_t position : outgoing.faults.splitPositions) {
        if (position > 0 && position < bytes.size()) {
            pauseBefore.emplace(position, outgoing.faults.splitPause);
        }
    }
    if (outgoing.faults.lateBcc > std::chrono::milliseconds::zero() && bytes.size() > 1) {
        pauseBefore[bytes.size() - 1] = outgoing.faults.lateBcc;
    }
    pauseBefore.emplace(bytes.size(), std::chrono::milliseconds::zero());  // the end, not a cut

    // Never before a reply queued earlier: the line carries them in order. Every pause has been
    // through keptPause(), so the sums stay far from the clock's limits.
    Clock::time_point due = outgoing.received + outgoing.faults.replyDelay;
    if (!outbox_.empty()) {
        due = std::max(due, outbox_.back().due);
    }
    std::size_t start = 0;
    for (const auto& [end, nextPause] : pauseBefore) {
        outbox_.push_back(Piece{due, bytes.substr(start, end - start), end == bytes.size()});
        start = end;
        due += nextPause;
    }
}

void SimulatedController::writeDuePieces() {
    while (master_.valid() && !outbox_.empty() && outbox_.front().due <= Clock::now()) {
        const Piece piece = std::move(outbox_.front());
        outbox_.pop_front();
        if (!writeAll(piece.bytes) && !piece.lastOfReply) {
            // The rest of this reply is lost with the piece.
            bool last = false;
            while (!last && !outbox_.empty()) {
                last = outbox_.front().lastOfReply;
                outbox_.pop_front();
            }
        }
    }
}

int SimulatedController::pollTimeout() const {
    if (outbox_.empty() || !master_.valid()) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(outbox_.front().due - Clock::now());
    return static_cast<int>(
        std::clamp(left, std::chrono::milliseconds::zero(), kLongestPause).count());
}

bool SimulatedController::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(master_.get(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd descriptors[2] = {{master_.get(), POLLOUT, 0}, {wake_.get(), POLLIN, 0}};
            const int ready = ::poll(descriptors, 2, static_cast<int>(kWriteStallLimit.count()));
            if (ready > 0 && (descriptors[1].revents & POLLIN) == 0) {
                continue;
            }
            if (ready < 0 && errno == EINTR) {
                continue;
            }
        }
        return false;  // stalled, woken (stop, vanish, restart) or failed: the rest is lost
    }
    return true;
}

// --- State

std::string SimulatedController::portPath() const {
    std::lock_guard lock(mutex_);
    return portPath_;
}

double SimulatedController::temperature() const {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    return model_.temperature();
}

void SimulatedController::setTemperature(double celsius) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setTemperature(celsius);
}

double SimulatedController::setPoint() const {
    std::lock_guard lock(mutex_);
    return model_.setPoint();
}

void SimulatedController::setSetPoint(double celsius) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setSetPoint(celsius);
}

bool SimulatedController::running() const {
    std::lock_guard lock(mutex_);
    return model_.running();
}

void SimulatedController::setRunning(bool running) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setRunning(running);
}

bool SimulatedController::communicationsWriting() const {
    std::lock_guard lock(mutex_);
    return model_.communicationsWriting();
}

void SimulatedController::setCommunicationsWriting(bool on) {
    std::lock_guard lock(mutex_);
    model_.setCommunicationsWriting(on);
}

void SimulatedController::setTimeConstant(double seconds) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setTimeConstant(seconds);
}

void SimulatedController::setTimeScale(double factor) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setTimeScale(factor);
}

void SimulatedController::setAmbient(double celsius) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setAmbient(celsius);
}

void SimulatedController::setSetPointLock(std::optional<double> celsius) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(ControllerModel::Clock::now());
    model_.setSetPointLock(celsius);
}

// --- Observation

std::vector<std::string> SimulatedController::receivedCommands() const {
    std::lock_guard lock(mutex_);
    return {receivedCommands_.begin(), receivedCommands_.end()};
}

std::size_t SimulatedController::requestCount() const {
    std::lock_guard lock(mutex_);
    return requestCount_;
}

bool SimulatedController::waitForRequests(std::size_t count,
                                          std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requestCount_ >= count; });
}

// --- Faults

void SimulatedController::setNoReply(bool on) {
    std::lock_guard lock(mutex_);
    faults_.noReply = on;
}

void SimulatedController::setWrongReplyBcc(bool on) {
    std::lock_guard lock(mutex_);
    faults_.wrongReplyBcc = on;
}

void SimulatedController::setReplyEndCode(std::optional<std::string> endCode) {
    if (!validCode(endCode, 2)) {
        throw std::invalid_argument("an end code has two characters");
    }
    std::lock_guard lock(mutex_);
    faults_.endCode = std::move(endCode);
}

void SimulatedController::setReplyResponseCode(std::optional<std::string> responseCode) {
    if (!validCode(responseCode, 4)) {
        throw std::invalid_argument("a response code has four characters");
    }
    std::lock_guard lock(mutex_);
    faults_.responseCode = std::move(responseCode);
}

void SimulatedController::setReplySplitPositions(std::vector<std::size_t> positions,
                                                 std::chrono::milliseconds pause) {
    std::lock_guard lock(mutex_);
    faults_.splitPositions = std::move(positions);
    faults_.splitPause = keptPause(pause);
}

void SimulatedController::setTwoRepliesInOneWrite(bool on) {
    std::lock_guard lock(mutex_);
    faults_.twoRepliesInOneWrite = on;
}

void SimulatedController::setReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    faults_.replyDelay = keptPause(delay);
}

void SimulatedController::setGarbageBeforeReply(std::string bytes) {
    std::lock_guard lock(mutex_);
    faults_.garbage = std::move(bytes);
}

void SimulatedController::setLateBcc(std::chrono::milliseconds pause) {
    std::lock_guard lock(mutex_);
    faults_.lateBcc = keptPause(pause);
}

void SimulatedController::failRequest(std::size_t nth, std::string endCodeOrResponseCode) {
    if (nth == 0) {
        throw std::invalid_argument("requests are counted from 1");
    }
    if (endCodeOrResponseCode.size() != 2 && endCodeOrResponseCode.size() != 4) {
        throw std::invalid_argument("an end code has two characters, a response code four");
    }
    std::lock_guard lock(mutex_);
    faults_.failingRequests[requestCount_ + nth] = std::move(endCodeOrResponseCode);
}

void SimulatedController::silenceFor(std::chrono::milliseconds duration) {
    const auto until = ControllerModel::Clock::now() + keptPause(duration);
    std::lock_guard lock(mutex_);
    faults_.silentUntil = until;
}

void SimulatedController::setRefuseStop(bool on) {
    std::lock_guard lock(mutex_);
    faults_.refuseStop = on;
}

void SimulatedController::setRefuseRun(bool on) {
    std::lock_guard lock(mutex_);
    faults_.refuseRun = on;
}

void SimulatedController::setFailTemperatureReads(bool on) {
    std::lock_guard lock(mutex_);
    faults_.failTemperatureReads = on;
}

void SimulatedController::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_ = Faults{};
}

void SimulatedController::vanish() {
    std::lock_guard presence(presenceMutex_);
    {
        std::unique_lock lock(mutex_);
        if (!vanished_) {
            vanishRequested_ = true;
            lock.unlock();
            wake();
            lock.lock();
            changed_.wait(lock, [&] { return vanished_; });
        }
    }
    removeStableLink();
}

void SimulatedController::reappear() {
    std::lock_guard presence(presenceMutex_);
    std::string oldPath;
    std::size_t appearances = 0;
    {
        std::lock_guard lock(mutex_);
        if (!vanished_) {
            return;
        }
        oldPath = portPath_;
        appearances = appearances_;
    }
    Terminal terminal = openTerminalOtherThan(oldPath);
    const std::string newPath = terminal.slavePath;
    {
        std::unique_lock lock(mutex_);
        if (serviceEnded_) {
            throw std::runtime_error("the simulated controller has stopped serving");
        }
        comingBack_ = std::move(terminal);
        lock.unlock();
        wake();
        lock.lock();
        changed_.wait(lock, [&] { return appearances_ != appearances || serviceEnded_; });
        if (appearances_ == appearances) {
            comingBack_.reset();
            throw std::runtime_error("the simulated controller has stopped serving");
        }
    }
    if (!stableLinkPath_.empty()) {
        pointStableLink(newPath);
    }
}

bool SimulatedController::vanished() const {
    std::lock_guard lock(mutex_);
    return vanished_;
}

void SimulatedController::restart() {
    std::unique_lock lock(mutex_);
    const std::size_t restarts = restarts_;
    if (!serviceEnded_) {
        restartRequested_ = true;
        lock.unlock();
        wake();
        lock.lock();
        changed_.wait(lock, [&] { return restarts_ != restarts || serviceEnded_; });
    }
    if (restarts_ == restarts) {
        // No service thread to lose the line's contents: nothing will be written any more.
        restartRequested_ = false;
        model_.advanceTo(Clock::now());
        model_.restart();
        ++restarts_;
    }
}

}  // namespace lumas::sim
