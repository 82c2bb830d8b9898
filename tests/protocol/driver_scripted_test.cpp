// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The driver against a far end played by the test, which can send any reply a controller might.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/omron_com.h"
#include "reply_frames.h"
#include "scripted_controller.h"
#include "support/event_wait.h"
#include "threading/exception_report.h"

namespace lumas {
namespace {

using test::okReply;
using test::replyFrame;
using test::waitUntil;

class DriverScripted : public ::testing::Test {
  protected:
    void SetUp() override {
        applyControllerLinkDefaults(port);
        port.SetDeviceName(far.portPath());
        driver.SetCOMPort(&port);
        driver.SetNodeNumber(1);
        driver.OnError = [this](TOmronCom&) { ++errorEvents; };
    }

    // Replies and waits until the driver has handled the reply.
    void answer(const std::string& reply) {
        const unsigned long before = driver.FramesReceived();
        far.send(reply);
        ASSERT_TRUE(waitUntil([&] { return driver.FramesReceived() > before; }, 2000));
    }

    // Sends one request through `send`, checks its command text and answers it.
    void exchange(const std::function<void()>& send, const std::string& expectedCommand,
                  const std::string& reply) {
        send();
        ASSERT_EQ(far.nextCommand(), expectedCommand);
        answer(reply);
    }

    // The command of the next request, serving the events meanwhile so that the driver handles
    // the replies that come in (a reply may release the next request); "" when none comes.
    std::string nextCommandServing(int timeoutMs = 2000) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            std::string command = far.nextCommand(5);
            if (!command.empty()) {
                return command;
            }
            test::serveEventsFor(5);
        }
        return {};
    }

    // A check of the link after a failure: the echo test with test data of its own.
    static bool isLinkCheck(const std::string& command) {
        return command.rfind(commands::kEchoTest, 0) == 0 && command != commands::kEchoTest;
    }
    // The controller's reply to an echo test: its test data, echoed.
    static std::string echoOf(const std::string& command) {
        return okReply("0801", command.substr(4));
    }

    // Sends `reply` and returns the command of the request the driver sends next.
    std::string replyThenNext(const std::string& reply) {
        far.send(reply);
        return nextCommandServing();
    }

    // Opens the port and confirms the controller; the set point reads 25.0.
    void connect() {
        ASSERT_EQ(driver.OpenPort(), 0);
        ASSERT_FALSE(driver.StatusOk());
        ASSERT_EQ(far.nextCommand(), commands::kEchoTest);
        answer(okReply("0801", commands::kEchoTestData));
        ASSERT_TRUE(driver.StatusOk());
        ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint)
            << "the connect phase reads the set point";
        answer(okReply("0101", "00FA"));
        ASSERT_EQ(driver.SetPoint(), 25.0);
        ASSERT_EQ(driver.CommandType(), TOmronCom::kNoRequest);
    }

    test::ScriptedController far;
    TComPort port;
    TOmronCom driver;
    int errorEvents = 0;
};

TEST_F(DriverScripted, ConnectPhaseConfirmsTheControllerAndReadsTheSetPoint) {
    connect();
    EXPECT_EQ(driver.ErrorCode(), 0);
    EXPECT_EQ(errorEvents, 0);
    // Opening again on an open port runs the connect phase again.
    EXPECT_EQ(driver.OpenPort(), 0);
    EXPECT_EQ(far.nextCommand(), commands::kEchoTest);
}

TEST_F(DriverScripted, EchoWithOtherDataLeavesTheControllerUnconfirmed) {
    ASSERT_EQ(driver.OpenPort(), 0);
    ASSERT_EQ(far.nextCommand(), commands::kEchoTest);
    int backTests = 0;
    driver.OnBackTest = [&](TOmronCom&) { ++backTests; };
    answer(okReply("0801", "ThisIsSomethingElse"));
    EXPECT_EQ(driver.ErrorCode(), 202);
    EXPECT_FALSE(driver.StatusOk());
    EXPECT_EQ(backTests, 0);
    EXPECT_TRUE(far.silentFor(150)) << "no set-point read after a failed echo";
}

TEST_F(DriverScripted, EchoRefusedWithAResponseCodeFiresErrorThenBackTest) {
    ASSERT_EQ(driver.OpenPort(), 0);
    ASSERT_EQ(far.nextCommand(), commands::kEchoTest);
    int backTests = 0;
    driver.OnBackTest = [&](TOmronCom&) { ++backTests; };
    answer(replyFrame("00", "0801", "1001", ""));
    EXPECT_EQ(errorEvents, 1);
    EXPECT_EQ(backTests, 1);
    EXPECT_EQ(driver.ErrorCode(), 202);
    EXPECT_EQ(driver.ResponseCode(), 1001);
    EXPECT_FALSE(driver.StatusOk());
    EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest);
}

