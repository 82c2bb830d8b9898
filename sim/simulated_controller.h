// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/controller_model.h"
#include "sim/frame_assembler.h"
#include "sim/unique_fd.h"

namespace lumas::sim {

struct SimulatedControllerOptions {
    int nodeNumber = 1;                 // 0 to 99
    double ambient = 22.0;              // degrees Celsius; also the chamber's first temperature
    double timeConstantSeconds = 60.0;  // of the chamber's first-order response
    double timeScale = 1.0;             // simulated seconds per real second
    // When not empty, a symbolic link kept at this path to the present terminal's slave, as a USB
    // adapter's name under /dev/serial/by-id/ stays while its ttyUSBn changes. Replaced when it
    // exists already; removed on vanish() and by the destructor, created again by reappear().
    std::string stableLinkPath;
};

// A CompoWay/F temperature controller with its chamber at the far end of a pseudo-terminal.
//
// The program opens portPath() as its serial port. The controller answers every frame addressed to
// its node number the way the real one does (commands and codes in ControllerModel; frames it
// cannot read get the short reply with end code 13, 14, 16 or 18), ignores frames for other nodes,
// and can be told to misbehave with the fault switches below.
//
// One service thread waits with poll() on the terminal and on a wake-up descriptor; it reads
// frames, carries them out as they arrive and queues their replies, which it writes in order, each
// once its time has come (at once unless a fault holds it back). A slave descriptor is kept open
// (set raw), so that nothing is echoed and the terminal stays usable while the program's port is
// closed. Bytes written while no port is open stay in the terminal until someone reads them.
//
// Every public member may be called from any thread.
class SimulatedController {
  public:
    explicit SimulatedController(const SimulatedControllerOptions& options = {});
    // Stops the service thread, closes the terminal and removes the stable link (when it still
    // points to this controller's terminal).
    ~SimulatedController();
    SimulatedController(const SimulatedController&) = delete;
    SimulatedController& operator=(const SimulatedController&) = delete;

    // The slave device path, for the program's serial port. Changes with reappear().
    std::string portPath() const;
    // The stable link's path from the options (empty when there is none). A program that opens
    // the device again after it went away must open this, never a portPath() it read before: once
    // the terminal has closed, its slave number is free for the next terminal made anywhere on
    // the machine, another program's or another test's.
    const std::string& stableLinkPath() const { return stableLinkPath_; }
    int nodeNumber() const { return nodeNumber_; }

    // --- The controller and its chamber. Queries first advance the chamber to the present.
    double temperature() const;
    void setTemperature(double celsius);
    // The active set point. setSetPoint changes it as a write does, without the range check, and
    // is ignored while the set point is locked.
    double setPoint() const;
    void setSetPoint(double celsius);
    bool running() const;
    void setRunning(bool running);
    bool communicationsWriting() const;
    void setCommunicationsWriting(bool on);
    // Seconds, greater than 0. Throws std::invalid_argument otherwise.
    void setTimeConstant(double seconds);
    // Simulated seconds per real second; 0 freezes the chamber. Throws std::invalid_argument when
    // negative.
    void setTimeScale(double factor);
    void setAmbient(double celsius);
    // While a value is set, the controller's active set point is that value: set-point writes are
    // acknowledged normally and change nothing (a controller that keeps another set point).
    // Clearing it leaves the locked value as the set point.
    void setSetPointLock(std::optional<double> celsius);

