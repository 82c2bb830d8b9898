// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The port against a pseudo-terminal whose master plays the far end of the line.
#include <fcntl.h>
#include <unistd.h>

#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "support/event_wait.h"
#include "support/pty_pair.h"
#include "threading/exception_report.h"
#include "threading/ui_hand_over.h"

namespace lumas {
namespace {

using Clock = std::chrono::steady_clock;
using test::PtyPair;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

double processCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string describe(int osError) {
    char buffer[256] = {};
    return strerror_r(osError, buffer, sizeof buffer);  // the GNU strerror_r returns the text
}

std::string osText(const char* prefix, int osError) {
    return std::string(prefix) + " (" + std::to_string(osError) + "), " + describe(osError);
}

// Runs `action` and returns the message of the EComPortError it raises ("" if none).
template <typename Action>
std::string portError(Action action) {
    try {
        action();
    } catch (const EComPortError& e) {
        return e.what();
    }
    return "";
}

// Counts the notifications the port's threads hand to the UI thread.
class HandOverCounter {
  public:
    HandOverCounter() {
        connection_ = QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver,
                                       [this] { ++count_; });
    }
    ~HandOverCounter() { QObject::disconnect(connection_); }
    int count() const { return count_; }

  private:
    QMetaObject::Connection connection_;
    int count_ = 0;
};

class ComPortOnPty : public ::testing::Test {
  protected:
    ComPortOnPty() {
        applyControllerLinkDefaults(port);
        port.SetDeviceName(pty.slavePath());
    }

