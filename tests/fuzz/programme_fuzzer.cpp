// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The programme files' fuzz target (libFuzzer): reading a file, checking its rows and unrolling
// its repeats must refuse anything broken cleanly and quickly, and whatever it takes must make a
// programme within the limits that writes back to the same document.
//
// The first byte chooses what the rest is:
//   even  the text of a programme file, read by parseProgrammeJson
//   odd   rows built directly, reaching values no JSON holds (NaN, infinities, -0) and deep
//         nestings of repeats without the JSON around them; per row, a script that runs out
//         reading zeros:
//           kind % 3: 0 step, 1 repeat, 2 step that ramps at a rate
//           step: temperature, hold, ramp or rate, band: one byte each, picked from kValues
//                 (the band is left out when its byte is even)
//           repeat: from back (rows before this one), to back, times: one byte each, times
//                   picked from kTimes
// A rule broken aborts with a message saying which.

#include <QByteArray>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <variant>

#include "core/programme_file.h"

namespace {

using lumas::Programme;
using lumas::ProgrammeDocument;
using lumas::ProgrammeFault;
using lumas::ProgrammeLimits;
using lumas::ProgrammeRead;
using lumas::ProgrammeRepeat;
using lumas::ProgrammeStep;

void require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "programme_fuzzer: %s\n", rule);
        std::abort();
    }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kValues[] = {0.0,      -0.0,
                              1.0,      0.5,
                              2.0,      5.0,
                              10.0,     25.0,
                              -40.0,    85.0,
                              100.0,    100.001,
                              50.0,     50.5,
                              -70.0,    500.0,
                              -70.1,    500.1,
                              525600,   525601,
                              1e-300,   1e308,
                              -1e308,   kInf,
                              -kInf,    std::numeric_limits<double>::quiet_NaN(),
                              1e9,      -1e9,
                              0.1,      1.0 / 3.0,
                              262800.0, 525599.5};
constexpr int kTimes[] = {0, 1, 2, 3, 10, 100, 99999, 100000, 100001, -1, 2147483647};

class Script {
  public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    double value() { return kValues[next() % std::size(kValues)]; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

ProgrammeDocument built(Script& script) {
    ProgrammeDocument document;
    // A few rows past the file's limit, so that the count is checked too.
    while (!script.done() && document.rows.size() < Programme::kMaxRows + 2) {
        const int row = static_cast<int>(document.rows.size()) + 1;
        const std::uint8_t kind = script.next() % 3;
        if (kind == 1) {
            ProgrammeRepeat repeat;
            repeat.from = row - script.next() % 8;
            repeat.to = row - script.next() % 4;
            repeat.times = kTimes[script.next() % std::size(kTimes)];
            document.rows.emplace_back(repeat);
            continue;
        }
        ProgrammeStep step{script.value(), script.value()};
        const double ramp = script.value();
        (kind == 2 ? step.rate : step.rampMinutes) = ramp;
        if (kind == 0 && ramp == 0.0) {
            step.rampMinutes.reset();  // a jump
        }
        const std::uint8_t band = script.next();
        if (band % 2 != 0) {
            step.band = kValues[(band / 2) % std::size(kValues)];
        }
        document.rows.emplace_back(step);
    }
    return document;
}

void checkDocument(const ProgrammeDocument& document, const ProgrammeLimits& limits) {
    const std::vector<ProgrammeFault> faults = Programme::checkDocument(document, limits);
    const auto made = Programme::fromDocument(document, limits);
    require(faults.empty() == std::holds_alternative<Programme>(made),
            "fromDocument makes a programme exactly when checkDocument finds no fault");
    if (!faults.empty()) {
        require(std::get<ProgrammeFault>(made) == faults.front(),
                "fromDocument's fault is checkDocument's first");
        for (const ProgrammeFault& fault : faults) {
            require(fault.step >= 0 && fault.step <= static_cast<int>(document.rows.size()),
                    "a fault names a row of the programme, or none");
            require(!fault.text.isEmpty(), "a fault says what is wrong");
        }
        return;
    }
    const Programme& programme = std::get<Programme>(made);
    require(programme.stepCount() >= 1 && programme.stepCount() <= Programme::kMaxSteps,
            "a programme has 1 to kMaxSteps steps");
    require(programme.totalMinutes() <= Programme::kMaxTotalMinutes,
            "a programme is planned to take at most a year");
    for (const ProgrammeStep& step : programme.steps()) {
        require(step.row >= 1 && step.row <= static_cast<int>(document.rows.size()) &&
                    std::holds_alternative<ProgrammeStep>(
                        document.rows[static_cast<std::size_t>(step.row - 1)]),
                "each step comes from a step row");
        require(
            (step.cycles == 0 && step.cycle == 0) || (step.cycle >= 1 && step.cycle <= step.cycles),
            "a step's cycle lies within its repeat's");
    }
    for (const QByteArray& json : {lumas::programmeFileJson(programme.document()),
                                   lumas::programmeCompactJson(programme.document())}) {
        const ProgrammeRead read = lumas::parseProgrammeJson(json);
        require(std::holds_alternative<ProgrammeDocument>(read) &&
                    std::get<ProgrammeDocument>(read) == programme.document(),
                "a programme's document writes back to the same document");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ProgrammeLimits limits{-70.0, 500.0, QLocale::c()};
    const ProgrammeLimits wideOpen{-1e9, 1e9, QLocale::c()};  // the run archive's
    if (data[0] % 2 == 0) {
        const ProgrammeRead read = lumas::parseProgrammeJson(
            QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
        if (const auto* faults = std::get_if<std::vector<ProgrammeFault>>(&read)) {
            require(!faults->empty(), "a file that is not read names a fault");
            return 0;
        }
        checkDocument(std::get<ProgrammeDocument>(read), limits);
        checkDocument(std::get<ProgrammeDocument>(read), wideOpen);
        return 0;
    }
    Script script(data + 1, size - 1);
    const ProgrammeDocument document = built(script);
    checkDocument(document, limits);
    checkDocument(document, wideOpen);
    return 0;
}