TEST_F(DriverScripted, SendsEveryCommandTextOfTheCommandSet) {
    connect();
    struct Case {
        const char* name;
        std::function<void(TOmronCom&)> send;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"GetStatus", [](TOmronCom& d) { d.GetStatus(); }, "0601"},
        {"GetTemperature", [](TOmronCom& d) { d.GetTemperature(); }, "01048000000080000E00"},
        {"GetSetPoint", [](TOmronCom& d) { d.GetSetPoint(); }, "0101810003000001"},
        {"ReadSetPoints(0)", [](TOmronCom& d) { d.ReadSetPoints(0); }, "010181000E000001"},
        {"ReadSetPoints(3)", [](TOmronCom& d) { d.ReadSetPoints(3); }, "0101810011000001"},
        {"ReadSetPoints(7)", [](TOmronCom& d) { d.ReadSetPoints(7); }, "0101810038000001"},
        {"ReadSLH", [](TOmronCom& d) { d.ReadSLH(); }, "0101830005000001"},
        {"ReadSLL", [](TOmronCom& d) { d.ReadSLL(); }, "0101830006000001"},
        {"GetActiveMSPn", [](TOmronCom& d) { d.GetActiveMSPn(); }, "010180000C000001"},
        {"TotalMultiSP", [](TOmronCom& d) { d.TotalMultiSP(); }, "010183001A000001"},
        {"ReadStatusLeft", [](TOmronCom& d) { d.ReadStatusLeft(); }, "0101800012000001"},
        {"GetControlMethod", [](TOmronCom& d) { d.GetControlMethod(); }, "0101830007000001"},
        {"CompositeRead", [](TOmronCom& d) { d.CompositeRead(); }, "0104830005008300060081000E00"},
        {"ReadSoakTime", [](TOmronCom& d) { d.ReadSoakTime(); }, "0101800009000001"},
        {"GetTemperatureUnit", [](TOmronCom& d) { d.GetTemperatureUnit(); }, "0101830004000001"},
        {"GetSoakTimeUnit", [](TOmronCom& d) { d.GetSoakTimeUnit(); }, "0101830054000001"},
        {"ReadRampSetValue", [](TOmronCom& d) { d.ReadRampSetValue(); }, "0101810025000001"},
        {"ReadRampFallValue", [](TOmronCom& d) { d.ReadRampFallValue(); }, "010181003C000001"},
        {"ReadProgramPattern", [](TOmronCom& d) { d.ReadProgramPattern(); }, "0101830053000001"},
        {"cmdSetPoint(25)", [](TOmronCom& d) { d.cmdSetPoint(25.0); }, "0102C10003000001000000FA"},
        {"cmdSetPoint(-10)", [](TOmronCom& d) { d.cmdSetPoint(-10.0); },
         "0102C10003000001FFFFFF9C"},
        {"cmdSetPoint(500)", [](TOmronCom& d) { d.cmdSetPoint(500.0); },
         "0102C1000300000100000FA0"},
        {"cmdSetPoint(-100)", [](TOmronCom& d) { d.cmdSetPoint(-100.0); },
         "0102C10003000001FFFFFD44"},
        {"cmdSetPoint(12.25)", [](TOmronCom& d) { d.cmdSetPoint(12.25); },
         "0102C10003000001"
         "0000007A"},
        {"cmdSetPoint(12.75)", [](TOmronCom& d) { d.cmdSetPoint(12.75); },
         "0102C10003000001"
         "00000080"},
        {"cmdSetPoints(4, 25)", [](TOmronCom& d) { d.cmdSetPoints(4, 25.0); },
         "0102C10035000001000000FA"},
        {"SetRSV(1.5)", [](TOmronCom& d) { d.SetRSV(1.5); }, "0102810025000001000F"},
        {"SetRFV(-1)", [](TOmronCom& d) { d.SetRFV(-1.0); }, "010281003C000001FFFFFFF6"},
        {"SetSoakTime(90)", [](TOmronCom& d) { d.SetSoakTime(90); }, "0102810020000001005A"},
        {"cmdSetProgramPattern(1)", [](TOmronCom& d) { d.cmdSetProgramPattern(1); },
         "01028300530000010001"},
        {"TurnOnMultiSP", [](TOmronCom& d) { d.TurnOnMultiSP(); }, "010283001A0000010008"},
        {"TurnOffMultiSP", [](TOmronCom& d) { d.TurnOffMultiSP(); }, "010283001A0000010001"},
        {"SelectMultiSP(2)", [](TOmronCom& d) { d.SelectMultiSP(2); }, "30050202"},
        {"cmdRun", [](TOmronCom& d) { d.cmdRun(); }, "30050100"},
        {"cmdStop", [](TOmronCom& d) { d.cmdStop(); }, "30050101"},
        {"cmdProgramStart", [](TOmronCom& d) { d.cmdProgramStart(); }, "30051101"},
        {"cmdProgramReset", [](TOmronCom& d) { d.cmdProgramReset(); }, "30051100"},
        {"cmdInvertDirect", [](TOmronCom& d) { d.cmdInvertDirect(); }, "30050E01"},
        {"cmdNotInvertDirect", [](TOmronCom& d) { d.cmdNotInvertDirect(); }, "30050E00"},
        {"MoveToSetupArea1", [](TOmronCom& d) { d.MoveToSetupArea1(); }, "30050700"},
        {"SoftwareReset", [](TOmronCom& d) { d.SoftwareReset(); }, "30050600"},
        {"WriteEnable", [](TOmronCom& d) { d.WriteEnable(); }, "30050001"},
        {"EchoTest", [](TOmronCom& d) { d.EchoTest(); }, "0801ThisIsEchoBackTest"},
        {"SendCommand", [](TOmronCom& d) { d.SendCommand("0601", "ignored"); }, "0601"},
    };
    for (const Case& c : cases) {
        c.send(driver);
        ASSERT_EQ(far.nextCommand(), c.command) << c.name;
        // Answered, so that the next request may go out.
        const std::string code = c.command.substr(0, 4);
        answer(okReply(code, code == "0104"   ? "8000FA800001"
                             : code == "0801" ? commands::kEchoTestData
                                              : "0000"));
    }
    // Set-point writes keep the clamped value at once.
    driver.cmdSetPoint(500.0);
    EXPECT_EQ(driver.SetPoint(), 400.0);
    driver.cmdSetPoint(-100.0);
    EXPECT_EQ(driver.SetPoint(), -70.0);
}