    // Fills the line's kernel buffer from a descriptor of our own, so that the port's transmit
    // thread cannot send while the master does not read.
    void blockTheLine() {
        const int writer = ::open(pty.slavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        const std::string chunk(1024, '#');
        // The kernel moves bytes on to the master's side in the background, making room again;
        // the line is full once a round after a pause takes nothing.
        for (bool tookSome = true; tookSome;) {
            tookSome = false;
            while (::write(writer, chunk.data(), chunk.size()) > 0) {
                tookSome = true;
            }
            ASSERT_EQ(errno, EAGAIN);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::close(writer);
    }

    // Reads the master until it stays quiet for 200 ms.
    std::string drainMaster() {
        std::string all;
        for (std::string got; !(got = pty.read(1 << 20, 200)).empty();) {
            all += got;
        }
        return all;
    }

    PtyPair pty;
    TComPort port;
};

// The kind of a failure, as callers see it on the port's exception.
template <typename Call>
OsFailure failureKind(Call&& call) {
    try {
        call();
    } catch (const EComPortError& error) {
        return error.kind();
    }
    return OsFailure::None;
}

TEST(OsFailures, EveryErrnoThePortLooksAtIsSortedOnce) {
    const std::pair<int, OsFailure> cases[] = {
        {0, OsFailure::None},
        {EINTR, OsFailure::Retry},
        {EAGAIN, OsFailure::Retry},
        {ENOENT, OsFailure::NotFound},
        {EIO, OsFailure::DeviceGone},
        {ENXIO, OsFailure::DeviceGone},
        {ENODEV, OsFailure::DeviceGone},
        {EPIPE, OsFailure::DeviceGone},
        {EBUSY, OsFailure::Busy},
        {EACCES, OsFailure::AccessDenied},
        {EPERM, OsFailure::AccessDenied},
        {ENOTTY, OsFailure::Unsupported},
        {EINVAL, OsFailure::InvalidArgument},
        {ENOSPC, OsFailure::Other},
    };
    for (const auto& [osError, kind] : cases) {
        EXPECT_EQ(classifyOsError(osError), kind) << osError;
    }
    EXPECT_TRUE(isUnsupportedIoctl(ENOTTY));
    EXPECT_TRUE(isUnsupportedIoctl(EINVAL));
    EXPECT_FALSE(isUnsupportedIoctl(EIO));
}

TEST_F(ComPortOnPty, OpenFailsCleanly) {
    TComPort missing;
    missing.SetDeviceName("ttyLumasMissing7");
    EXPECT_EQ(portError([&] { missing.Open(); }),
              "Specified device not found (/dev/ttyLumasMissing7).");
    EXPECT_EQ(failureKind([&] { missing.Open(); }), OsFailure::NotFound);
    EXPECT_FALSE(missing.Active());

    // A setting the line cannot take: the device is given back, so the next Open succeeds.
    port.SetDatabits(TDatabits::db4);
    EXPECT_EQ(portError([&] { port.Open(); }), osText("Error writing dcb", EINVAL));
    EXPECT_FALSE(port.Active());
    port.SetDatabits(TDatabits::db7);
    port.Open();
    ASSERT_TRUE(port.Active());

    TComPort second;
    second.SetDeviceName(pty.slavePath());
    EXPECT_EQ(portError([&] { second.Open(); }), "Can't open specified device " + pty.slavePath() +
                                                     " (Error " + std::to_string(EBUSY) + ", " +
                                                     describe(EBUSY) + ")");
    EXPECT_EQ(failureKind([&] { second.Open(); }), OsFailure::Busy);
    EXPECT_FALSE(second.Active());
    EXPECT_TRUE(port.Active());

    const std::string whileOpen = "Can't perform this operation while port is open";
    EXPECT_EQ(portError([&] { port.Open(); }), whileOpen);
    EXPECT_EQ(portError([&] { port.SetDeviceName("ttyUSB0"); }), whileOpen);
    EXPECT_EQ(portError([&] { port.SetPortNum(3); }), whileOpen);
    EXPECT_EQ(port.DeviceName(), pty.slavePath());
    EXPECT_EQ(port.PortNum(), 7);
}

TEST_F(ComPortOnPty, LineSettingsWrittenWhileOpenApplyAtOnce) {
    port.Open();
    port.SetBaudrate(TBaudrate::br256000);
    port.SetUserBaudrate(31250);
    port.SetParity(TParity::paMark);
    EXPECT_EQ(port.Baudrate(), TBaudrate::brUser);

    // A setting the line rejects is not kept.
    EXPECT_EQ(portError([&] { port.SetDatabits(TDatabits::db4); }),
              osText("Error writing dcb", EINVAL));
    EXPECT_EQ(port.Databits(), TDatabits::db7);
    EXPECT_TRUE(port.Active());
}

TEST_F(ComPortOnPty, CloseReturnsAtOnceWhenClosedAndPausesWhenOpen) {
    auto start = Clock::now();
    port.Close();
    EXPECT_LT(millisecondsSince(start), 50);

    port.Open();
    start = Clock::now();
    port.Close();
    EXPECT_GE(millisecondsSince(start), 300);
    EXPECT_FALSE(port.Active());

    // A program that ends after the close may skip the pause.
    port.SetCloseSettle(std::chrono::milliseconds(0));
    port.Open();
    start = Clock::now();
    port.Close();
    EXPECT_LT(millisecondsSince(start), 200);
}

TEST_F(ComPortOnPty, WrittenBytesReachTheLineIntact) {
    EXPECT_TRUE(port.WriteText(""));
    EXPECT_FALSE(port.WriteText("x"));
    port.Open();
    EXPECT_TRUE(port.WriteText(""));

    std::string all;
    for (int round = 0; round < 4; ++round) {
        std::string block;
        for (int byte = 0; byte < 256; ++byte) {
            block += static_cast<char>(byte);
        }
        ASSERT_TRUE(port.WriteText(block));
        all += block;
    }
    EXPECT_EQ(pty.read(all.size(), 2000), all);
    port.Close();
    EXPECT_FALSE(port.WriteText("x"));
}

TEST_F(ComPortOnPty, TooLongATextTimesOutAfterTheWriteTimeout) {
    port.Open();
    const auto start = Clock::now();
    EXPECT_EQ(portError([&] { port.WriteText(std::string(2049, 'x')); }),
              "Output buffer is full. Please check comm status.");
    const long long waited = millisecondsSince(start);
    EXPECT_GE(waited, 950);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(pty.read(1, 200), "") << "nothing was queued";
}

TEST_F(ComPortOnPty, QueueHoldsExactlyWriteSizeWhileTheLineIsBlocked) {
    blockTheLine();
    port.Open();
    auto start = Clock::now();
    EXPECT_TRUE(port.WriteText(std::string(2048, 'a')));
    EXPECT_LT(millisecondsSince(start), 100);

    start = Clock::now();
    EXPECT_EQ(portError([&] { port.WriteText("b"); }),
              "Output buffer is full. Please check comm status.");
    EXPECT_GE(millisecondsSince(start), 950);

    // Close drops what is still queued: after reopening only new bytes go out.
    port.Close();
    // The master sees the filler, then at most the part of the 2048 bytes that still fitted.
    const std::string before = drainMaster();
    const std::size_t sent = before.find_first_not_of('#');
    if (sent != std::string::npos) {
        EXPECT_EQ(before.find_first_not_of('a', sent), std::string::npos);
    }
    port.Open();
    EXPECT_TRUE(port.WriteText("z"));
    EXPECT_EQ(drainMaster(), "z");
}

TEST_F(ComPortOnPty, BytesArrivingBeforeDispatchGiveOneNotification) {
    std::vector<int> counts;
    port.Open();
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        counts.push_back(count);
        EXPECT_EQ(sender.ReadText().size(), static_cast<std::size_t>(count));
    };
    HandOverCounter handOvers;

    // The UI thread is busy (a plain sleep) while 3 and then 4 bytes arrive.
    pty.write("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pty.write("defg");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(test::waitUntil([&] { return !counts.empty(); }, 2000));
    test::serveEventsFor(100);
    EXPECT_EQ(counts, std::vector<int>{7});

    // A notification whose bytes were already read raises no OnRxChar.
    const int before = handOvers.count();
    pty.write("hi");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(port.ReadText(), "hi");
    EXPECT_TRUE(test::waitUntil([&] { return handOvers.count() > before; }, 2000));
    EXPECT_EQ(counts, std::vector<int>{7});
}

TEST_F(ComPortOnPty, BytesBeforeTheHandlerIsAssignedAreReadWithLaterOnes) {
    HandOverCounter handOvers;
    port.Open();
    pty.write("ab");
    ASSERT_TRUE(test::waitUntil([&] { return handOvers.count() > 0; }, 2000));

    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, int) { received += sender.ReadText(); };
    pty.write("cd");
    EXPECT_TRUE(test::waitUntil([&] { return received == "abcd"; }, 2000)) << received;
}

TEST_F(ComPortOnPty, BytesLeftInTheDeviceFromBeforeOpenAreDropped) {
    pty.write("stale reply");  // arrived while the port was closed
    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, int) { received += sender.ReadText(); };
    port.Open();
    EXPECT_EQ(port.ReadBufUsed(), 0);
    pty.write("fresh");
    EXPECT_TRUE(test::waitUntil([&] { return received == "fresh"; }, 2000)) << received;
}

TEST_F(ComPortOnPty, HandlerExceptionGoesToTheStandardReportAndDeliveryGoesOn) {
    std::vector<std::string> reports;
    setStandardExceptionReport([&](const std::string& text) { reports.push_back(text); });
    std::string received;
    bool thrown = false;
    port.Open();
    port.OnRxChar = [&](TCustomComPort& sender, int) {
        if (!thrown) {
            thrown = true;
            throw std::runtime_error("handler failed");
        }
        received += sender.ReadText();
    };
    pty.write("12");
    EXPECT_TRUE(test::waitUntil([&] { return !reports.empty(); }, 2000));
    pty.write("3");
    EXPECT_TRUE(test::waitUntil([&] { return received == "123"; }, 2000)) << received;
    setStandardExceptionReport(nullptr);
    EXPECT_EQ(reports, std::vector<std::string>{"handler failed"});
}

TEST_F(ComPortOnPty, WithoutSyncThreadsHandlersRunOnTheEventThreadAndCloseStillEnds) {
    std::mutex seen;
    std::string received;
    std::thread::id handlerThread;
    std::atomic<bool> handlerStarted = false;
    port.SetSyncThreads(false);
    // Assigned before Open: the event thread reads it from then on.
    port.OnRxChar = [&](TCustomComPort& sender, int) {
        handlerStarted = true;
        // Still busy when Close begins; its read then needs the port's read lock.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::string bytes = sender.ReadText();
        std::lock_guard lock(seen);
        received += bytes;
        handlerThread = std::this_thread::get_id();
    };
    port.Open();
    pty.write("async");
    const auto start = Clock::now();
    while (!handlerStarted && millisecondsSince(start) < 2000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(handlerStarted);
    port.Close();
    EXPECT_LT(millisecondsSince(start), 2000);
    std::lock_guard lock(seen);
    EXPECT_EQ(received, "async");
    EXPECT_NE(handlerThread, std::this_thread::get_id());
}

TEST_F(ComPortOnPty, CloseFromInsideItsOwnNotificationIsRefusedAndWorksOnceItHasReturned) {
    port.SetCloseSettle(std::chrono::milliseconds(0));
    for (const bool sync : {true, false}) {
        SCOPED_TRACE(sync ? "handed over to the UI thread" : "run on the event thread");
        std::mutex seen;
        std::string refusal;
        std::atomic<int> notifications = 0;
        port.SetSyncThreads(sync);
        port.OnRxChar = [&](TCustomComPort& sender, int) {
            sender.ReadText();
            try {
                sender.Close();
            } catch (const std::logic_error& error) {
                std::lock_guard lock(seen);
                refusal = error.what();
            }
            ++notifications;
        };
        port.Open();
        pty.write("a");
        ASSERT_TRUE(test::waitUntil([&] { return notifications == 1; }, 2000));
        {
            std::lock_guard lock(seen);
            EXPECT_EQ(refusal, "The port cannot be closed from inside its own notification");
        }
        ASSERT_TRUE(port.Active());
        pty.write("b");
        EXPECT_TRUE(test::waitUntil([&] { return notifications == 2; }, 2000))
            << "delivery goes on after the refusal";
        // Outside the notification, on the thread that ran it with hand-over, Close is allowed.
        EXPECT_NO_THROW(port.Close());
        EXPECT_FALSE(port.Active());
        port.OnRxChar = nullptr;
    }
}

TEST_F(ComPortOnPty, VanishedDeviceGivesLineAndWriteErrorsWithoutSpinning) {
    std::vector<TComErrors> errors;
    port.Open();
    port.OnError = [&](TCustomComPort&, TComErrors found) { errors.push_back(found); };
    pty.hangUp();
    ASSERT_TRUE(test::waitUntil([&] { return !errors.empty(); }, 2000));
    EXPECT_TRUE(errors.front().contains(TComError::ceIO));

    EXPECT_EQ(portError([&] { port.WriteText("x"); }), osText("Write error", EIO));

    const double cpuBefore = processCpuMilliseconds();
    test::serveEventsFor(300);
    const double cpuSpent = processCpuMilliseconds() - cpuBefore;
    EXPECT_LT(cpuSpent, 50.0) << "a thread spins on the vanished device";
    EXPECT_EQ(errors.size(), 1U);

    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_FALSE(port.Active());
}

TEST_F(ComPortOnPty, FailedWriteToAVanishedDeviceIsNotRetriedForever) {
    // Without an event thread the transmit thread is the one to find the device gone.
    port.SetMonitorEvents({});
    port.Open();
    pty.hangUp();
    std::string error;
    const auto start = Clock::now();
    while (error.empty() && millisecondsSince(start) < 2000) {
        error = portError([&] { port.WriteText("x"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(error, osText("Write error", EIO));
    const double cpuBefore = processCpuMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(processCpuMilliseconds() - cpuBefore, 50.0);
}

TEST_F(ComPortOnPty, WriterThreadRacingCloseIsSafe) {
    port.Open();
    std::atomic<int> queued = 0;
    std::thread worker([&] {
        for (;;) {
            try {
                if (!port.WriteText("ping")) {
                    return;
                }
                ++queued;
            } catch (const EComPortError&) {
                // A full line while the master does not read: try again until closed.
            }
        }
    });
    while (queued.load() < 100) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    port.Close();
    worker.join();
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(port.WriteText("ping"));
}

}  // namespace
}  // namespace lumas
