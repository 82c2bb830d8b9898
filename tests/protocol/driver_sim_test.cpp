// The driver against the simulated controller: the replies and faults of a real controller.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/omron_com.h"
#include "sim/simulated_controller.h"
#include "support/event_wait.h"
#include "support/simulator_link.h"

namespace lumas {
namespace {

using test::waitUntil;

class DriverOnSimulator : public ::testing::Test {
  protected:
    DriverOnSimulator() : sim(test::frozenChamber()) {}

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

TEST_F(DriverOnSimulator, WritesNeedCommunicationsWritingSwitchedOn) {
    connect();
    ASSERT_TRUE(request([&] { driver.cmdRun(); }));
    EXPECT_EQ(driver.ResponseCode(), 2203);
    EXPECT_EQ(errorEvents, 1);
    EXPECT_FALSE(sim.running());

    driver.ResetOmron();
    ASSERT_TRUE(waitUntil(
        [&] { return driver.StatusOk() && driver.CommandType() == TOmronCom::kNoRequest; }, 2000))
        << "confirmed again, and the set-point read that follows the echo is answered";
    ASSERT_TRUE(request([&] { driver.WriteEnable(); }));
    ASSERT_TRUE(request([&] { driver.cmdSetPoint(80.0); }));
    ASSERT_TRUE(request([&] { driver.cmdRun(); }));
    EXPECT_EQ(driver.ResponseCode(), 0);
    EXPECT_EQ(sim.setPoint(), 80.0);
    EXPECT_TRUE(sim.running());
    ASSERT_TRUE(request([&] { driver.ReadStatusLeft(); }));
    EXPECT_FALSE(driver.RunStop());
    EXPECT_TRUE(driver.ComW());
}

TEST_F(DriverOnSimulator, ReplySplitAtEveryBytePositionIsDecodedOnce) {
    sim.setSetPoint(42.0);
    connect();
    const std::size_t replyLength = 21;  // a one-word read: 16 fixed characters, 4 of data
    for (std::size_t cut = 1; cut < replyLength; ++cut) {
        sim.setReplySplitPositions({cut}, 5);
        sim.setSetPoint(cut);
        ASSERT_TRUE(request([&] { driver.GetSetPoint(); })) << cut;
        ASSERT_TRUE(waitUntil([&] { return driver.CommandType() == TOmronCom::kNoRequest; }, 1000))
            << cut;
        EXPECT_EQ(driver.SetPoint(), static_cast<double>(cut)) << cut;
        EXPECT_EQ(driver.ErrorCode(), 0) << cut;
    }
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(DriverOnSimulator, FaultyRepliesAreReported) {
    connect();
    sim.setWrongReplyBcc(true);
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    EXPECT_EQ(driver.ErrorCode(), 301);
    EXPECT_EQ(errorEvents, 0);
    sim.clearFaults();

    sim.setReplyEndCode("13");
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    EXPECT_EQ(driver.ErrorCode(), 313);
    EXPECT_EQ(errorEvents, 1);
    EXPECT_FALSE(driver.StatusOk());
    sim.clearFaults();

    sim.setReplyResponseCode("1001");
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    EXPECT_EQ(driver.ResponseCode(), 1001);
    EXPECT_EQ(errorEvents, 2);
}

TEST_F(DriverOnSimulator, TwoRepliesInOneWriteAndGarbageLeaveTheLinkInStep) {
    sim.setTemperature(30.0);
    connect();
    const double setPointBefore = driver.SetPoint();
    sim.setTwoRepliesInOneWrite(true);
    driver.GetTemperature();  // its reply is held back ...
    ASSERT_TRUE(sim.waitForRequests(3, 1000));
    sim.setSetPoint(61.0);
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));  // ... and comes with this one
    // One request slot: the late temperature reply ends the wait for the set point, and the
    // set-point reply behind it finds no request; neither value is taken for the other.
    EXPECT_EQ(driver.Temperature(), 0.0);
    EXPECT_EQ(driver.SetPoint(), setPointBefore);
    EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest);
    sim.clearFaults();

    // Nothing of the pair is left over to be decoded again: the next replies are read normally.
    ASSERT_TRUE(request([&] { driver.GetSetPoint(); }));
    EXPECT_EQ(driver.SetPoint(), 61.0);
    sim.setGarbageBeforeReply("\xFF\x13noise");
    ASSERT_TRUE(request([&] { driver.GetTemperature(); }));
    EXPECT_EQ(driver.Temperature(), 30.0);
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(DriverOnSimulator, SilentControllerTripsTheUnansweredRequestLimit) {
    connect();
    sim.setNoReply(true);
    const std::size_t before = sim.requestCount();
    int sent = 0;
    while (errorEvents == 0 && sent < 10) {
        driver.GetTemperature();
        ++sent;
    }
    EXPECT_EQ(driver.ErrorCode(), 103);
    EXPECT_EQ(driver.CommandCounter(), 0);
    EXPECT_FALSE(driver.StatusOk());
    ASSERT_TRUE(sim.waitForRequests(before + sent, 1000));
    driver.GetTemperature();
    EXPECT_FALSE(sim.waitForRequests(before + sent + 1, 200)) << "nothing more is sent";
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

}  // namespace
}  // namespace lumas