TEST_F(DriverScripted, DecodesEveryReadReply) {
    connect();
    struct Case {
        const char* name;
        std::function<void(TOmronCom&)> send;
        std::string reply;
        std::function<bool(const TOmronCom&)> holds;
    };
    const std::vector<Case> cases = {
        {"temperature 25.0", [](TOmronCom& d) { d.GetTemperature(); },
         okReply("0104", "8000FA800001"),
         [](const TOmronCom& d) { return d.Temperature() == 25.0; }},
        {"temperature -10.0", [](TOmronCom& d) { d.GetTemperature(); },
         okReply("0104", "80FF9C800001"),
         [](const TOmronCom& d) { return d.Temperature() == -10.0; }},
        {"temperature 250 without decimals", [](TOmronCom& d) { d.GetTemperature(); },
         okReply("0104", "8000FA800000"),
         [](const TOmronCom& d) { return d.Temperature() == 250.0; }},
        {"set point", [](TOmronCom& d) { d.GetSetPoint(); }, okReply("0101", "FF9C"),
         [](const TOmronCom& d) { return d.SetPoint() == -10.0; }},
        {"SP3", [](TOmronCom& d) { d.ReadSetPoints(3); }, okReply("0101", "00FA"),
         [](const TOmronCom& d) { return d.SP(3) == 25.0; }},
        {"SLH", [](TOmronCom& d) { d.ReadSLH(); }, okReply("0101", "0FA0"),
         [](const TOmronCom& d) { return d.SLH() == 400.0; }},
        {"SLL", [](TOmronCom& d) { d.ReadSLL(); }, okReply("0101", "FD44"),
         [](const TOmronCom& d) { return d.SLL() == -70.0; }},
        {"active MSP", [](TOmronCom& d) { d.GetActiveMSPn(); }, okReply("0101", "0003"),
         [](const TOmronCom& d) { return d.ActiveMSPn() == 3; }},
        {"MSP total", [](TOmronCom& d) { d.TotalMultiSP(); }, okReply("0101", "0008"),
         [](const TOmronCom& d) { return d.MultiSPTotal() == 8; }},
        {"status left 0100", [](TOmronCom& d) { d.ReadStatusLeft(); }, okReply("0101", "0100"),
         [](const TOmronCom& d) { return d.RunStop() && !d.ComW() && !d.AT(); }},
        {"status left 0280", [](TOmronCom& d) { d.ReadStatusLeft(); }, okReply("0101", "0280"),
         [](const TOmronCom& d) { return !d.RunStop() && d.ComW() && d.AT(); }},
        {"control method", [](TOmronCom& d) { d.GetControlMethod(); }, okReply("0101", "0001"),
         [](const TOmronCom& d) { return d.ControlMethod(); }},
        {"soak time", [](TOmronCom& d) { d.ReadSoakTime(); }, okReply("0101", "012C"),
         [](const TOmronCom& d) { return d.SoakTimeRemaining() == 300; }},
        {"temperature unit", [](TOmronCom& d) { d.GetTemperatureUnit(); }, okReply("0101", "0001"),
         [](const TOmronCom& d) { return d.TemperatureUnit(); }},
        {"soak time unit", [](TOmronCom& d) { d.GetSoakTimeUnit(); }, okReply("0101", "0001"),
         [](const TOmronCom& d) { return d.SoakTimeUnit() == 1; }},
        {"ramp set value", [](TOmronCom& d) { d.ReadRampSetValue(); }, okReply("0101", "000F"),
         [](const TOmronCom& d) { return d.RampSetValue() == 1.5; }},
        {"ramp fall value", [](TOmronCom& d) { d.ReadRampFallValue(); }, okReply("0101", "0014"),
         [](const TOmronCom& d) { return d.RampFallValue() == 2.0; }},
        {"program pattern", [](TOmronCom& d) { d.ReadProgramPattern(); }, okReply("0101", "0002"),
         [](const TOmronCom& d) { return d.ProgramPattern() == 2; }},
        {"status 0001", [](TOmronCom& d) { d.GetStatus(); }, okReply("0601", "0001"),
         [](const TOmronCom& d) {
             return d.StatusOk() && d.sHeaterOvercurrentCT1() && !d.sHeaterCurrentHoldCT1() &&
                    !d.sInputError();
         }},
        {"status 00C0", [](TOmronCom& d) { d.GetStatus(); }, okReply("0601", "00C0"),
         [](const TOmronCom& d) {
             return d.StatusOk() && d.sInputError() && d.sDisplayRangeExceeded() &&
                    !d.sHeaterOvercurrentCT1();
         }},
    };
    for (const Case& c : cases) {
        driver.SetAllowToSend(false);
        c.send(driver);
        ASSERT_FALSE(far.nextCommand().empty()) << c.name;
        answer(c.reply);
        EXPECT_TRUE(c.holds(driver)) << c.name;
        EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest) << c.name;
    }
    EXPECT_EQ(errorEvents, 0);

    // A status reply 0100 withdraws the confirmation.
    exchange([&] { driver.GetStatus(); }, "0601", okReply("0601", "0100"));
    EXPECT_FALSE(driver.StatusOk());
}

