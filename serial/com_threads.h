// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "serial/com_port.h"

namespace lumas {

class TransmitQueue;

// Raised once by Close and never reset while the port is open: an eventfd that both of the
// port's threads watch beside the device. Created and closed on the UI thread, in Open and Close.
class CloseSignal {
  public:
    CloseSignal() = default;
    ~CloseSignal();
    CloseSignal(const CloseSignal&) = delete;
    CloseSignal& operator=(const CloseSignal&) = delete;

    // Raises "Error initializing buffers (%d), %s" when no eventfd can be had.
    void create();
    void raise();
    void destroy();
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// Watches the device for received bytes and for the device going away, and hands each report to
// the UI thread (through UiHandOver when SyncThreads holds, directly otherwise), waiting until it
// has been dispatched. The device is watched edge-triggered: the thread wakes once per arrival of
// new bytes and never spins while bytes stay unread.
class TComEventThread {
  public:
    // Runs a report on the dispatching thread: the events that happened and the line errors the
    // thread itself saw (ceIO when the device went away).
    using Dispatch = std::function<void(TComEvents events, TComErrors errors)>;

    // Sets up the wait; raises " Error setting EventMask (%d), %s". `deviceGone` runs on the
    // thread when the device has gone away, before its one report of that.
    TComEventThread(int deviceFd, int closeSignalFd, TComEvents monitored, bool syncThreads,
                    Dispatch dispatch, std::function<void()> deviceGone);
    ~TComEventThread();  // stops the thread: raise the close signal first
    TComEventThread(const TComEventThread&) = delete;
    TComEventThread& operator=(const TComEventThread&) = delete;

    void start();
    // Waits for the thread to end once the close signal is raised. On the UI thread it serves
    // hand-overs meanwhile, since the thread may be waiting for this very thread to take one.
    void stop();

  private:
    void run();
    void handOver(TComEvents events, TComErrors errors);
    void waitForCloseSignal();

    const int deviceFd_;
    const int closeSignalFd_;
    const TComEvents monitored_;
    const bool syncThreads_;
    const Dispatch dispatch_;
    const std::function<void()> deviceGone_;
    int epollFd_ = -1;                 // owned; used by the thread while it runs
    std::atomic<bool> ended_ = false;  // set by the thread as its last act
    std::thread thread_;
};

// Sends the transmit queue: everything queued in one write, then removes what went out. It waits
// for data or close on the queue's condition variable, and for a full line with poll (POLLOUT or
// the close signal). After a failed write the bytes stay queued and the write is tried again after
// a 100 ms pause; once the device is known to be gone the thread marks the queue failed and only
// waits for close. It hands no transmit-queue-empty or line-error notification to the UI thread:
// no handler is attached to them, and the hand-over would make the UI thread's WriteText, waiting
// for room, and this thread wait on each other.
class TComWriteThread {
  public:
    TComWriteThread(int deviceFd, int closeSignalFd, TransmitQueue& queue);
    ~TComWriteThread();  // stops the thread: close the queue first
    TComWriteThread(const TComWriteThread&) = delete;
    TComWriteThread& operator=(const TComWriteThread&) = delete;

    void start();
    // Waits for the thread to end once the queue is closed.
    void stop();

  private:
    void run();
    // Blocks until the device takes more bytes; false when the close signal came first.
    bool waitUntilWritable();

    const int deviceFd_;
    const int closeSignalFd_;
    TransmitQueue& queue_;
    std::thread thread_;
};

}  // namespace lumas
