// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumas {

// The port's transmit queue: one block of WriteSize bytes and a fill count. Writers (the UI thread
// and the monitoring worker) append at the end; the transmit thread sends from the front and
// removes what went out. Every member is guarded by FWriteSection. It is a plain std::mutex: no
// path takes it twice, and no call out of this class is made while holding it.
class TransmitQueue {
  public:
    enum class AppendResult {
        Queued,     // all bytes are in the queue
        Closed,     // the port is closed (or closed while waiting): nothing queued
        TimedOut,   // no room within the write time-out: nothing queued
        LineFailed  // the device has failed: nothing queued, see failure()
    };

    // Starts accepting bytes into an empty block of `capacity` bytes; writers wait at most
    // `writeTimeout` for room.
    void open(std::size_t capacity, std::chrono::milliseconds writeTimeout);
    // Stops accepting bytes, drops and frees the queued ones, and wakes every waiter.
    void close();

    // Appends all of `bytes` when they fit beside what is queued; otherwise waits (blocking on a
    // condition variable) until the transmit thread has made room or the write time-out has
    // passed, measured on the monotonic clock. An empty string is queued at once. On LineFailed,
    // `failure` receives the device's errno.
    AppendResult append(std::string_view bytes, int& failure);

    // Transmit thread: blocks until bytes are queued or the queue is closed, then returns a copy
    // of every queued byte; nothing once the queue is closed.
    std::optional<std::string> waitForData();
    // Transmit thread: removes `count` sent bytes from the front. The data-queued signal is
    // cleared here, in the same locked step that finds the queue empty, so a writer's signal is
    // never lost.
    void removeFront(std::size_t count);
    // Transmit thread: waits up to `pause` for the queue to close; true when it is closed.
    bool waitForCloseFor(std::chrono::milliseconds pause);
    // Transmit thread: waits until the queue is closed.
    void waitForClose();

    // The device has failed with `osError`: writers get LineFailed from now on until the next
    // open(). Any thread.
    void markFailed(int osError);

  private:
    std::mutex FWriteSection;
    std::condition_variable roomMade_;    // writers wait here for room, failure or close
    std::condition_variable dataQueued_;  // the transmit thread waits here for bytes or close
    std::vector<char> block_;             // WriteSize bytes while open, freed on close
    std::size_t fill_ = 0;                // bytes queued at the front of block_
    bool dataQueuedSignal_ = false;       // set with each append, cleared when found empty
    bool accepting_ = false;              // open: between open() and close()
    int failure_ = 0;                     // errno of a failed device, 0 while sound
    std::chrono::milliseconds writeTimeout_{0};
};

}  // namespace lumas