TEST_F(DriverScripted, AVariableWithoutANamedMemberIsReadThroughTheTable) {
    connect();
    const commandset::Variable& soakTime = commandset::variable("SoakTime");
    driver.ReadVariable(soakTime);
    ASSERT_EQ(far.nextCommand(), "0101810020000001");
    EXPECT_EQ(driver.Awaited(),
              (TOmronCom::Awaiting{TOmronCom::RequestKind::VariableRead, &soakTime}));
    EXPECT_EQ(driver.CommandType(), TOmronCom::kVariableRead);
    answer(okReply("0101", "005A"));
    EXPECT_EQ(driver.VariableValue(soakTime), 90.0);
    EXPECT_EQ(driver.VariableReadings(soakTime), 1U);
    EXPECT_EQ(driver.Awaited(), TOmronCom::Awaiting{});
    EXPECT_EQ(driver.SoakTimeRemaining(), 0) << "another variable than the soak time remaining";

    // A variable that is no row of the table has nothing to decode its reply by.
    const commandset::Variable copy = soakTime;
    driver.ReadVariable(copy);
    EXPECT_TRUE(far.silentFor(100));
    EXPECT_EQ(driver.VariableValue(copy), 0.0);
}

TEST_F(DriverScripted, StoppedIsTheRunStateTheRightWayRound) {
    connect();
    const std::vector<std::pair<std::string, bool>> cases = {
        {"0100", true}, {"0000", false}, {"0300", true}, {"0280", false}, {"FEFF", false},
    };
    for (const auto& [word, stopped] : cases) {
        exchange([&] { driver.ReadStatusLeft(); }, commands::kReadStatusLeft,
                 okReply("0101", word));
        EXPECT_EQ(driver.Stopped(), stopped) << word;
        EXPECT_EQ(driver.RunStop(), stopped) << word;
    }
}

TEST_F(DriverScripted, InRangeComparesWithTheSetPointStrictly) {
    connect();
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"00FF", "8000FA800001", false},  // set point 25.5, temperature 25.0: exactly 0.5 away
        {"00FE", "8000FA800001", true},   // set point 25.4
    };
    for (const auto& [setPoint, temperature, inRange] : cases) {
        exchange([&] { driver.GetSetPoint(); }, commands::kReadSetPoint, okReply("0101", setPoint));
        exchange([&] { driver.GetTemperature(); }, commands::kTemperature,
                 okReply("0104", temperature));
        EXPECT_EQ(driver.InRange(), inRange) << setPoint;
    }
}

TEST_F(DriverScripted, RawCommandReplyGoesToItsEvent) {
    connect();
    std::vector<std::tuple<int, std::string, int, std::string>> responses;
    driver.OnReceivedResponse = [&](TOmronCom&, int error, const std::string& command, int response,
                                    const std::string& text) {
        responses.emplace_back(error, command, response, text);
    };
    int statusEvents = 0;
    driver.OnStatusReceived = [&](TOmronCom&) { ++statusEvents; };
    exchange([&] { driver.SendCommand("0601", ""); }, "0601", okReply("0601", "0000"));
    ASSERT_EQ(responses.size(), 1U);
    EXPECT_EQ(responses[0], std::make_tuple(0, std::string("0601"), 0, std::string("0000")));
    EXPECT_EQ(statusEvents, 0);
}

TEST_F(DriverScripted, WrongBccFailsTheRequestAndTheLinkIsCheckedBeforeTheNextOne) {
    connect();
    driver.SetAllowToSend(false);
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    std::string damaged = okReply("0101", "0100");
    damaged.back() = static_cast<char>(damaged.back() ^ 0x20);
    answer(damaged);
    EXPECT_EQ(driver.ErrorCode(), 301);
    EXPECT_EQ(driver.SetPoint(), 25.0) << "nothing is taken from a damaged reply";
    EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest);
    EXPECT_EQ(errorEvents, 1) << "a failed request, reported once";
    EXPECT_EQ(driver.Failures().wrongBcc, 1U);

    // The next request goes out after the echo test, and temperature reading resumes.
    driver.SetAllowToSend(false);
    driver.GetTemperature();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << check;
    ASSERT_EQ(replyThenNext(echoOf(check)), commands::kReadSetPoint)
        << "the connect check's set-point read";
    answer(okReply("0101", "00FA"));
    EXPECT_TRUE(driver.StatusOk());
    exchange([&] { driver.GetTemperature(); }, commands::kTemperature,
             okReply("0104", "8000EA800001"));
    EXPECT_EQ(driver.Temperature(), 23.4);
}

TEST_F(DriverScripted, BadEndCodesAndResponseCodesRunTheErrorRoutine) {
    const std::vector<std::pair<std::string, int>> endCodes = {
        {"0F", 315}, {"10", 310}, {"11", 311}, {"12", 312},
        {"13", 313}, {"14", 314}, {"16", 316}, {"18", 318},
    };
    connect();
    int expectedErrors = 0;
    for (const auto& [endCode, code] : endCodes) {
        driver.ResetOmron();  // confirm again after the previous failure
        ASSERT_EQ(far.nextCommand(), commands::kEchoTest);
        answer(okReply("0801", commands::kEchoTestData));
        ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
        answer(okReply("0101", "00FA"));
        ASSERT_TRUE(driver.StatusOk()) << endCode;

        exchange([&] { driver.GetSetPoint(); }, commands::kReadSetPoint,
                 test::shortErrorReply(endCode));
        ++expectedErrors;
        EXPECT_EQ(driver.ErrorCode(), code) << endCode;
        EXPECT_EQ(errorEvents, expectedErrors) << endCode;
        EXPECT_FALSE(driver.StatusOk()) << endCode;
        EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest) << endCode;
        EXPECT_EQ(driver.CommandCounter(), 0) << "zeroed by the error, never below zero";
    }

    // A refused write: the response code is kept apart from the error code. It goes out after
    // the link check that the last failure asked for.
    driver.cmdRun();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << check;
    ASSERT_EQ(replyThenNext(echoOf(check)), commands::kReadSetPoint);
    ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kRun);
    answer(replyFrame("00", "3005", "3003", ""));
    EXPECT_EQ(driver.ErrorCode(), 0);
    EXPECT_EQ(driver.ResponseCode(), 3003);
    EXPECT_EQ(errorEvents, expectedErrors + 1);
}

