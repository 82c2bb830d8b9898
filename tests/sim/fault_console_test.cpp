// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/fault_console.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "tests/sim/sim_line.h"

namespace lumas::sim {
namespace {

using namespace simtest;

struct ConsoleCase {
    const char* name;
    std::string line;
    bool ok;
    std::optional<std::string> text;  // the exact reply; nullopt: `check` looks at it
    // Shows that the command reached the controller (or did not); may be empty.
    std::function<void(SimulatedController&, Line&, const ConsoleReply&)> check;
    std::function<void(SimulatedController&)> prepare;  // runs before the line; may be empty
};
void PrintTo(const ConsoleCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultConsoleTest : public ::testing::TestWithParam<ConsoleCase> {
  protected:
    FaultConsoleTest() { sim.setTimeScale(0); }

    SimulatedController sim;
    Line line{sim.portPath()};
};

TEST_P(FaultConsoleTest, AppliesOneLine) {
    const ConsoleCase& c = GetParam();
    if (c.prepare) {
        c.prepare(sim);
    }
    const ConsoleReply got = applyConsoleLine(sim, c.line);
    EXPECT_EQ(got.ok, c.ok) << got.text;
    if (c.text) {
        EXPECT_EQ(got.text, *c.text);
    }
    if (c.check) {
        c.check(sim, line, got);
    }
}

void answersNormally(SimulatedController&, Line& line, const ConsoleReply&) {
    EXPECT_EQ(line.request("0601"), "060100000000");
}

// No reply within `ms`, although the request arrived.
void staysSilent(SimulatedController& sim, Line& line, int ms) {
    const std::size_t before = sim.requestCount();
    line.sendCommand("0601");
    ASSERT_TRUE(sim.waitForRequests(before + 1, std::chrono::seconds(2)));
    EXPECT_EQ(line.readChunk(ms), "");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FaultConsoleTest,
    ::testing::Values(
        ConsoleCase{"blank", "   ", true, "", answersNormally, {}},
        ConsoleCase{"comment", "# silence 5", true, "", answersNormally, {}},
        ConsoleCase{"unknown", "explode", false, "unknown command 'explode' (try help)", {}, {}},
        ConsoleCase{"missing_argument", "silence", false, "usage: silence SECONDS", {}, {}},
        ConsoleCase{"extra_argument", "clear all", false, "usage: clear", {}, {}},
        ConsoleCase{"temperature",
                    " temperature\t31.5 ",
                    true,
                    "temperature: 31.5 C",
                    [](SimulatedController& s, Line&, const ConsoleReply&) {
                        EXPECT_DOUBLE_EQ(s.temperature(), 31.5);
                    },
                    {}},
        ConsoleCase{"temperature_not_a_number",
                    "temperature warm",
                    false,
                    "temperature: C must be a number, not 'warm'",
                    [](SimulatedController& s, Line&, const ConsoleReply&) {
                        EXPECT_DOUBLE_EQ(s.temperature(), 22.0);
                    },
                    {}},
        // Seconds, not milliseconds: still silent well after 0.3 ms.
        ConsoleCase{
            "silence",
            "silence 1.5",
            true,
            "silent for 1.5 s",
            [](SimulatedController& s, Line& l, const ConsoleReply&) { staysSilent(s, l, 300); },
            {}},
        ConsoleCase{"silence_ended", "silence 0", true, "silence ended", answersNormally,
                    [](SimulatedController& s) { s.silenceFor(std::chrono::minutes(1)); }},
        ConsoleCase{"silence_negative",
                    "silence -1",
                    false,
                    "silence: SECONDS must be a number from 0 up, not '-1'",
                    answersNormally,
                    {}},
        ConsoleCase{"late_bcc",
                    "late-bcc 300",
                    true,
                    "late BCC: 300 ms",
                    [](SimulatedController&, Line& l, const ConsoleReply&) {
                        const std::string whole = reply("00", "060100000000");
                        l.sendCommand("0601");
                        EXPECT_EQ(l.readChunk(2000), whole.substr(0, whole.size() - 1));
                        EXPECT_EQ(l.readChunk(2000), whole.substr(whole.size() - 1));
                    },
                    {}},
        ConsoleCase{"late_bcc_fraction",
                    "late-bcc 1.5",
                    false,
                    "late-bcc: MS must be a whole number from 0 up, not '1.5'",
                    answersNormally,
                    {}},
        ConsoleCase{"fail_next_response_code",
                    "fail-next 2203",
                    true,
                    "the next reply fails with response code 2203",
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        EXPECT_EQ(l.request("0601"), "06012203");
                        answersNormally(s, l, r);
                    },
                    {}},
        ConsoleCase{"fail_next_end_code",
                    "fail-next 0f",
                    true,
                    "the next reply fails with end code 0F",
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        l.sendCommand("0601");
                        EXPECT_EQ(l.readReply(), reply("0F", ""));
                        answersNormally(s, l, r);
                    },
                    {}},
        ConsoleCase{"fail_next_bad_code",
                    "fail-next 220",
                    false,
                    "fail-next: CODE is an end code (2 hex digits) or a response code (4), not "
                    "'220'",
                    answersNormally,
                    {}},
        ConsoleCase{"refuse_stop", "refuse-stop on", true, "refuse Stop: on",
                    [](SimulatedController& s, Line& l, const ConsoleReply&) {
                        EXPECT_EQ(l.request("30050101"), "30052203");
                        EXPECT_TRUE(s.running());
                    },
                    [](SimulatedController& s) {
                        s.setCommunicationsWriting(true);
                        s.setRunning(true);
                    }},
        ConsoleCase{"refuse_stop_off", "refuse-stop off", true, "refuse Stop: off",
                    [](SimulatedController& s, Line& l, const ConsoleReply&) {
                        EXPECT_EQ(l.request("30050101"), "30050000");
                        EXPECT_FALSE(s.running());
                    },
                    [](SimulatedController& s) {
                        s.setCommunicationsWriting(true);
                        s.setRunning(true);
                        s.setRefuseStop(true);
                    }},
        ConsoleCase{"refuse_stop_unclear",
                    "refuse-stop yes",
                    false,
                    "refuse-stop: say on or off, not 'yes'",
                    {},
                    {}},
        ConsoleCase{
            "no_reply",
            "no-reply on",
            true,
            "no reply: on",
            [](SimulatedController& s, Line& l, const ConsoleReply&) { staysSilent(s, l, 300); },
            {}},
        ConsoleCase{"wrong_bcc",
                    "wrong-bcc on",
                    true,
                    "wrong BCC: on",
                    [](SimulatedController&, Line& l, const ConsoleReply&) {
                        const std::string right = reply("00", "060100000000");
                        l.sendCommand("0601");
                        const std::string got = l.readReply();
                        ASSERT_EQ(got.size(), right.size());
                        EXPECT_EQ(got.substr(0, got.size() - 1), right.substr(0, got.size() - 1));
                        EXPECT_NE(got.back(), right.back());
                    },
                    {}},
        ConsoleCase{"delay",
                    "delay 300",
                    true,
                    "reply delay: 300 ms",
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        const auto sent = Clock::now();
                        answersNormally(s, l, r);
                        EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(300));
                    },
                    {}},
        ConsoleCase{"fail_temperature",
                    "fail-temperature on",
                    true,
                    "failing temperature reads: on",
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        EXPECT_EQ(l.request("01048000000080000E00"), "01042203");
                        answersNormally(s, l, r);
                    },
                    {}},
        ConsoleCase{"fail_temperature_off", "fail-temperature off", true,
                    "failing temperature reads: off",
                    [](SimulatedController&, Line& l, const ConsoleReply&) {
                        EXPECT_EQ(l.request("01048000000080000E00"), "010400008000DC800001");
                    },
                    [](SimulatedController& s) { s.setFailTemperatureReads(true); }},
        ConsoleCase{"restart", "restart", true,
                    "restarted: stopped, communications writing off, set point 70.0 C",
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        EXPECT_FALSE(s.running());
                        EXPECT_FALSE(s.communicationsWriting());
                        EXPECT_DOUBLE_EQ(s.setPoint(), 70.0);
                        answersNormally(s, l, r);  // on the same terminal
                    },
                    [](SimulatedController& s) {
                        s.setCommunicationsWriting(true);
                        s.setSetPoint(70.0);
                        s.setRunning(true);
                    }},
        ConsoleCase{"clear", "clear", true, "all faults off", answersNormally,
                    [](SimulatedController& s) {
                        s.setNoReply(true);
                        s.setWrongReplyBcc(true);
                        s.failRequest(1, "2203");
                        s.silenceFor(std::chrono::minutes(1));
                    }},
        ConsoleCase{
            "vanish",
            "vanish",
            true,
            "vanished: the port is hung up",
            [](SimulatedController& s, Line&, const ConsoleReply&) { EXPECT_TRUE(s.vanished()); },
            {}},
        ConsoleCase{"reappear", "reappear", true, std::nullopt,
                    [](SimulatedController& s, Line&, const ConsoleReply& r) {
                        EXPECT_EQ(r.text,
                                  "reappeared on " + s.portPath() + ", communications writing off");
                        Line again(s.portPath());
                        EXPECT_EQ(again.request("0601"), "060100000000");
                    },
                    [](SimulatedController& s) { s.vanish(); }},
        ConsoleCase{"reappear_while_there",
                    "reappear",
                    false,
                    std::nullopt,
                    [](SimulatedController& s, Line& l, const ConsoleReply& r) {
                        EXPECT_EQ(r.text, "reappear: not vanished: still on " + s.portPath());
                        answersNormally(s, l, r);
                    },
                    {}},
        ConsoleCase{
            "help",
            "help",
            true,
            std::nullopt,
            [](SimulatedController&, Line&, const ConsoleReply& r) {
                EXPECT_EQ(r.text, consoleHelp());
                for (const char* command :
                     {"vanish", "reappear", "restart", "silence SECONDS", "late-bcc MS",
                      "fail-next CODE", "refuse-stop on|off", "no-reply on|off",
                      "fail-temperature on|off", "wrong-bcc on|off", "delay MS", "temperature C",
                      "clear", "help"}) {
                    EXPECT_NE(r.text.find(std::string("\n  ") + command + " "), std::string::npos)
                        << command;
                }
            },
            {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumas::sim