    // --- Observation.
    // The command texts (MRC, SRC and parameters) of the frames received for this node with a
    // correct BCC and a readable text, oldest first; the last 10 000 of them.
    std::vector<std::string> receivedCommands() const;
    // How many such frames have been received in all.
    std::size_t requestCount() const;
    // Blocks until requestCount() is at least `count` or `timeout` has passed; returns whether
    // the count was reached.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // --- Faults. Each one is switched on or off alone, at any time, and stays until switched off
    // or cleared. They act on every reply from the next frame on. Their pauses and silences count
    // from 0 (a negative one is 0) up to 2^31 - 1 ms (about 24.8 days; a longer one is that).
    // The command is carried out but its reply is not sent.
    void setNoReply(bool on);
    // The reply's BCC is wrong (never STX or ETX).
    void setWrongReplyBcc(bool on);
    // Every reply is the short error reply with this two-character end code; the command is not
    // carried out.
    void setReplyEndCode(std::optional<std::string> endCode);
    // Every reply carries this four-character response code instead of its own, without data; the
    // command is not carried out.
    void setReplyResponseCode(std::optional<std::string> responseCode);
    // Every write is cut before each of these byte positions (counted from 0 over the bytes of the
    // write; positions outside the write are ignored) and the pieces are written one by one with
    // `pause` between them. An empty list switches the fault off.
    void setReplySplitPositions(std::vector<std::size_t> positions,
                                std::chrono::milliseconds pause = std::chrono::milliseconds{20});
    // A reply is held back and written together with the next reply, in one write. A held reply
    // goes out with the next reply even when the fault has been switched off meanwhile.
    void setTwoRepliesInOneWrite(bool on);
    // Every reply comes this long after its request arrived; 0 switches it off. The command is
    // carried out when it arrives, as without the delay (a Stop stops at once, its reply comes
    // later), and the controller goes on reading and carrying out the requests that come
    // meanwhile, each answered this long after its own arrival. Replies keep their order: a reply
    // never overtakes an earlier one, also when the delay is shortened while one waits. Waiting
    // replies are lost when the device vanishes or the controller restarts.
    void setReplyDelay(std::chrono::milliseconds delay);
    // These bytes are written just before each reply, in the same write; empty switches it off.
    void setGarbageBeforeReply(std::string bytes);
    // Every write is made in two: all bytes but the last (so up to and including the ETX of its
    // last reply), then after `pause` the last byte, the BCC, alone; 0 switches it off. Combines
    // with the split positions (the late BCC's pause wins where a cut falls on the same byte).
    void setLateBcc(std::chrono::milliseconds pause);
    // The reply to the `nth` request from now on (1: the next one) is a failure, and that command
    // is not carried out: a two-character code gives the short error reply with that end code, a
    // four-character code a reply with that response code and no data. Requests are counted as
    // requestCount() counts them (frames that cannot be read get their own error reply and do not
    // count). Calls add up: each one marks its own request; marking a request again replaces its
    // code. A marked request that falls into a silence gets no reply at all. Throws
    // std::invalid_argument when `nth` is 0 or the code has neither two nor four characters.
    void failRequest(std::size_t nth, std::string endCodeOrResponseCode);
    // For the next `duration` the controller does not hear: frames received meanwhile get
    // no reply and their commands are not carried out (they are still recorded by
    // receivedCommands() and requestCount(), which watch the line). Afterwards it answers again by
    // itself. 0 ends a silence at once; a new call replaces the one before.
    void silenceFor(std::chrono::milliseconds duration);
    // Stop ("30050101") is answered with response code 2203 (operation error) and not carried out;
    // every other command is served normally.
    void setRefuseStop(bool on);
    // The same for Run ("30050100").
    void setRefuseRun(bool on);
    // Every read of the process value (variable type 80 or C0, address 0000; alone or in a
    // composite read such as the program's "01048000000080000E00") is answered with response code
    // 2203, operation error, and no data, as a controller answers a read it cannot serve while
    // something inside it has failed. Every other request is answered and carried out normally,
    // so the line and the link check stay good while no temperature comes.
    void setFailTemperatureReads(bool on);
    // Switches every fault above off.
    void clearFaults();

    // The device goes away: the terminal is closed (master and the kept slave), so that the
    // program's open port sees a hang-up (poll reports POLLHUP, reads end, writes fail with EIO),
    // and the stable link is removed. Returns once it is closed. The state members keep working.
    void vanish();
    // The device comes back after vanish(), as a re-plugged USB adapter does: on a new
    // pseudo-terminal whose slave path differs from the one before (portPath() returns it), with
    // the stable link made again pointing to it (a new link renamed onto the path, so the path
    // never names a half-made link). The controller keeps its temperature, set point and run
    // state, but communications writing is off again, as after a power-up; the fault switches
    // stay as they are. Returns once it answers on the new terminal; does nothing while the device
    // is there. Throws std::system_error when the terminal or the link cannot be made (the device
    // then stays gone, or, for the link, serves without it).
    void reappear();
    bool vanished() const;

