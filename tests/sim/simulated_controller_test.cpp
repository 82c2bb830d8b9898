// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/simulated_controller.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "protocol/frame_codec.h"
#include "support/stable_link_folder.h"
#include "tests/sim/sim_line.h"

namespace lumas::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;

class SimulatedControllerTest : public ::testing::Test {
  protected:
    SimulatedControllerTest() {
        sim.setTimeScale(0);  // the chamber stands still unless a test moves it
    }

    struct Step {
        std::string command;
        std::string response;  // MRC, SRC, response code and data
    };
    void runSteps(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            EXPECT_EQ(line.request(step.command), step.response) << step.command;
        }
    }

    SimulatedController sim;
    Line line{sim.portPath()};
};

TEST_F(SimulatedControllerTest, EchoReplyIsByteExact) {
    line.send(std::string(1, STX) + "010000801ThisIsEchoBackTest" + ETX + '\x1B');
    const std::string expected =
        std::string(1, STX) + "01000008010000ThisIsEchoBackTest" + ETX + '+';
    EXPECT_EQ(line.readReply(), expected);
    EXPECT_EQ(sim.receivedCommands(), std::vector<std::string>{"0801ThisIsEchoBackTest"});
}

struct ReadCase {
    const char* name;
    double temperature;
    std::string command;
    std::string response;
};
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatedControllerReadTest : public SimulatedControllerTest,
                                    public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SimulatedControllerReadTest, AnswersAsTheController) {
    sim.setTemperature(GetParam().temperature);
    EXPECT_EQ(line.request(GetParam().command), GetParam().response);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimulatedControllerReadTest,
    ::testing::Values(
        ReadCase{"temperature", 25.0, "01048000000080000E00", "010400008000FA800001"},
        ReadCase{"negative_temperature", -10.0, "01048000000080000E00", "0104000080FF9C800001"},
        ReadCase{"temperature_in_tenths", 23.44, "01048000000080000E00", "010400008000EA800001"},
        ReadCase{"set_point", 0, "0101810003000001", "0101000000FA"},
        ReadCase{"set_point_double_word", 0, "0101C10003000001", "01010000000000FA"},
        ReadCase{"sp3", 0, "0101810011000001", "010100000000"},
        ReadCase{"status_stopped", 0, "0101800012000001", "010100000100"},
        ReadCase{"upper_limit", 0, "0101830005000001", "010100000FA0"},
        ReadCase{"lower_limit", 0, "0101830006000001", "01010000FD44"},
        ReadCase{"composite", 0, "0104830005008300060081000E00", "01040000830FA083FD448100FA"},
        ReadCase{"controller_status", 0, "0601", "060100000000"},
        ReadCase{"unsupported_command", 0, "0501", "05010401"},
        ReadCase{"unknown_area", 0, "0101820003000001", "01011101"},
        ReadCase{"unknown_address", 0, "0101810099000001", "01011103"},
        ReadCase{"bit_position", 0, "0101810003010001", "01011100"},
        ReadCase{"read_too_short", 0, "01018100", "01011002"},
        ReadCase{"write_to_monitor_area", 0, "01028000000000010000", "01023003"},
        ReadCase{"unknown_operation", 0, "30059900", "30051100"},
        ReadCase{"echo_data_too_long", 0, "0801" + std::string(201, 'a'), "08011001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatedControllerTest, WritesNeedCommunicationsWritingAndStayInLimits) {
    runSteps({
        {"0102C10003000001000001F4", "01022203"},  // 50.0 before write enable
        {"0101810003000001", "0101000000FA"},
        {"30050101", "30052203"},
        {"30050001", "30050000"},
        {"0102C10003000001000001F4", "01020000"},
        {"0101810003000001", "0101000001F4"},
        {"0102C10003000001FFFFFD44", "01020000"},  // -70.0: the lower limit
        {"0102C10003000001FFFFFD43", "01021100"},
        {"0102C1000300000100000FA1", "01021100"},  // 400.1
        {"01028100030000010FA0", "01020000"},      // 400.0 as a word
        {"01028100030000010000000", "01021003"},
        {"01028300050000010BB8", "01022203"},  // setup area 1 parameter from setup area 0
        {"30050700", "30050000"},
        {"01028300050000010BB8", "01020000"},
        {"0101830005000001", "010100000BB8"},
        {"30050600", "30050000"},  // software reset: writing off again
        {"0102C10003000001000001F4", "01022203"},
    });
    EXPECT_DOUBLE_EQ(sim.setPoint(), 400.0);
    EXPECT_FALSE(sim.communicationsWriting());
    EXPECT_EQ(sim.receivedCommands().size(), 17u);
}

TEST_F(SimulatedControllerTest, RunStopAndAutoTuningShowInTheStatusWord) {
    runSteps({
        {"0101800012000001", "010100000100"},
        {"30050001", "30050000"},
        {"0101800012000001", "010100000300"},
        {"30050301", "30052203"},  // AT needs a running controller
        {"30050100", "30050000"},
        {"0101800012000001", "010100000200"},
        {"30050301", "30050000"},
        {"0101800012000001", "010100000280"},
        {"0102C10003000001000001F4", "01022203"},  // no writes during AT
        {"30050101", "30050000"},                  // stop also ends AT
        {"0101800012000001", "010100000300"},
    });
    EXPECT_FALSE(sim.running());
    sim.setRunning(true);
    EXPECT_EQ(line.request("0101800012000001"), "010100000200");
}

TEST_F(SimulatedControllerTest, SetPointLockAcknowledgesWritesAndKeepsItsValue) {
    sim.setSetPointLock(30.0);
    sim.setCommunicationsWriting(true);
    runSteps({
        {"0102C10003000001000001F4", "01020000"},
        {"0101810003000001", "01010000012C"},
        {"0102C1000E000001000001F4", "01020000"},  // SP0, the active one
        {"010181000E000001", "01010000012C"},
    });
    sim.setSetPointLock(std::nullopt);
    EXPECT_DOUBLE_EQ(sim.setPoint(), 30.0);
    sim.setSetPoint(45.0);
    EXPECT_EQ(line.request("0101810003000001"), "0101000001C2");
}

// Every command text the program sends is accepted (in an order that allows each one).
TEST_F(SimulatedControllerTest, AcceptsEveryCommandOfTheProgram) {
    const std::vector<std::string> commands = {"30050001",
                                               "30050700",
                                               "0801ThisIsEchoBackTest",
                                               "0601",
                                               "01048000000080000E00",
                                               "0101810003000001",
                                               "010181000E000001",
                                               "010181000F000001",
                                               "0101810010000001",
                                               "0101810011000001",
                                               "0101810035000001",
                                               "0101810036000001",
                                               "0101810037000001",
                                               "0101810038000001",
                                               "0101830005000001",
                                               "0101830006000001",
                                               "010180000C000001",
                                               "010183001A000001",
                                               "0101800012000001",
                                               "0101830007000001",
                                               "0104830005008300060081000E00",
                                               "0101800009000001",
                                               "0101830004000001",
                                               "0101830054000001",
                                               "0101810025000001",
                                               "010181003C000001",
                                               "0101830053000001",
                                               "0102C10003000001000000FA",
                                               "0102C1000E000001000000FA",
                                               "0102C1000F000001000000FA",
                                               "0102C10010000001000000FA",
                                               "0102C10011000001000000FA",
                                               "0102C10035000001000000FA",
                                               "0102C10036000001000000FA",
                                               "0102C10037000001000000FA",
                                               "0102C10038000001000000FA",
                                               "0102810025000001000F",
                                               "010281003C000001000F",
                                               "0102810020000001005A",
                                               "01028300530000010001",
                                               "010283001A0000010008",
                                               "30050202",
                                               "010283001A0000010001",
                                               "30050100",
                                               "30050101",
                                               "30051101",
                                               "30051100",
                                               "30050E01",
                                               "30050E00",
                                               "30050600"};
    for (const std::string& command : commands) {
        const std::string response = line.request(command);
        EXPECT_EQ(response.substr(0, 8), command.substr(0, 4) + "0000") << command;
    }
}

struct ThermalCase {
    const char* name;
    bool running;
    double setPoint;
    double start;
};
void PrintTo(const ThermalCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatedControllerThermalTest : public SimulatedControllerTest,
                                       public ::testing::WithParamInterface<ThermalCase> {};

// T(t) = target + (T0 - target) * exp(-t / tau), t in simulated seconds; the real time the model
// ran is bracketed by clock readings around the calls, so the value must lie between the curve's
// values at both ends of the bracket.
TEST_P(SimulatedControllerThermalTest, FollowsTheFirstOrderCurve) {
    constexpr double kAmbient = 20.0;
    constexpr double kTau = 10.0;
    constexpr double kScale = 10.0;
    const ThermalCase& c = GetParam();
    sim.setAmbient(kAmbient);
    sim.setTimeConstant(kTau);
    sim.setTemperature(c.start);
    sim.setSetPoint(c.setPoint);
    sim.setRunning(c.running);
    const double target = c.running ? c.setPoint : kAmbient;

    const auto beforeStart = Clock::now();
    sim.setTimeScale(kScale);
    const auto afterStart = Clock::now();
    std::this_thread::sleep_for(200ms);
    const auto beforeRead = Clock::now();
    const double temperature = sim.temperature();
    const auto afterRead = Clock::now();

    const auto curve = [&](Clock::duration real) {
        const double simulated = std::chrono::duration<double>(real).count() * kScale;
        return target + (c.start - target) * std::exp(-simulated / kTau);
    };
    const double early = curve(beforeRead - afterStart);
    const double late = curve(afterRead - beforeStart);
    EXPECT_GE(temperature, std::min(early, late) - 1e-9);
    EXPECT_LE(temperature, std::max(early, late) + 1e-9);
    // moved toward the target, and not past it
    EXPECT_LT(std::abs(temperature - target), std::abs(c.start - target) - 1.0);
    EXPECT_GT((temperature - target) * (c.start - target), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Chamber, SimulatedControllerThermalTest,
                         ::testing::Values(ThermalCase{"heats_to_set_point", true, 80.0, 20.0},
                                           ThermalCase{"cools_to_set_point", true, -40.0, 20.0},
                                           ThermalCase{"drifts_to_ambient", false, 80.0, 60.0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FrameCase {
    const char* name;
    std::string bytes;
    std::string expectedReply;  // empty: no reply at all
};
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatedControllerFrameTest : public SimulatedControllerTest,
                                     public ::testing::WithParamInterface<FrameCase> {};

// After the frame under test an echo request follows; its reply must come right after the
// expected one (or first, when none is expected).
TEST_P(SimulatedControllerFrameTest, AnswersFramesItCannotExecute) {
    line.send(GetParam().bytes);
    line.sendCommand("0801Probe");
    const std::string probeReply = reply("00", "08010000Probe");
    EXPECT_EQ(line.readUntilEnd(probeReply), GetParam().expectedReply + probeReply);
}

std::string withWrongBcc(std::string frame) {
    frame.back() = static_cast<char>(frame.back() ^ 0x20);
    return frame;
}

std::string rawFrame(const std::string& inner) {
    std::string frame = std::string(1, STX) + inner + ETX;
    return frame + compoway::GetBCC(frame);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SimulatedControllerFrameTest,
    ::testing::Values(
        FrameCase{"wrong_bcc", withWrongBcc(compoway::BuildFrame("01", "0601")), reply("13", "")},
        FrameCase{"other_node", compoway::BuildFrame("02", "0601"), ""},
        FrameCase{"no_mrc_src", compoway::BuildFrame("01", "06"), reply("14", "")},
        FrameCase{"lower_case_hex", compoway::BuildFrame("01", "010181000e000001"),
                  reply("14", "")},
        FrameCase{"sub_address", rawFrame("010100601"), reply("16", "")},
        FrameCase{"too_long", compoway::BuildFrame("01", "0801" + std::string(300, 'x')),
                  reply("18", "")},
        FrameCase{"noise_before_stx", "\x7Fnoise" + compoway::BuildFrame("01", "0601"),
                  reply("00", "060100000000")},
        FrameCase{"unfinished_frame_then_stx",
                  std::string(1, STX) + "0100006" + compoway::BuildFrame("01", "0601"),
                  reply("00", "060100000000")}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Faults, on the reply to write enable ("30050001")

struct FaultCase {
    const char* name;
    std::function<void(SimulatedController&)> apply;
    std::string expected;  // the bytes on the line; empty: nothing
    bool carriedOut;       // the command took effect
    std::chrono::milliseconds minimumDelay;
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatedControllerFaultTest : public SimulatedControllerTest,
                                     public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimulatedControllerFaultTest, ShapesTheReply) {
    const FaultCase& c = GetParam();
    c.apply(sim);
    const auto sent = Clock::now();
    line.sendCommand("30050001");
    ASSERT_TRUE(sim.waitForRequests(1, 2s));
    const std::string got = line.readReply(c.expected.empty() ? 300 : 2000);
    EXPECT_EQ(got, c.expected);
    EXPECT_GE(Clock::now() - sent, c.minimumDelay);
    EXPECT_EQ(sim.communicationsWriting(), c.carriedOut);

    sim.clearFaults();
    EXPECT_EQ(line.request("0601"), "060100000000");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimulatedControllerFaultTest,
    ::testing::Values(
        FaultCase{"none", [](SimulatedController&) {}, reply("00", "30050000"), true, 0ms},
        FaultCase{"no_reply", [](SimulatedController& s) { s.setNoReply(true); }, "", true, 0ms},
        FaultCase{"end_code", [](SimulatedController& s) { s.setReplyEndCode("12"); },
                  reply("12", ""), false, 0ms},
        FaultCase{"response_code", [](SimulatedController& s) { s.setReplyResponseCode("2203"); },
                  reply("00", "30052203"), false, 0ms},
        FaultCase{"garbage", [](SimulatedController& s) { s.setGarbageBeforeReply("\xFF?x"); },
                  "\xFF?x" + reply("00", "30050000"), true, 0ms},
        FaultCase{"delay", [](SimulatedController& s) { s.setReplyDelay(300ms); },
                  reply("00", "30050000"), true, 300ms}),
    [](const auto& info) { return std::string(info.param.name); });

// Every reply comes 9 s late (longer than the program's reply watchdog), but each command is
// carried out when it arrives and the controller goes on reading meanwhile: the Stop stops at
// once, the write sent while its reply waits is made at once too, and the replies follow in
// order, each the delay after its own request. A reply asked for without delay still waits for
// the late ones before it.
TEST_F(SimulatedControllerTest, LateRepliesComeInOrderWhileTheCommandsAreCarriedOutAtOnce) {
    constexpr auto kDelay = 9000ms;
    constexpr auto kApart = 500ms;
    sim.setCommunicationsWriting(true);
    sim.setRunning(true);
    sim.setReplyDelay(kDelay);

    const auto stopSent = Clock::now();
    line.sendCommand("30050101");  // Stop
    ASSERT_TRUE(sim.waitForRequests(1, 2s));
    EXPECT_FALSE(sim.running());

    std::this_thread::sleep_until(stopSent + kApart);
    const auto writeSent = Clock::now();
    line.sendCommand("0102C10003000001000001F4");  // set point 50.0
    ASSERT_TRUE(sim.waitForRequests(2, 2s));
    EXPECT_DOUBLE_EQ(sim.setPoint(), 50.0);

    sim.setReplyDelay(0ms);
    line.sendCommand("0801Third");
    ASSERT_TRUE(sim.waitForRequests(3, 2s));

    const auto quietUntil = stopSent + kDelay - 1s;
    const auto quiet =
        std::chrono::duration_cast<std::chrono::milliseconds>(quietUntil - Clock::now());
    EXPECT_EQ(line.readChunk(static_cast<int>(std::max<long>(quiet.count(), 0))), "");

    EXPECT_EQ(line.readReply(5000), reply("00", "30050000"));
    EXPECT_GE(Clock::now() - stopSent, kDelay);
    const std::string rest = reply("00", "01020000") + reply("00", "08010000Third");
    EXPECT_EQ(line.readUntilEnd(rest, 5000), rest);
    EXPECT_GE(Clock::now() - writeSent, kDelay);
}

TEST_F(SimulatedControllerTest, FailedTemperatureReadsLeaveEveryOtherRequestWorking) {
    sim.setTemperature(25.0);
    sim.setFailTemperatureReads(true);
    runSteps({
        {"01048000000080000E00", "01042203"},  // the program's read: value and decimal point
        {"010480000E0080000000", "01042203"},  // the value second in a composite read
        {"0101800000000001", "01012203"},      // the value alone, as a word
        {"0101C00000000001", "01012203"},      // and as a double word
        {"0101810000000001", "01011103"},      // address 0000 of another area: no such variable
        {"010480000E00", "01040000800001"},    // the decimal point alone
        {"0101810003000001", "0101000000FA"},  // set point
        {"0101800012000001", "010100000100"},  // run state
        {"0801ThisIsEchoBackTest", "08010000ThisIsEchoBackTest"},
        {"0601", "060100000000"},
        {"30050001", "30050000"},
        {"0102C10003000001000001F4", "01020000"},  // 50.0
        {"30050100", "30050000"},
        {"0101800012000001", "010100000200"},
        {"30050101", "30050000"},
    });
    EXPECT_DOUBLE_EQ(sim.setPoint(), 50.0);
    EXPECT_FALSE(sim.running());

    sim.setFailTemperatureReads(false);
    EXPECT_EQ(line.request("01048000000080000E00"), "010400008000FA800001");
}

// The controller loses power for a moment: it comes back stopped, with writing off and its set
// point, on the same terminal, and what it had still to write is lost.
TEST_F(SimulatedControllerTest, RestartComesBackStoppedWithItsSetPointOnTheSameTerminal) {
    constexpr double kAmbient = 22.0;
    const std::string path = sim.portPath();
    runSteps({
        {"30050001", "30050000"},
        {"0102C10003000001000002BC", "01020000"},  // 70.0
        {"30050100", "30050000"},
    });
    sim.setTemperature(60.0);
    sim.setReplyDelay(500ms);
    line.sendCommand("0801Lost");
    ASSERT_TRUE(sim.waitForRequests(4, 2s));

    sim.restart();
    sim.clearFaults();
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(sim.communicationsWriting());
    EXPECT_DOUBLE_EQ(sim.setPoint(), 70.0);
    EXPECT_EQ(sim.portPath(), path);
    EXPECT_FALSE(sim.vanished());
    EXPECT_EQ(line.readChunk(1000), "") << "the waiting reply went with the power";

    runSteps({
        {"0101800012000001", "010100000100"},  // stopped, writing off
        {"0101810003000001", "0101000002BC"},
        {"30050100", "30052203"},  // Run needs writing switched on again
        {"0102C10003000001000001F4", "01022203"},
        {"30050001", "30050000"},
    });
    EXPECT_FALSE(sim.running());

    // Stopped, the chamber falls towards the ambient temperature instead of rising to 70.
    sim.setTimeScale(100.0);
    std::this_thread::sleep_for(200ms);
    const double temperature = sim.temperature();
    EXPECT_LT(temperature, 60.0);
    EXPECT_GE(temperature, kAmbient);
}

TEST_F(SimulatedControllerTest, WrongReplyBccDiffersOnlyInTheBcc) {
    sim.setWrongReplyBcc(true);
    for (const std::string command : {"0601", "0801A", "0801B", "0801C", "0801D"}) {
        line.sendCommand(command);
        const std::string got = line.readReply();
        ASSERT_GE(got.size(), 2u) << command;
        const std::string withoutBcc = got.substr(0, got.size() - 1);
        EXPECT_EQ(withoutBcc.substr(7, 4), command.substr(0, 4));
        EXPECT_NE(got.back(), compoway::GetBCC(withoutBcc)) << command;
        EXPECT_NE(got.back(), STX);
        EXPECT_NE(got.back(), ETX);
    }
}

TEST_F(SimulatedControllerTest, SplitReplyArrivesInSeparateChunks) {
    sim.setReplySplitPositions({1, 8, 15, 500}, 100ms);
    line.sendCommand("0801Hello");
    const std::string whole = reply("00", "08010000Hello");
    std::vector<std::string> chunks;
    for (std::string chunk = line.readChunk(2000); !chunk.empty(); chunk = line.readChunk(400)) {
        chunks.push_back(chunk);
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{whole.substr(0, 1), whole.substr(1, 7),
                                                whole.substr(8, 7), whole.substr(15)}));
}

TEST_F(SimulatedControllerTest, TwoRepliesComeInOneWrite) {
    sim.setTwoRepliesInOneWrite(true);
    line.sendCommand("0801First");
    ASSERT_TRUE(sim.waitForRequests(1, 2s));
    EXPECT_EQ(line.readChunk(300), "");  // held back
    line.sendCommand("0801Second");
    EXPECT_EQ(line.readChunk(2000), reply("00", "08010000First") + reply("00", "08010000Second"));
}

TEST_F(SimulatedControllerTest, LateBccArrivesAloneAfterThePause) {
    // A read returns all bytes that have arrived, so a first read without the BCC shows that it
    // came later (as long as this thread reads within kLate of the head's arrival).
    constexpr auto kLate = 300ms;
    sim.setLateBcc(kLate);
    const auto sent = Clock::now();
    line.sendCommand("0801Hello");
    const std::string whole = reply("00", "08010000Hello");
    const std::string head = line.readChunk(2000);
    const auto headRead = Clock::now();
    const std::string bcc = line.readChunk(2000);
    const auto bccRead = Clock::now();
    EXPECT_EQ(head, whole.substr(0, whole.size() - 1));
    EXPECT_EQ(bcc, whole.substr(whole.size() - 1));
    EXPECT_GE(bccRead - sent, kLate);
    EXPECT_GE(bccRead - headRead, kLate / 2);

    // With split positions the late BCC is one more cut; switched off, a reply is one write again.
    sim.setReplySplitPositions({5}, 50ms);
    line.sendCommand("0801Hello");
    EXPECT_EQ(line.readChunk(2000), whole.substr(0, 5));
    EXPECT_EQ(line.readChunk(2000), whole.substr(5, whole.size() - 6));
    EXPECT_EQ(line.readChunk(2000), whole.substr(whole.size() - 1));
    sim.clearFaults();
    line.sendCommand("0801Hello");
    EXPECT_EQ(line.readChunk(2000), whole);
}

// The marked request is counted among readable frames only: a frame with a wrong BCC in between
// gets its own end code 13 and does not move the mark.
TEST_F(SimulatedControllerTest, FailedRequestIsTheMarkedOneOnly) {
    struct Case {
        std::string code;
        std::string failedReply;
    };
    for (const Case& c : {Case{"2203", reply("00", "30052203")}, Case{"12", reply("12", "")}}) {
        sim.setCommunicationsWriting(false);
        sim.failRequest(2, c.code);
        EXPECT_EQ(line.request("0601"), "060100000000") << c.code;
        line.send(withWrongBcc(compoway::BuildFrame("01", "0601")));
        EXPECT_EQ(line.readReply(), reply("13", "")) << c.code;
        line.sendCommand("30050001");
        EXPECT_EQ(line.readReply(), c.failedReply) << c.code;
        EXPECT_FALSE(sim.communicationsWriting()) << c.code;  // not carried out
        EXPECT_EQ(line.request("30050001"), "30050000") << c.code;
        EXPECT_TRUE(sim.communicationsWriting()) << c.code;
    }

    // Marks add up, each counted from its own call.
    sim.failRequest(1, "0401");
    sim.failRequest(2, "1100");
    runSteps({{"0601", "06010401"}, {"0601", "06011100"}, {"0601", "060100000000"}});

    EXPECT_THROW(sim.failRequest(0, "2203"), std::invalid_argument);
    EXPECT_THROW(sim.failRequest(1, "220"), std::invalid_argument);
}

TEST_F(SimulatedControllerTest, SilenceSwallowsFramesUntilItEnds) {
    constexpr auto kSilence = 800ms;
    sim.silenceFor(kSilence);
    const auto ends = Clock::now() + kSilence;
    line.sendCommand("30050001");
    line.send(withWrongBcc(compoway::BuildFrame("01", "0601")));
    ASSERT_TRUE(sim.waitForRequests(1, 2s));
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(ends - Clock::now());
    EXPECT_EQ(line.readChunk(static_cast<int>(std::max<long>(left.count(), 0))), "");
    EXPECT_FALSE(sim.communicationsWriting());  // not heard, so not carried out

    std::this_thread::sleep_until(ends);
    // Nothing held back from the silence comes now: the first bytes are this reply.
    EXPECT_EQ(line.request("0601"), "060100000000");
    EXPECT_EQ(sim.requestCount(), 2u);
}

// A pause or silence longer than any the simulator keeps is the longest one: the reply is held
// back, rather than the deadline wrapping round into the past.
TEST(SimulatedControllerLongestPauseTest, HoldsTheReplyBack) {
    static constexpr auto kForever = std::chrono::milliseconds::max();
    const std::string whole = reply("00", "060100000000");
    struct Case {
        const char* name;
        std::function<void(SimulatedController&)> apply;
        std::string first;  // what comes before the pause
    };
    const Case cases[] = {
        {"delay", [](SimulatedController& s) { s.setReplyDelay(kForever); }, ""},
        {"silence", [](SimulatedController& s) { s.silenceFor(kForever); }, ""},
        {"late_bcc", [](SimulatedController& s) { s.setLateBcc(kForever); },
         whole.substr(0, whole.size() - 1)},
        {"split", [](SimulatedController& s) { s.setReplySplitPositions({5}, kForever); },
         whole.substr(0, 5)},
    };
    for (const Case& c : cases) {
        SimulatedController sim;
        Line line(sim.portPath());
        c.apply(sim);
        line.sendCommand("0601");
        ASSERT_TRUE(sim.waitForRequests(1, 2s)) << c.name;
        EXPECT_EQ(line.readChunk(c.first.empty() ? 300 : 2000), c.first) << c.name;
        EXPECT_EQ(line.readChunk(300), "") << c.name;
    }
}

struct RefuseCase {
    const char* name;
    void (SimulatedController::*refuse)(bool);
    bool runningBefore;
    std::string allowedCommand;
    std::string refusedCommand;
};
void PrintTo(const RefuseCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatedControllerRefuseTest : public SimulatedControllerTest,
                                      public ::testing::WithParamInterface<RefuseCase> {};

TEST_P(SimulatedControllerRefuseTest, RefusedCommandKeepsTheRunState) {
    const RefuseCase& c = GetParam();
    sim.setCommunicationsWriting(true);
    sim.setRunning(c.runningBefore);
    (sim.*c.refuse)(true);
    EXPECT_EQ(line.request(c.allowedCommand), "30050000");
    EXPECT_EQ(sim.running(), !c.runningBefore);
    EXPECT_EQ(line.request(c.refusedCommand), "30052203");
    EXPECT_EQ(sim.running(), !c.runningBefore);

    (sim.*c.refuse)(false);
    EXPECT_EQ(line.request(c.refusedCommand), "30050000");
    EXPECT_EQ(sim.running(), c.runningBefore);
}

INSTANTIATE_TEST_SUITE_P(Operations, SimulatedControllerRefuseTest,
                         ::testing::Values(RefuseCase{"stop", &SimulatedController::setRefuseStop,
                                                      false, "30050100", "30050101"},
                                           RefuseCase{"run", &SimulatedController::setRefuseRun,
                                                      true, "30050101", "30050100"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The program closes its port on disconnect and opens it again on the next connect.
TEST(SimulatedControllerPortTest, AnswersAgainAfterThePortWasClosedAndOpened) {
    SimulatedController sim;
    for (int connection = 0; connection < 2; ++connection) {
        Line line(sim.portPath());
        EXPECT_EQ(line.request("0601"), "060100000000") << connection;
    }
    EXPECT_EQ(sim.requestCount(), 2u);
}

TEST_F(SimulatedControllerTest, VanishedDeviceHangsUpThePort) {
    sim.vanish();
    EXPECT_TRUE(sim.vanished());
    pollfd descriptor{line.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&descriptor, 1, 1000), 1);
    EXPECT_NE(descriptor.revents & POLLHUP, 0);
    EXPECT_EQ(::write(line.fd(), "x", 1), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_NO_THROW(sim.temperature());
}

std::string linkTarget(const std::string& path) {
    char target[256];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The device comes back as a re-plugged adapter does: another terminal, the same name under the
// stable link, the controller as it was apart from communications writing.
TEST(SimulatedControllerPortTest, ReappearsOnANewTerminalBehindTheStableLink) {
    const test::StableLinkFolder folder;
    const std::string link = folder.linkPath();
    {
        SimulatedControllerOptions options;
        options.stableLinkPath = link;
        options.timeScale = 0;
        SimulatedController sim(options);
        EXPECT_EQ(linkTarget(link), sim.portPath());
        sim.setTemperature(55.0);
        sim.setSetPoint(70.0);
        sim.setRunning(true);

        std::string oldPath = sim.portPath();
        for (int cycle = 0; cycle < 2; ++cycle) {
            {
                Line line(link);
                EXPECT_EQ(line.request("30050001"), "30050000") << cycle;
                EXPECT_TRUE(sim.communicationsWriting()) << cycle;
                sim.vanish();
            }  // the old port is closed, so its number is free to come back
            EXPECT_FALSE(exists(link)) << cycle;

            sim.reappear();
            EXPECT_FALSE(sim.vanished()) << cycle;
            const std::string newPath = sim.portPath();
            EXPECT_NE(newPath, oldPath) << cycle;
            EXPECT_EQ(linkTarget(link), newPath) << cycle;
            EXPECT_DOUBLE_EQ(sim.temperature(), 55.0) << cycle;
            EXPECT_DOUBLE_EQ(sim.setPoint(), 70.0) << cycle;
            EXPECT_TRUE(sim.running()) << cycle;
            EXPECT_FALSE(sim.communicationsWriting()) << cycle;

            Line line(newPath);
            line.send(std::string(1, STX) + "010000801ThisIsEchoBackTest" + ETX + '\x1B');
            EXPECT_EQ(line.readReply(),
                      std::string(1, STX) + "01000008010000ThisIsEchoBackTest" + ETX + '+')
                << cycle;
            sim.reappear();  // present: nothing changes
            EXPECT_EQ(sim.portPath(), newPath) << cycle;
            oldPath = newPath;
        }
    }
    EXPECT_FALSE(exists(link));  // removed with the controller
}

// The adapter loses its power with the controller's: it goes away, the controller restarts, and
// both come back behind the same stable link, stopped and with writing off.
TEST(SimulatedControllerPortTest, RestartWhileVanishedComesBackBehindTheStableLink) {
    const test::StableLinkFolder folder;
    const std::string link = folder.linkPath();
    SimulatedControllerOptions options;
    options.stableLinkPath = link;
    options.timeScale = 0;
    SimulatedController sim(options);
    sim.setCommunicationsWriting(true);
    sim.setSetPoint(70.0);
    sim.setRunning(true);

    sim.vanish();
    sim.restart();
    EXPECT_TRUE(sim.vanished());
    EXPECT_FALSE(sim.running());
    sim.reappear();

    EXPECT_EQ(linkTarget(link), sim.portPath());
    Line line(link);
    EXPECT_EQ(line.request("0101800012000001"), "010100000100");  // stopped, writing off
    EXPECT_EQ(line.request("0101810003000001"), "0101000002BC");  // 70.0
}

}  // namespace
}  // namespace lumas::sim