TEST_F(DriverScripted, ACommandRefusedWhileWritingIsOffIsSentOnceMoreWithWritingOn) {
    connect();
    driver.cmdStop();
    ASSERT_EQ(far.nextCommand(), commands::kStop);
    // The controller lost power for a moment: communications writing is off again.
    const std::string check = replyThenNext(replyFrame("00", "3005", "2203", ""));
    ASSERT_TRUE(isLinkCheck(check)) << check;
    EXPECT_EQ(replyThenNext(echoOf(check)), commands::kReadSetPoint);
    EXPECT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kWriteEnable);
    EXPECT_EQ(replyThenNext(okReply("3005", "")), commands::kStop);
    answer(replyFrame("00", "3005", "2203", ""));
    EXPECT_TRUE(far.silentFor(100)) << "sent once more, not again and again";
    EXPECT_EQ(driver.ResponseCode(), 2203);
    EXPECT_EQ(driver.Failures().responseCode, 2U);
}

TEST_F(DriverScripted, RequestsAreRefusedWithoutAConfirmedController) {
    ASSERT_EQ(driver.OpenPort(), 0);
    ASSERT_EQ(far.nextCommand(), commands::kEchoTest);
    answer(okReply("0801", "wrong"));  // unconfirmed, request type back to 0
    EXPECT_EQ(driver.ErrorCode(), 202);

    driver.cmdInvertDirect();
    EXPECT_EQ(driver.ErrorCode(), 103) << "a counted request needs a confirmed controller";
    driver.SendCommand("0601", "");
    EXPECT_EQ(driver.ErrorCode(), 103);
    driver.EchoTest();  // request type 1 blocks the echo test
    EXPECT_TRUE(far.silentFor(150));

    // Reads, writes and operation commands still go out.
    driver.cmdStop();
    EXPECT_EQ(far.nextCommand(), commands::kStop);
    answer(okReply("3005", ""));

    // The temperature read of an unconfirmed controller checks the link instead, until the
    // controller answers the echo test with its data.
    driver.GetTemperature();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << check;
    answer(echoOf(check));
    EXPECT_TRUE(driver.StatusOk());
    EXPECT_EQ(far.nextCommand(), commands::kReadSetPoint);
}

TEST_F(DriverScripted, PollingNeverTakesTheCounterBelowZero) {
    connect();
    for (int i = 0; i < 20; ++i) {
        exchange([&] { driver.GetSetPoint(); }, commands::kReadSetPoint, okReply("0101", "00FA"));
        exchange([&] { driver.GetTemperature(); }, commands::kTemperature,
                 okReply("0104", "8000FA800001"));
        exchange([&] { driver.ReadStatusLeft(); }, commands::kReadStatusLeft,
                 okReply("0101", "0100"));
    }
    EXPECT_EQ(driver.CommandCounter(), 0);
    driver.GetTemperature();
    ASSERT_EQ(far.nextCommand(), commands::kTemperature);
    EXPECT_EQ(driver.CommandCounter(), 1) << "one counted request unanswered";
}

TEST_F(DriverScripted, FiveUnansweredCountedRequestsRaiseError103) {
    connect();
    // Each unanswered read is given up before the next, which goes out after a link check that
    // the controller answers.
    for (int i = 0; i < 5; ++i) {
        if (i > 0) {
            driver.AbandonRequest();
        }
        driver.GetTemperature();
        if (i > 0) {
            const std::string check = far.nextCommand();
            ASSERT_TRUE(isLinkCheck(check)) << i << ": " << check;
            ASSERT_EQ(replyThenNext(echoOf(check)), commands::kReadSetPoint) << i;
            ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kTemperature) << i;
        } else {
            ASSERT_EQ(far.nextCommand(), commands::kTemperature);
        }
        EXPECT_EQ(errorEvents, i == 4 ? 1 : 0) << i;
    }
    EXPECT_EQ(driver.ErrorCode(), 103);
    EXPECT_FALSE(driver.StatusOk());
    EXPECT_EQ(driver.Failures().noReply, 4U);
}

TEST_F(DriverScripted, ClosedPortRefusesSendsButKeepsTheSetPoint) {
    connect();
    driver.ClosePort();
    EXPECT_EQ(driver.ErrorCode(), -1);
    EXPECT_FALSE(driver.Connected());
    driver.cmdSetPoint(55.0);
    EXPECT_EQ(driver.ErrorCode(), 102);
    EXPECT_EQ(driver.SetPoint(), 55.0);
    driver.ClosePort();
    EXPECT_EQ(driver.ErrorCode(), 102) << "closing a closed port changes nothing";
}

