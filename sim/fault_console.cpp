// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/fault_console.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>
#include <vector>

namespace lumas::sim {

namespace {

ConsoleReply done(std::string text) {
    return {true, std::move(text)};
}

ConsoleReply refused(std::string text) {
    return {false, std::move(text)};
}

template <typename Number>
std::optional<Number> parse(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    return std::nullopt;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

using Handler = ConsoleReply (*)(SimulatedController&, std::string_view argument);

struct Command {
    std::string_view name;
    std::string_view argument;  // how the argument is written; empty: the command takes none
    std::string_view description;
    Handler run;
};

// A command that turns a fault on or off.
template <void (SimulatedController::*set)(bool)>
ConsoleReply switchFault(SimulatedController& controller, std::string_view argument,
                         std::string_view what) {
    const std::optional<bool> on = parseSwitch(argument);
    if (!on) {
        return refused("say on or off, not '" + std::string(argument) + "'");
    }
    (controller.*set)(*on);
    return done(std::string(what) + (*on ? ": on" : ": off"));
}

// A whole number of milliseconds from 0 up.
std::optional<std::chrono::milliseconds> parseMilliseconds(std::string_view text) {
    const std::optional<int> ms = parse<int>(text);
    if (!ms || *ms < 0) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(*ms);
}

// "off" for 0, else "N ms".
std::string pauseText(std::chrono::milliseconds pause) {
    return pause == std::chrono::milliseconds::zero() ? "off"
                                                      : std::to_string(pause.count()) + " ms";
}

ConsoleReply vanish(SimulatedController& controller, std::string_view) {
    if (controller.vanished()) {
        return refused("already vanished");
    }
    controller.vanish();
    return done("vanished: the port is hung up");
}

ConsoleReply reappear(SimulatedController& controller, std::string_view) {
    if (!controller.vanished()) {
        return refused("not vanished: still on " + controller.portPath());
    }
    controller.reappear();
    return done("reappeared on " + controller.portPath() + ", communications writing off");
}

ConsoleReply restart(SimulatedController& controller, std::string_view) {
    controller.restart();
    return done("restarted: stopped, communications writing off, set point " +
                format("%.1f C", controller.setPoint()));
}

ConsoleReply silence(SimulatedController& controller, std::string_view argument) {
    const std::optional<double> seconds = parse<double>(argument);
    constexpr double kLongestSeconds = std::numeric_limits<int>::max() / 1000.0;
    if (!seconds || !(*seconds >= 0) || *seconds > kLongestSeconds) {
        return refused("SECONDS must be a number from 0 up, not '" + std::string(argument) + "'");
    }
    controller.silenceFor(std::chrono::milliseconds(std::lround(*seconds * 1000)));
    return done(*seconds == 0 ? "silence ended" : format("silent for %g s", *seconds));
}

ConsoleReply lateBcc(SimulatedController& controller, std::string_view argument) {
    const std::optional<std::chrono::milliseconds> pause = parseMilliseconds(argument);
    if (!pause) {
        return refused("MS must be a whole number from 0 up, not '" + std::string(argument) + "'");
    }
    controller.setLateBcc(*pause);
    return done("late BCC: " + pauseText(*pause));
}

ConsoleReply failNext(SimulatedController& controller, std::string_view argument) {
    std::string code(argument);
    std::transform(code.begin(), code.end(), code.begin(), [](char c) {
        return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    const bool hex = std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
    if (!hex || (code.size() != 2 && code.size() != 4)) {
        return refused("CODE is an end code (2 hex digits) or a response code (4), not '" +
                       std::string(argument) + "'");
    }
    controller.failRequest(1, code);
    return done("the next reply fails with " +
                std::string(code.size() == 2 ? "end code " : "response code ") + code);
}

ConsoleReply delay(SimulatedController& controller, std::string_view argument) {
    const std::optional<std::chrono::milliseconds> pause = parseMilliseconds(argument);
    if (!pause) {
        return refused("MS must be a whole number from 0 up, not '" + std::string(argument) + "'");
    }
    controller.setReplyDelay(*pause);
    return done("reply delay: " + pauseText(*pause));
}

ConsoleReply temperature(SimulatedController& controller, std::string_view argument) {
    const std::optional<double> celsius = parse<double>(argument);
    if (!celsius || !std::isfinite(*celsius)) {
        return refused("C must be a number, not '" + std::string(argument) + "'");
    }
    controller.setTemperature(*celsius);
    return done(format("temperature: %.1f C", *celsius));
}

ConsoleReply status(SimulatedController& controller, std::string_view) {
    std::string text = controller.vanished() ? "vanished" : "on " + controller.portPath();
    text += format(", temperature %.1f C", controller.temperature());
    text += format(", set point %.1f C", controller.setPoint());
    text += controller.running() ? ", running" : ", stopped";
    text += controller.communicationsWriting() ? ", writing on" : ", writing off";
    return done(std::move(text));
}

ConsoleReply clear(SimulatedController& controller, std::string_view) {
    controller.clearFaults();
    return done("all faults off");
}

ConsoleReply help(SimulatedController&, std::string_view) {
    return done(consoleHelp());
}

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"vanish", "", "the device goes away: the port hangs up", vanish},
        {"reappear", "", "the device comes back on a new terminal (writing off)", reappear},
        {"restart", "", "a short power cut: stopped, writing off, set point kept", restart},
        {"silence", "SECONDS", "no reply to anything for that long; 0 ends it", silence},
        {"late-bcc", "MS", "each reply's BCC comes alone, MS after the rest; 0: off", lateBcc},
        {"fail-next", "CODE", "the next reply fails: end code (2 hex digits) or response code (4)",
         failNext},
        {"refuse-stop", "on|off", "Stop is answered 2203 and not carried out",
         [](SimulatedController& c, std::string_view a) {
             return switchFault<&SimulatedController::setRefuseStop>(c, a, "refuse Stop");
         }},
        {"refuse-run", "on|off", "Run is answered 2203 and not carried out",
         [](SimulatedController& c, std::string_view a) {
             return switchFault<&SimulatedController::setRefuseRun>(c, a, "refuse Run");
         }},
        {"no-reply", "on|off", "commands are carried out but not answered",
         [](SimulatedController& c, std::string_view a) {
             return switchFault<&SimulatedController::setNoReply>(c, a, "no reply");
         }},
        {"fail-temperature", "on|off", "temperature reads answered 2203, the rest as usual",
         [](SimulatedController& c, std::string_view a) {
             return switchFault<&SimulatedController::setFailTemperatureReads>(
                 c, a, "failing temperature reads");
         }},
        {"wrong-bcc", "on|off", "replies carry a wrong BCC",
         [](SimulatedController& c, std::string_view a) {
             return switchFault<&SimulatedController::setWrongReplyBcc>(c, a, "wrong BCC");
         }},
        {"delay", "MS", "replies MS late, commands carried out at once; 0: off", delay},
        {"temperature", "C", "sets the chamber temperature", temperature},
        {"status", "", "shows the port, temperature, set point and states", status},
        {"clear", "", "switches every fault off", clear},
        {"help", "", "shows this list", help},
    };
    return list;
}

// The line's words, split at blanks.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && blank(line[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < line.size() && !blank(line[end])) {
            ++end;
        }
        if (end > at) {
            result.push_back(line.substr(at, end - at));
        }
        at = end;
    }
    return result;
}

}  // namespace

