// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/programme_command.h"

#include <QLocale>
#include <QString>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <variant>

#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "core/number_text.h"
#include "core/programme_file.h"
#include "core/run_texts.h"

namespace lumas::cli {

namespace {

struct ProgrammeCheckArguments {
    std::string file;
    double from = Programme::kAssumedStartSetPoint;
};

[[noreturn]] void refuse(const std::string& message) {
    throw SessionError(message, kExitUsage);
}

ProgrammeCheckArguments parseArguments(const std::vector<std::string>& arguments) {
    ProgrammeCheckArguments parsed;
    const std::vector<std::string> positional =
        scanArguments(arguments, {{"--from", {true, [&](const std::string& value) {
                                                  parsed.from = parseTemperature(value);
                                              }}}});
    if (positional.empty()) {
        refuse("programme needs an action: programme check FILE.");
    }
    if (positional[0] != "check") {
        refuse("Unknown programme action \"" + positional[0] + "\"; the action is check.");
    }
    if (positional.size() < 2 || positional[1].empty()) {
        refuse("programme check needs the programme file to check.");
    }
    if (positional.size() > 2) {
        refuse("programme check takes one file; \"" + positional[2] + "\" is one too many.");
    }
    parsed.file = positional[1];
    return parsed;
}

std::string text(const QString& qtext) {
    return qtext.toStdString();
}

// Minutes with at most one decimal ("13", "0.5").
std::string minutes(double value) {
    return text(texts::minutesText(value, QLocale::c()));
}

// A programme minute as a time of the day's clock: "2:05", or "2:05:30" within a minute.
std::string clockText(double minutes) {
    const auto seconds = static_cast<long long>(std::llround(minutes * 60.0));
    char buffer[40];
    if (seconds % 60 == 0) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", seconds / 3600, seconds / 60 % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
    }
    return buffer;
}

// A band in °C: one decimal as the read-outs show it, more when it has them (±0.25).
std::string bandNumber(double celsius) {
    const bool tenths = std::abs(celsius * 10.0 - std::round(celsius * 10.0)) < 1e-9;
    return text(tenths ? oneDecimalText(celsius, QLocale::c())
                       : generalNumberText(celsius, QLocale::c()));
}

std::string bandText(double celsius) {
    return "±" + bandNumber(celsius);
}

std::string padded(const std::string& value, std::size_t width, bool left = false) {
    // "±" and "°" are two bytes of UTF-8 but one column.
    std::size_t columns = 0;
    for (const char c : value) {
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    const std::string fill(columns < width ? width - columns : 0, ' ');
    return left ? value + fill : fill + value;
}

}  // namespace

std::string stepStartLine(int step, const lumas::ProgrammeStep& programmeStep) {
    std::string line = "Step " + std::to_string(step);
    if (programmeStep.cycles > 0) {
        line += " (row " + std::to_string(programmeStep.row) + ", cycle " +
                std::to_string(programmeStep.cycle) + " of " +
                std::to_string(programmeStep.cycles) + ")";
    } else if (programmeStep.row > 0 && programmeStep.row != step) {
        line += " (row " + std::to_string(programmeStep.row) + ")";
    }
    line += ": " + text(oneDecimalText(programmeStep.temperature, QLocale::c())) + " °C";
    if (programmeStep.rate) {
        line += ", ramp at " + text(oneDecimalText(*programmeStep.rate, QLocale::c())) + " °C/min";
    } else if (programmeStep.rampMinutes) {
        line += ", ramp in " + minutes(*programmeStep.rampMinutes) + " min";
    }
    line += ", hold " + minutes(programmeStep.holdMinutes) + " min";
    if (programmeStep.band) {
        line += ", band " + bandText(*programmeStep.band) + " °C";
    }
    return line;
}

std::string soakWaitingLine(int step, double target, double band, std::optional<double> measured) {
    std::string line = "Step " + std::to_string(step) + ": waiting for " +
                       text(oneDecimalText(target, QLocale::c())) + " ± " + bandNumber(band) +
                       " °C";
    if (measured) {
        line += ", now " + text(oneDecimalText(*measured, QLocale::c())) + " °C";
    } else {
        line += ", no reading";
    }
    return line;
}

std::string soakCountingLine(int step) {
    return "Step " + std::to_string(step) + ": within the band, the hold counts";
}

std::string plannedLengthText(double minutesPlanned) {
    const double tenths = std::round(minutesPlanned * 10.0) / 10.0;
    if (tenths < 60.0) {
        return minutes(tenths) + " min";
    }
    const double hours = std::floor(tenths / 60.0);
    return text(QString::number(static_cast<long long>(hours))) + " h " +
           minutes(tenths - hours * 60.0) + " min";
}

std::string programmePlanText(const Programme& programme) {
    std::string plan;
    plan.reserve(80 * static_cast<std::size_t>(programme.stepCount() + 4));
    if (!programme.name().isEmpty()) {
        plan += "Programme: " + text(programme.name()) + "\n";
    }
    plan += padded("Step", 6) + padded("Row", 6) + "  " + padded("Cycle", 13, true) +
            padded("Start", 8) + padded("Set point", 11) + padded("Ramp", 9) + padded("Hold", 9) +
            "  Band\n";
    for (int n = 1; n <= programme.stepCount(); ++n) {
        const lumas::ProgrammeStep& step = programme.step(n);
        const std::string cycle =
            step.cycles == 0 ? "-" : std::to_string(step.cycle) + "/" + std::to_string(step.cycles);
        const double ramp = programme.rampMinutesOf(n);
        plan += padded(std::to_string(n), 6);
        plan += padded(std::to_string(step.row), 6);
        plan += "  " + padded(cycle, 13, true);
        plan += padded(clockText(programme.stepStartMinutes(n)), 8);
        plan += padded(text(oneDecimalText(step.temperature, QLocale::c())) + " °C", 11);
        plan += padded(step.ramps() ? minutes(ramp) : std::string("-"), 9);
        plan += padded(minutes(step.holdMinutes), 9);
        plan += "  " + (step.band ? bandText(*step.band) + " °C" : std::string("-"));
        plan += '\n';
    }
    plan += "Total: " + plannedLengthText(programme.totalMinutes()) + " planned";
    if (programme.hasBands()) {
        plan += " (soaks that wait for their band take longer)";
    }
    plan += ".\n";
    plan += programme.end() == ProgrammeEnd::Hold
                ? "End: the controller is left running at the last set point.\n"
                : "End: the controller is stopped.\n";
    return plan;
}

int programmeCommand(const std::vector<std::string>& arguments) {
    const ProgrammeCheckArguments parsed = parseArguments(arguments);
    const ProgrammeRead read = loadProgrammeFile(QString::fromStdString(parsed.file));
    std::vector<ProgrammeFault> faults;
    const ProgrammeLimits limits{kStepLowest, kStepHighest, QLocale::c()};
    if (const auto* document = std::get_if<ProgrammeDocument>(&read)) {
        auto made = Programme::fromDocument(*document, limits);
        if (const auto* programme = std::get_if<Programme>(&made)) {
            const std::string plan = programmePlanText(programme->startingFrom(parsed.from));
            std::fwrite(plan.data(), 1, plan.size(), stdout);
            std::fflush(stdout);
            return 0;
        }
        faults = Programme::checkDocument(*document, limits);
    } else {
        faults = std::get<std::vector<ProgrammeFault>>(read);
    }
    std::string lines;
    for (const ProgrammeFault& fault : faults) {
        lines += text(programmeFaultText(fault)) + "\n";
    }
    std::cerr << lines << std::flush;
    return kExitUsage;
}

}  // namespace lumas::cli