TEST_F(DriverScripted, NoPortAndUnopenablePortAreReported) {
    TOmronCom unassigned;
    EXPECT_EQ(unassigned.OpenPort(), 101);
    EXPECT_EQ(unassigned.ErrorCode(), 101);

    TComPort missing;
    missing.SetDeviceName("/dev/lumas-no-such-device");
    TOmronCom driverOnMissing;
    driverOnMissing.SetCOMPort(&missing);
    EXPECT_EQ(driverOnMissing.OpenPort(), 102);
    EXPECT_FALSE(driverOnMissing.Connected());
}

TEST_F(DriverScripted, ThePortsOwnReasonForFailingIsKeptUntilAnOpenSucceeds) {
    // What the port itself says when the device cannot be opened.
    const std::string missing = "/dev/lumas-no-such-device";
    std::string portMessage;
    int portOsError = 0;
    TComPort probe;
    probe.SetDeviceName(missing);
    try {
        probe.Open();
    } catch (const EComPortError& error) {
        portMessage = error.what();
        portOsError = error.osError();
    }
    ASSERT_FALSE(portMessage.empty());
    ASSERT_NE(portOsError, 0);

    EXPECT_FALSE(driver.LastPortFailure().has_value()) << "nothing has failed yet";
    port.SetDeviceName(missing);
    EXPECT_EQ(driver.OpenPort(), 102);
    const std::optional<TOmronCom::PortFailure> failure = driver.LastPortFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, portMessage);
    EXPECT_EQ(failure->osError, portOsError);

    port.SetDeviceName(far.portPath());
    ASSERT_EQ(driver.OpenPort(), 0);
    EXPECT_FALSE(driver.LastPortFailure().has_value()) << "cleared by the open that succeeded";
    driver.ClosePort();
}

// A port that reports itself open and fails every write with the error it is given.
class FailingWritePort : public TCustomComPort {
  public:
    explicit FailingWritePort(std::function<void()> raise) : raise_(std::move(raise)) {}
    bool Active() const override { return true; }
    bool WriteText(const std::string& /*s*/) override {
        raise_();
        return false;
    }

  private:
    std::function<void()> raise_;
};

TEST(DriverPortFailure, AFailedWriteKeepsTheErrorsTextAndOsErrorCode) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::string message;
        int osError;
    };
    const std::vector<Case> cases = {
        {"port error", [] { throw EComPortError("Write error (5), Input/output error", 5); },
         "Write error (5), Input/output error", 5},
        {"other error", [] { throw std::runtime_error("queue gone"); }, "queue gone", 0},
    };
    for (const Case& c : cases) {
        FailingWritePort port(c.raise);
        TOmronCom driver;
        driver.SetCOMPort(&port);
        EXPECT_EQ(driver.OpenPort(), 0)
            << c.name << ": the port opened; the echo test's write failed";
        EXPECT_FALSE(driver.Connected()) << c.name;
        EXPECT_EQ(driver.ErrorCode(), 102) << c.name;
        const std::optional<TOmronCom::PortFailure> failure = driver.LastPortFailure();
        ASSERT_TRUE(failure.has_value()) << c.name;
        EXPECT_EQ(failure->message, c.message) << c.name;
        EXPECT_EQ(failure->osError, c.osError) << c.name;
    }
}

TEST_F(DriverScripted, WriteEnableWaitsFiftyMillisecondsBeforeItIsSent) {
    connect();
    const auto start = std::chrono::steady_clock::now();
    driver.WriteEnable();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(far.nextCommand(), "30050001");
}

TEST_F(DriverScripted, DataThatCannotBeAReadingFailsTheRequest) {
    connect();
    exchange([&] { driver.GetTemperature(); }, commands::kTemperature,
             okReply("0104", "8000FA800001"));
    ASSERT_EQ(driver.Temperature(), 25.0);
    std::vector<std::string> reports;
    setStandardExceptionReport([&](const std::string& text) { reports.push_back(text); });
    struct Case {
        const char* name;
        std::function<void(TOmronCom&)> send;
        const char* command;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"decimal places -999 (a division giving no number)",
         [](TOmronCom& d) { d.GetTemperature(); }, commands::kTemperature,
         okReply("0104", "8000FA80-999")},
        {"decimal places 0400", [](TOmronCom& d) { d.GetTemperature(); }, commands::kTemperature,
         okReply("0104", "8000FA800400")},
        {"decimal places 0999", [](TOmronCom& d) { d.GetTemperature(); }, commands::kTemperature,
         okReply("0104", "8000FA800999")},
        {"temperature data of 8 characters", [](TOmronCom& d) { d.GetTemperature(); },
         commands::kTemperature, okReply("0104", "8000FA80")},
        {"temperature that is not hexadecimal", [](TOmronCom& d) { d.GetTemperature(); },
         commands::kTemperature, okReply("0104", "80ZZZZ800001")},
        {"set point ZZZZ", [](TOmronCom& d) { d.GetSetPoint(); }, commands::kReadSetPoint,
         okReply("0101", "ZZZZ")},
    };
    unsigned long failures = 0;
    for (const Case& c : cases) {
        driver.ResetOmron();  // confirm again after the previous failure
        ASSERT_EQ(far.nextCommand(), commands::kEchoTest) << c.name;
        ASSERT_EQ(replyThenNext(okReply("0801", commands::kEchoTestData)), commands::kReadSetPoint)
            << c.name;
        answer(okReply("0101", "00FA"));

        const unsigned long readings = driver.TemperatureReadings();
        exchange([&] { c.send(driver); }, c.command, c.reply);
        ++failures;
        EXPECT_EQ(driver.Temperature(), 25.0) << c.name;
        EXPECT_EQ(driver.SetPoint(), 25.0) << c.name;
        EXPECT_EQ(driver.TemperatureReadings(), readings) << c.name << ": not a reading";
        EXPECT_EQ(driver.Failures().badData, failures) << c.name;
        EXPECT_EQ(errorEvents, static_cast<int>(failures)) << c.name;
    }
    setStandardExceptionReport(nullptr);
    EXPECT_TRUE(reports.empty()) << "a failed reply is counted, not shown in a box";
}