    // The controller loses power for a moment and starts again (ControllerModel::restart): it is
    // stopped, communications writing is off, and the set point and parameters are kept; the
    // chamber drifts from where it was towards the ambient temperature, as a stopped one does.
    // Replies not yet written and a frame half received are lost. The terminal and the stable link
    // stay as they are, and so do the fault switches. Works while vanished as well: vanish(),
    // restart(), reappear() is an adapter that loses its power with the controller's and comes
    // back behind the same stable link. Returns once the controller has restarted.
    void restart();

  private:
    struct Faults {
        bool noReply = false;
        bool wrongReplyBcc = false;
        std::optional<std::string> endCode;
        std::optional<std::string> responseCode;
        std::vector<std::size_t> splitPositions;
        std::chrono::milliseconds splitPause{20};
        bool twoRepliesInOneWrite = false;
        std::chrono::milliseconds replyDelay{0};
        std::string garbage;
        std::chrono::milliseconds lateBcc{0};
        // Request number (as counted by requestCount_) -> the code its reply fails with.
        std::map<std::size_t, std::string> failingRequests;
        std::optional<std::chrono::steady_clock::time_point> silentUntil;
        bool refuseStop = false;
        bool refuseRun = false;
        bool failTemperatureReads = false;
    };
    using Clock = std::chrono::steady_clock;
    // A reply, the faults that were switched on when it was made, and when its request arrived.
    struct Outgoing {
        std::string frame;
        Faults faults;
        Clock::time_point received;
    };
    // A piece of a write waiting for its time; the pieces of one reply follow each other.
    struct Piece {
        Clock::time_point due;
        std::string bytes;
        bool lastOfReply = false;
    };

    // A pseudo-terminal whose slave is kept open and set raw.
    struct Terminal {
        UniqueFd master;
        UniqueFd slaveKeeper;
        std::string slavePath;
    };
    static Terminal openTerminal();
    // Like openTerminal(), but never on `oldPath`.
    static Terminal openTerminalOtherThan(const std::string& oldPath);

    void serve();
    void readAndAnswer();
    std::optional<Outgoing> answer(const FrameAssembler::Frame& received);
    // Queues the reply's write (or holds it back for the next one), cut into its pieces.
    void deliver(const Outgoing& outgoing);
    // Writes the queued pieces whose time has come, in order.
    void writeDuePieces();
    // How long poll() may wait before the next queued piece is due; -1: nothing is queued.
    int pollTimeout() const;
    bool writeAll(std::string_view bytes);
    void wake();
    // Closes the terminal and records that the device is gone.
    void goAway();
    // Serves on the terminal handed over by reappear().
    void comeBack(Terminal terminal);
    // Carries out restart() on the service thread: what the line holds is lost.
    void startAgain();
    // Points the stable link to `target` (a new link renamed over the path), or removes it.
    void pointStableLink(const std::string& target);
    void removeStableLink();

    const int nodeNumber_;
    const std::string nodeText_;  // two decimal digits, as in frames
    const std::string stableLinkPath_;

    // Owned by the service thread once it runs (the constructor and destructor touch them only
    // while it does not run).
    UniqueFd master_;
    UniqueFd slaveKeeper_;
    FrameAssembler assembler_;
    std::string heldReply_;     // for the two-replies-in-one-write fault
    std::deque<Piece> outbox_;  // due times never decrease from front to back

    // Read-only while the service thread runs: an eventfd written for stop, vanish, reappear and
    // restart requests.
    UniqueFd wake_;

    // `presenceMutex_` lets one vanish() or reappear() run at a time, and guards the stable link
    // (the constructor and destructor touch it while no call can run). Taken before `mutex_`.
    std::mutex presenceMutex_;
    std::string stableLinkTarget_;  // where this controller's link points; empty: no link made

    // `mutex_` guards every member below; `changed_` announces new requests and the vanishing.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable ControllerModel model_;  // queries advance the chamber
    Faults faults_;
    std::deque<std::string> receivedCommands_;
    std::size_t requestCount_ = 0;
    std::string portPath_;
    bool stopRequested_ = false;
    bool vanishRequested_ = false;
    bool vanished_ = false;
    bool restartRequested_ = false;
    std::size_t restarts_ = 0;            // how often the controller has restarted
    std::optional<Terminal> comingBack_;  // handed from reappear() to the service thread
    std::size_t appearances_ = 0;         // how often the device came back
    bool serviceEnded_ = false;           // the service thread has given up (poll failed)

    std::thread service_;  // started last in the constructor, joined first in the destructor
};

}  // namespace lumas::sim
