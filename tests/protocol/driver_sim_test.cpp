// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The driver against the simulated controller: the replies and faults of a real controller.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <string>
#include <vector>

#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "support/simulator_link.h"

namespace lumas {
namespace {

using test::waitUntil;

// The driver's port opens the simulator by a stable link of the test's own, so that no open
// after the device went away can reach another terminal.
class DriverOnSimulator : public ::testing::Test {
  protected:
    DriverOnSimulator() : sim(test::frozenChamber(links.linkPath())) {}

    void SetUp() override {
        test::attachToSimulator(sim, port, driver);
        driver.OnError = [this](TOmronCom&) { ++errorEvents; };
    }

    void TearDown() override { driver.ClosePort(); }

    void connect() {
        ASSERT_EQ(driver.OpenPort(), 0);
        EXPECT_FALSE(driver.StatusOk()) << "confirmed only once the echo reply is in";
        ASSERT_TRUE(waitUntil(
            [&] { return driver.StatusOk() && driver.CommandType() == TOmronCom::kNoRequest; },
            2000));
    }

    // Sends a request and waits for the end of its reply.
    template <typename Send>
    bool request(Send send) {
        driver.SetAllowToSend(false);
        send();
        return waitUntil([&] { return driver.AllowToSend(); }, 2000);
    }