TEST_F(DriverScripted, ARequestWaitsUntilTheReplyBeforeItIsWhole) {
    connect();
    driver.SetAllowToSend(false);
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    driver.cmdRun();
    EXPECT_TRUE(far.silentFor(100)) << "Run waits for the set-point reply";

    // The reply comes with its BCC a moment after the rest, as a USB adapter may deliver it.
    const std::string reply = okReply("0101", "0100");
    far.send(reply.substr(0, reply.size() - 1));
    test::serveEventsFor(100);
    EXPECT_TRUE(far.silentFor(20));
    EXPECT_FALSE(driver.AllowToSend()) << "the reply is not whole without its BCC";
    EXPECT_EQ(replyThenNext(reply.substr(reply.size() - 1)), commands::kRun);
    EXPECT_EQ(driver.SetPoint(), 25.6) << "decoded against the request it answers";
    EXPECT_FALSE(driver.AllowToSend()) << "Run still awaits its reply";
    answer(okReply("3005", ""));
    EXPECT_EQ(driver.CommandType(), TOmronCom::kNoRequest);
}

TEST_F(DriverScripted, ALateReplyToAGivenUpRequestIsNotTakenForTheNext) {
    connect();
    driver.SetAllowToSend(false);
    driver.ReadStatusLeft();
    ASSERT_EQ(far.nextCommand(), commands::kReadStatusLeft);
    driver.AbandonRequest();  // no reply in time
    driver.GetSetPoint();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << "the link is checked first: " << check;
    far.send(okReply("0101", "0100"));  // the run state, late
    test::serveEventsFor(50);
    ASSERT_EQ(replyThenNext(echoOf(check)), commands::kReadSetPoint);
    ASSERT_EQ(replyThenNext(okReply("0101", "00C8")), commands::kReadSetPoint)
        << "the read asked for";
    answer(okReply("0101", "00C8"));
    EXPECT_EQ(driver.SetPoint(), 20.0) << "not the late run-state word 0100 (25.6)";
    EXPECT_EQ(driver.Failures().stale, 1U);
    EXPECT_EQ(driver.Failures().noReply, 1U);
}

TEST_F(DriverScripted, ALateReplyToAnEarlierLinkCheckIsNotTakenForTheCurrentOne) {
    connect();
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    driver.AbandonRequest();
    driver.ReadStatusLeft();
    const std::string first = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(first)) << first;
    driver.AbandonRequest();  // the first check unanswered too
    const std::string second = nextCommandServing();
    ASSERT_TRUE(isLinkCheck(second)) << second;
    ASSERT_NE(first, second) << "each check has test data of its own";

    // The late replies arrive in order: the set point, then the first check's echo.
    far.send(okReply("0101", "00C8"));
    far.send(echoOf(first));
    test::serveEventsFor(50);
    EXPECT_TRUE(far.silentFor(20)) << "neither is taken for the second check";
    EXPECT_EQ(driver.Failures().stale, 2U);
    ASSERT_EQ(replyThenNext(echoOf(second)), commands::kReadSetPoint);
    ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kReadStatusLeft);
    answer(okReply("0101", "0000"));
    EXPECT_FALSE(driver.RunStop()) << "the run state is the run-state read's";
    EXPECT_EQ(driver.SetPoint(), 25.0);
}

TEST_F(DriverScripted, WhatWaitsAfterAFailedLinkCheckIsParkedUntilTheCallersTimeOut) {
    connect();
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    answer(test::shortErrorReply("13"));  // a failed request: the link is checked next
    driver.SetAllowToSend(false);
    driver.ReadStatusLeft();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << check;
    answer(test::shortErrorReply("13"));  // the check fails too
    EXPECT_TRUE(far.silentFor(100)) << "not checked again and again on a broken line";
    EXPECT_TRUE(driver.Busy()) << "the read waits";
    EXPECT_FALSE(driver.AllowToSend()) << "the line is not idle while the read waits";

    driver.AbandonRequest();  // the caller's time-out: checked once more
    const std::string again = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(again)) << again;
    ASSERT_EQ(replyThenNext(echoOf(again)), commands::kReadSetPoint);
    ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kReadStatusLeft)
        << "the read goes out";
    answer(okReply("0101", "0000"));
    EXPECT_FALSE(driver.Busy());
    EXPECT_TRUE(driver.AllowToSend());
}