ConsoleReply applyConsoleLine(SimulatedController& controller, std::string_view line) {
    const std::vector<std::string_view> given = words(line);
    if (given.empty() || given.front().starts_with('#')) {
        return done({});
    }
    const auto& list = commands();
    const auto command = std::find_if(list.begin(), list.end(),
                                      [&](const Command& c) { return c.name == given.front(); });
    if (command == list.end()) {
        return refused("unknown command '" + std::string(given.front()) + "' (try help)");
    }
    const std::size_t expected = command->argument.empty() ? 1 : 2;
    if (given.size() != expected) {
        std::string usage = "usage: " + std::string(command->name);
        if (!command->argument.empty()) {
            usage += " " + std::string(command->argument);
        }
        return refused(std::move(usage));
    }
    try {
        ConsoleReply reply =
            command->run(controller, expected == 2 ? given[1] : std::string_view());
        if (!reply.ok) {
            reply.text.insert(0, std::string(command->name) + ": ");
        }
        return reply;
    } catch (const std::exception& error) {
        return refused(std::string(command->name) + ": " + error.what());
    }
}

std::string consoleHelp() {
    std::vector<std::string> heads;
    std::size_t column = 0;  // where the descriptions begin
    for (const Command& command : commands()) {
        std::string head = "  " + std::string(command.name);
        if (!command.argument.empty()) {
            head += " " + std::string(command.argument);
        }
        column = std::max(column, head.size() + 2);
        heads.push_back(std::move(head));
    }
    std::string text = "Fault console commands, one per line:";
    for (std::size_t i = 0; i < heads.size(); ++i) {
        heads[i].resize(column, ' ');
        text += "\n" + heads[i] + std::string(commands()[i].description);
    }
    return text;
}

}  // namespace lumas::sim