    test::StableLinkFolder links;
    sim::SimulatedController sim;
    TComPort port;
    TOmronCom driver;
    int errorEvents = 0;
};

TEST_F(DriverOnSimulator, ConnectsReadsTheSetPointAndDecodesTheTemperature) {
    sim.setSetPoint(25.5);
    sim.setTemperature(25.0);
    connect();
    EXPECT_EQ(sim.receivedCommands(),
              (std::vector<std::string>{commands::kEchoTest, commands::kReadSetPoint}));
    EXPECT_EQ(driver.SetPoint(), 25.5);

    ASSERT_TRUE(request([&] { driver.GetTemperature(); }));
    EXPECT_EQ(driver.Temperature(), 25.0);
    EXPECT_FALSE(driver.InRange()) << "exactly 0.5 from the set point";

    sim.setTemperature(-10.0);
    sim.setSetPoint(-9.6);
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    ASSERT_TRUE(request([&] { driver.GetTemperature(); }));
    EXPECT_EQ(driver.Temperature(), -10.0);
    EXPECT_TRUE(driver.InRange());
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(DriverOnSimulator, AWriteRefusedWhileWritingIsOffGoesThroughWithWritingSwitchedOn) {
    connect();
    ASSERT_TRUE(request([&] { driver.cmdRun(); }));
    EXPECT_EQ(errorEvents, 1) << "the refusal is reported";
    EXPECT_EQ(driver.Failures().responseCode, 1U);
    EXPECT_TRUE(sim.running()) << "and the command made after switching writing on";
    EXPECT_EQ(sim.receivedCommands(),
              (std::vector<std::string>{commands::kEchoTest, commands::kReadSetPoint,
                                        commands::kRun, std::string(commands::kEchoTest) + "000000",
                                        commands::kReadSetPoint, commands::kWriteEnable,
                                        commands::kRun}));
    ASSERT_TRUE(request([&] { driver.cmdSetPoint(80.0); }));
    EXPECT_EQ(driver.ResponseCode(), 0);
    EXPECT_EQ(sim.setPoint(), 80.0);
    ASSERT_TRUE(request([&] { driver.ReadStatusLeft(); }));
    EXPECT_FALSE(driver.RunStop());
    EXPECT_TRUE(driver.ComW());
}

TEST_F(DriverOnSimulator, ReplySplitAtEveryBytePositionIsDecodedOnce) {
    sim.setSetPoint(42.0);
    connect();
    const std::size_t replyLength = 21;  // a one-word read: 16 fixed characters, 4 of data
    for (std::size_t cut = 1; cut < replyLength; ++cut) {
        sim.setReplySplitPositions({cut}, std::chrono::milliseconds(5));
        sim.setSetPoint(cut);
        ASSERT_TRUE(request([&] { driver.GetSetPoint(); })) << cut;
        ASSERT_TRUE(waitUntil([&] { return driver.CommandType() == TOmronCom::kNoRequest; }, 1000))
            << cut;
        EXPECT_EQ(driver.SetPoint(), static_cast<double>(cut)) << cut;
        EXPECT_EQ(driver.ErrorCode(), 0) << cut;
    }
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(DriverOnSimulator, FaultyRepliesAreReportedAndReadingResumesOnceTheyAreClean) {
    sim.setTemperature(30.0);
    connect();
    struct Case {
        const char* name;
        std::function<void()> fault;
        int errorCode;
        int responseCode;
    };
    const std::vector<Case> cases = {
        {"wrong BCC", [&] { sim.setWrongReplyBcc(true); }, 301, 0},
        {"end code 13", [&] { sim.setReplyEndCode("13"); }, 313, 0},
        {"response code 1001", [&] { sim.setReplyResponseCode("1001"); }, 0, 1001},
    };
    int failures = 0;
    for (const Case& c : cases) {
        c.fault();
        ASSERT_TRUE(request([&] { driver.GetTemperature(); })) << c.name;
        ++failures;
        EXPECT_EQ(driver.ErrorCode(), c.errorCode) << c.name;
        EXPECT_EQ(driver.ResponseCode(), c.responseCode) << c.name;
        EXPECT_EQ(errorEvents, failures) << c.name << ": one failed request, one report";
        sim.clearFaults();
        // Clean replies again: within one poll cycle of three reads the temperature is back.
        sim.setTemperature(30.0 + failures);
        ASSERT_TRUE(request([&] { driver.GetTemperature(); })) << c.name;  // the link check
        ASSERT_TRUE(request([&] { driver.GetSetPoint(); })) << c.name;
        ASSERT_TRUE(request([&] { driver.GetTemperature(); })) << c.name;
        EXPECT_EQ(driver.Temperature(), 30.0 + failures) << c.name;
        EXPECT_TRUE(driver.StatusOk()) << c.name;
    }
}

TEST_F(DriverOnSimulator, TwoRepliesInOneWriteAndGarbageLeaveTheLinkInStep) {
    sim.setTemperature(30.0);
    connect();
    sim.setTwoRepliesInOneWrite(true);
    driver.GetTemperature();  // its reply is held back ...
    ASSERT_TRUE(sim.waitForRequests(3, std::chrono::milliseconds(1000)));
    sim.clearFaults();        // the held reply still goes out with the next one
    driver.AbandonRequest();  // ... past the caller's time-out
    sim.setSetPoint(61.0);
    // The next request goes out after the link check, whose reply comes with the late one.
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    ASSERT_TRUE(waitUntil([&] { return driver.SetPoint() == 61.0; }, 2000));
    EXPECT_EQ(driver.Temperature(), 0.0) << "the late temperature reply is dropped, not decoded";
    EXPECT_EQ(driver.Failures().stale, 1U);

    // Nothing of the pair is left over to be decoded again: the next replies are read normally.
    sim.setGarbageBeforeReply("\xFF\x13noise");
    ASSERT_TRUE(request([&] { driver.GetTemperature(); }));
    EXPECT_EQ(driver.Temperature(), 30.0);
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(DriverOnSimulator, SilentControllerGetsOneRequestAtATime) {
    connect();
    sim.setNoReply(true);
    const std::size_t before = sim.requestCount();
    for (int i = 0; i < 10; ++i) {
        driver.GetTemperature();
        driver.GetSetPoint();
    }
    EXPECT_TRUE(sim.waitForRequests(before + 1, std::chrono::milliseconds(1000)));
    EXPECT_FALSE(sim.waitForRequests(before + 2, std::chrono::milliseconds(200)))
        << "the others wait for its reply";
    EXPECT_TRUE(driver.Busy());

    sim.clearFaults();
    driver.AbandonRequest();  // the caller's time-out: the link is checked next
    ASSERT_TRUE(sim.waitForRequests(before + 2, std::chrono::milliseconds(1000)));
    EXPECT_EQ(sim.receivedCommands()[before + 1], std::string(commands::kEchoTest) + "000000")
        << "a link check with test data of its own";
    ASSERT_TRUE(waitUntil([&] { return !driver.Busy(); }, 2000))
        << "once it answers, what waited goes out";
    const auto received = sim.receivedCommands();
    EXPECT_EQ(
        std::vector<std::string>(received.begin() + static_cast<long>(before), received.end()),
        (std::vector<std::string>{
            commands::kTemperature, std::string(commands::kEchoTest) + "000000",
            commands::kReadSetPoint, commands::kReadSetPoint, commands::kTemperature}))
        << "each waiting request once, after the link check and its set-point read";
    EXPECT_EQ(driver.Failures().noReply, 1U);
    EXPECT_TRUE(driver.StatusOk());
}

TEST_F(DriverOnSimulator, VanishedDeviceGivesAPortFailure) {
    connect();
    bool lineError = false;
    port.OnError = [&](TCustomComPort&, TComErrors errors) {
        lineError = errors.contains(TComError::ceIO);
    };
    sim.vanish();
    ASSERT_TRUE(waitUntil([&] { return lineError; }, 2000));
    driver.GetTemperature();
    EXPECT_EQ(driver.ErrorCode(), 102);
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(errorEvents, 1);
}

// Once the device has gone and the port let it go, its old slave number is free, and the next
// terminal made on the machine is likely to get it (here a neighbour's, as another test's could
// in a parallel run). Opened again by the stable link, the port finds nothing until the device
// is back, and never talks to the neighbour.
TEST_F(DriverOnSimulator, OpeningAgainAfterTheDeviceWentAwayNeverReachesAnotherTerminal) {
    connect();
    const std::string oldPath = sim.portPath();
    sim.vanish();
    driver.ClosePort();
    sim::SimulatedController neighbour(test::frozenChamber());
    SCOPED_TRACE("the neighbour is on " + neighbour.portPath() + ", the device was on " + oldPath);

    EXPECT_EQ(driver.OpenPort(), 102);
    EXPECT_FALSE(driver.Connected());

    sim.reappear();
    const std::size_t before = sim.requestCount();
    connect();
    EXPECT_GT(sim.requestCount(), before);
    EXPECT_EQ(neighbour.requestCount(), 0U);
}

}  // namespace
}  // namespace lumas