// A controller that answers too late for every check of the link may still carry out what it is
// sent: the Stop never waits behind a check, neither parked after a failed one nor queued behind
// one that is due; the check follows it.
TEST_F(DriverScripted, TheStopNeverWaitsBehindACheckOfTheLink) {
    connect();
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    driver.AbandonRequest();  // no reply in time
    driver.ReadStatusLeft();
    const std::string check = far.nextCommand();
    ASSERT_TRUE(isLinkCheck(check)) << check;
    driver.AbandonRequest();  // the check unanswered too: the read is parked
    const std::string again = nextCommandServing();
    ASSERT_TRUE(isLinkCheck(again)) << again;

    driver.cmdStop();  // queued while a check is on the line: it goes first when that is over
    driver.AbandonRequest();
    ASSERT_EQ(nextCommandServing(), commands::kStop) << "before the next check";
    driver.AbandonRequest();  // the Stop's reply is late as well
    const std::string after = nextCommandServing();
    ASSERT_TRUE(isLinkCheck(after)) << "the check follows the Stop: " << after;
    ASSERT_EQ(replyThenNext(echoOf(after)), commands::kReadSetPoint);  // the check's own read
    ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kReadStatusLeft)
        << "then what waited";
    answer(okReply("0101", "0100"));
    EXPECT_TRUE(driver.RunStop());

    // With nothing on the line but a check due, the Stop goes out at once.
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    answer(test::shortErrorReply("13"));
    driver.cmdStop();
    ASSERT_EQ(far.nextCommand(), commands::kStop);
}

// Going first never turns Run and Stop round: a Run still waiting when a Stop is asked is dropped,
// and the controller is left stopped, as the two in order would leave it.
TEST_F(DriverScripted, ARunWaitingWhenAStopIsAskedNeverGoesOut) {
    connect();
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    driver.cmdRun();   // waits behind the read
    driver.cmdStop();  // asked after it
    ASSERT_EQ(replyThenNext(okReply("0101", "00FA")), commands::kStop);
    answer(okReply("3005", ""));
    EXPECT_TRUE(far.silentFor(100)) << "no Run after the Stop";
    EXPECT_FALSE(driver.Busy());
}

TEST_F(DriverScripted, AVanishedDeviceIsKnownWithoutAWrite) {
    connect();
    far.hangUp();
    ASSERT_TRUE(waitUntil([&] { return !driver.Connected(); }, 2000))
        << "the port's hang-up report ends the connection";
    EXPECT_EQ(driver.ErrorCode(), 102);
    EXPECT_EQ(errorEvents, 1);
    driver.cmdStop();
    EXPECT_EQ(errorEvents, 1) << "later sends are refused quietly";
    driver.ClosePort();
}

TEST_F(DriverScripted, EventHandlersMayCallBackIntoTheDriver) {
    connect();
    // A reading's handler reads it back and asks for the next one. Both replies come in one
    // chunk: the second answers the read that the first one's handler sends, so each reply's
    // event must have run before the next reply is handled.
    std::vector<double> readings;
    driver.OnDataReceived = [&](TOmronCom& d) {
        readings.push_back(d.Temperature());
        if (readings.size() == 1) {
            d.GetTemperature();
        }
    };
    driver.GetTemperature();
    ASSERT_EQ(far.nextCommand(), commands::kTemperature);
    far.send(okReply("0104", "8000FA800001") + okReply("0104", "800104800001"));
    ASSERT_TRUE(waitUntil([&] { return readings.size() == 2; }, 2000)) << readings.size();
    EXPECT_EQ(readings, (std::vector<double>{25.0, 26.0}));
    EXPECT_EQ(far.nextCommand(), commands::kTemperature) << "the handler's read went out";
    EXPECT_EQ(driver.Failures().stale, 0U);

    // An error's handler reads the error and asks for a reading, which checks the link of the
    // now unconfirmed controller; the error comes from a damaged reply, then from the port's
    // report that the device has gone.
    std::vector<std::pair<int, bool>> errors;
    driver.OnError = [&](TOmronCom& d) {
        errors.emplace_back(d.ErrorCode(), d.Connected());
        d.GetTemperature();
    };
    driver.GetSetPoint();
    ASSERT_EQ(far.nextCommand(), commands::kReadSetPoint);
    std::string damaged = okReply("0101", "00FA");
    damaged.back() = static_cast<char>(damaged.back() ^ 0x20);
    answer(damaged);
    EXPECT_EQ(errors, (std::vector<std::pair<int, bool>>{{301, true}}));
    const std::string check = far.nextCommand();
    EXPECT_TRUE(isLinkCheck(check)) << check;

    far.hangUp();
    ASSERT_TRUE(waitUntil([&] { return errors.size() == 2; }, 2000));
    EXPECT_EQ(errors[1], std::make_pair(102, false));
    driver.ClosePort();
}

TEST_F(DriverScripted, ClosingThePortWhileAReplyWaitsToBeHandledForgetsWhatItBrought) {
    connect();
    int readings = 0;
    driver.OnDataReceived = [&](TOmronCom& d) {
        ++readings;
        EXPECT_EQ(d.Temperature(), 25.0);
    };
    driver.GetTemperature();
    ASSERT_EQ(far.nextCommand(), commands::kTemperature);
    driver.GetSetPoint();  // waits for the temperature reply
    const unsigned long frames = driver.FramesReceived();
    far.send(okReply("0104", "8000FA800001"));
    // The UI thread is busy: the reply waits to be handed over, and the close takes it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    driver.ClosePort();
    EXPECT_EQ(driver.FramesReceived(), frames + 1) << "the reply was handled during the close";
    EXPECT_EQ(readings, 1);
    EXPECT_FALSE(driver.Connected());
    EXPECT_FALSE(driver.StatusOk());
    EXPECT_EQ(driver.Temperature(), 0.0);
    EXPECT_EQ(driver.ErrorCode(), -1);
    EXPECT_FALSE(driver.Busy()) << "the set-point read that waited is forgotten";
    EXPECT_TRUE(far.silentFor(100)) << "nothing goes out while the port is being closed";
}

}  // namespace
}  // namespace lumas
