// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// A programme as written (ProgrammeDocument): its rows checked against the limits of a programme
// file, and its repeats unrolled into the steps that run.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/number_text.h"
#include "core/programme.h"

namespace lumas {

namespace {

constexpr double kMaxRate = 100.0;  // °C per minute
constexpr double kMaxBand = 50.0;   // °C
constexpr int kMaxTimes = 100000;

struct Checked {
    std::vector<ProgrammeFault> faults;
    std::vector<ProgrammeStep> steps;  // unrolled, when there is no fault
};

class DocumentCheck {
  public:
    DocumentCheck(const ProgrammeDocument& document, const ProgrammeLimits& limits)
        : rows_(document.rows), limits_(limits) {}

    // Every fault in row order; the unrolled steps too when there is none and `unroll` is set.
    Checked run(bool unroll) {
        checkRowCount();
        if (!checked_.faults.empty()) {
            return std::move(checked_);
        }
        for (std::size_t k = 0; k < rows_.size(); ++k) {
            const int row = static_cast<int>(k) + 1;
            if (const auto* step = std::get_if<ProgrammeStep>(&rows_[k])) {
                checkStep(row, *step);
            } else {
                checkRepeat(row, std::get<ProgrammeRepeat>(rows_[k]));
            }
        }
        if (!checked_.faults.empty()) {
            return std::move(checked_);
        }
        // Counted before anything is unrolled: a few rows of nested repeats can stand for more
        // steps than memory holds.
        if (!checkUnrolledCount()) {
            return std::move(checked_);
        }
        std::vector<ProgrammeStep> steps = unrolled();
        checkTotal(steps);
        if (unroll && checked_.faults.empty()) {
            checked_.steps = std::move(steps);
        }
        return std::move(checked_);
    }

  private:
    QString number(double value) const { return generalNumberText(value, limits_.locale); }

    void fault(int row, const QString& field, QString text) {
        checked_.faults.emplace_back(row, std::move(text), field);
    }

    void checkRowCount() {
        if (rows_.size() > static_cast<std::size_t>(Programme::kMaxRows)) {
            fault(0, {},
                  QStringLiteral("A programme has at most %1 rows; this one has %2.")
                      .arg(number(Programme::kMaxRows), number(static_cast<double>(rows_.size()))));
            return;
        }
        const bool anyStep = std::any_of(rows_.begin(), rows_.end(), [](const ProgrammeRow& row) {
            return std::holds_alternative<ProgrammeStep>(row);
        });
        if (!anyStep) {
            fault(0, {}, QStringLiteral("A programme needs at least one step."));
        }
    }

    void checkStep(int row, const ProgrammeStep& step) {
        // Each comparison is written so that a value that is not a number fails it.
        if (!(step.temperature >= limits_.minTemperature &&
              step.temperature <= limits_.maxTemperature)) {
            fault(row, QStringLiteral("temperature"),
                  QStringLiteral("The temperature must be from %1 to %2 °C.")
                      .arg(number(limits_.minTemperature), number(limits_.maxTemperature)));
        }
        const bool holdInRange =
            step.holdMinutes >= 0.0 && step.holdMinutes <= Programme::kMaxTotalMinutes;
        if (!holdInRange) {
            fault(row, QStringLiteral("hold"),
                  QStringLiteral("The hold time must be from 0 to %1 minutes (a year).")
                      .arg(number(Programme::kMaxTotalMinutes)));
        }
        if (step.rate && !(*step.rate > 0.0 && *step.rate <= kMaxRate)) {
            fault(row, QStringLiteral("rate"),
                  QStringLiteral("The rate must be above 0 and at most %1 °C per minute.")
                      .arg(number(kMaxRate)));
        }
        if (step.rampMinutes &&
            !(*step.rampMinutes > 0.0 && *step.rampMinutes <= Programme::kMaxTotalMinutes)) {
            fault(row, QStringLiteral("ramp"),
                  QStringLiteral("The ramp time must be above 0 and at most %1 minutes (a year).")
                      .arg(number(Programme::kMaxTotalMinutes)));
        }
        if (step.rate && step.rampMinutes) {
            fault(row, QStringLiteral("ramp"),
                  QStringLiteral("A step ramps at a rate or in a time, not both."));
        }
        if (step.band && !(*step.band > 0.0 && *step.band <= kMaxBand)) {
            fault(row, QStringLiteral("band"),
                  QStringLiteral("The band must be above 0 and at most %1 °C.")
                      .arg(number(kMaxBand)));
        }
        if (holdInRange && step.holdMinutes == 0.0 && !step.ramps() && !step.band) {
            fault(row, QStringLiteral("hold"),
                  QStringLiteral("A hold time of 0 is allowed only for a step that ramps or "
                                 "waits for its band."));
        }
    }

    void checkRepeat(int row, const ProgrammeRepeat& repeat) {
        bool rangeValid = true;
        if (repeat.from < 1) {
            fault(row, QStringLiteral("repeat.from"),
                  QStringLiteral("A repeat starts at row 1 or later."));
            rangeValid = false;
        } else if (repeat.to < repeat.from) {
            fault(row, QStringLiteral("repeat.to"),
                  QStringLiteral("A repeat must end at or after the row it starts from (%1).")
                      .arg(number(repeat.from)));
            rangeValid = false;
        }
        if (repeat.to != row - 1) {
            fault(row, QStringLiteral("repeat.to"),
                  row == 1 ? QStringLiteral("A repeat cannot be the first row: it repeats rows "
                                            "before it.")
                           : QStringLiteral("A repeat must end at the row just before it (%1).")
                                 .arg(number(row - 1)));
            rangeValid = false;
        }
        if (rangeValid) {
            checkRange(row, repeat.from);
        }
        if (repeat.times < 1 || repeat.times > kMaxTimes) {
            fault(row, QStringLiteral("repeat.times"),
                  QStringLiteral("A repeat runs its rows from 1 to %1 times in all.")
                      .arg(number(kMaxTimes)));
        }
        if (rangeValid) {
            repeatsSeen_.push_back({row, repeat.from});
        }
    }

    // Rows from..row - 1 of the repeat at `row`: they must hold a step, and hold every earlier
    // repeat they touch whole, with all its rows.
    void checkRange(int row, int from) {
        bool anyStep = false;
        for (int r = from; r < row; ++r) {
            anyStep = anyStep || std::holds_alternative<ProgrammeStep>(rows_[r - 1]);
        }
        if (!anyStep) {
            fault(row, QStringLiteral("repeat.from"),
                  QStringLiteral("The rows a repeat runs must hold at least one step."));
            return;
        }
        for (const Seen& earlier : repeatsSeen_) {
            if (from > earlier.from && from <= earlier.row) {
                fault(row, QStringLiteral("repeat.from"),
                      QStringLiteral("Repeats may hold one another but not overlap: this one "
                                     "starts inside the repeat of row %1 (rows %2 to %3) without "
                                     "holding all of it.")
                          .arg(number(earlier.row), number(earlier.from), number(earlier.row - 1)));
                return;
            }
        }
    }

    // Adds up the steps each row stands for once unrolled, stopping at the first repeat that
    // takes the programme past kMaxSteps. Counts are kept at most kMaxSteps + 1, so the sums stay
    // far inside 64 bits (256 rows × 100,001 × 100,000 times).
    bool checkUnrolledCount() {
        constexpr std::int64_t cap = Programme::kMaxSteps + 1;
        std::vector<std::int64_t> before(rows_.size() + 1, 0);  // steps of rows 1..k
        for (std::size_t k = 0; k < rows_.size(); ++k) {
            std::int64_t count = 1;
            if (const auto* repeat = std::get_if<ProgrammeRepeat>(&rows_[k])) {
                const std::int64_t range =
                    before[k] - before[static_cast<std::size_t>(repeat->from - 1)];
                count = std::min(cap, range * (repeat->times - 1));
            }
            before[k + 1] = std::min(cap, before[k] + count);
            if (before[k + 1] > Programme::kMaxSteps) {
                fault(static_cast<int>(k) + 1,
                      std::holds_alternative<ProgrammeRepeat>(rows_[k])
                          ? QStringLiteral("repeat.times")
                          : QString(),
                      QStringLiteral("Unrolled up to this row the programme has more than %1 "
                                     "steps, the most a programme may have.")
                          .arg(number(Programme::kMaxSteps)));
                return false;
            }
        }
        return true;
    }

    // The steps that run, each with its row as written and its pass of the innermost repeat it
    // lies in.
    std::vector<ProgrammeStep> unrolled() const {
        std::vector<ProgrammeStep> steps;
        std::vector<std::size_t> startOf(rows_.size(), 0);  // first unrolled step of each row
        std::vector<char> direct;
        for (std::size_t k = 0; k < rows_.size(); ++k) {
            startOf[k] = steps.size();
            if (const auto* step = std::get_if<ProgrammeStep>(&rows_[k])) {
                ProgrammeStep unrolledStep = *step;
                unrolledStep.row = static_cast<int>(k) + 1;
                unrolledStep.cycle = 0;
                unrolledStep.cycles = 0;
                steps.push_back(unrolledStep);
                continue;
            }
            const auto& repeat = std::get<ProgrammeRepeat>(rows_[k]);
            const std::size_t begin = startOf[static_cast<std::size_t>(repeat.from - 1)];
            const std::size_t end = steps.size();
            // The steps of the first pass that lie in no repeat inside this one take its cycles;
            // those of an inner repeat keep the inner repeat's.
            direct.assign(end - begin, 0);
            for (std::size_t s = begin; s < end; ++s) {
                if (steps[s].cycles == 0) {
                    direct[s - begin] = 1;
                    steps[s].cycle = 1;
                    steps[s].cycles = repeat.times;
                }
            }
            steps.reserve(end + (end - begin) * static_cast<std::size_t>(repeat.times - 1));
            for (int pass = 2; pass <= repeat.times; ++pass) {
                for (std::size_t s = begin; s < end; ++s) {
                    ProgrammeStep copy = steps[s];
                    if (direct[s - begin] != 0) {
                        copy.cycle = pass;
                    }
                    steps.push_back(copy);
                }
            }
        }
        return steps;
    }

    // The planned length from kAssumedStartSetPoint, ramps and holds, at most a year.
    void checkTotal(const std::vector<ProgrammeStep>& steps) {
        double total = 0.0;
        double from = Programme::kAssumedStartSetPoint;
        for (const ProgrammeStep& step : steps) {
            if (step.rampMinutes) {
                total += *step.rampMinutes;
            } else if (step.rate) {
                total += std::abs(step.temperature - from) / *step.rate;
            }
            total += step.holdMinutes;
            from = step.temperature;
        }
        if (!(total <= Programme::kMaxTotalMinutes)) {
            const QString planned =
                std::isfinite(total)
                    ? QStringLiteral(" (%1 minutes)").arg(number(std::round(total)))
                    : QString();
            fault(0, {},
                  QStringLiteral("The programme is planned to take longer than a year%1; it may "
                                 "take at most %2 minutes.")
                      .arg(planned, number(Programme::kMaxTotalMinutes)));
        }
    }

    struct Seen {
        int row;   // the repeat row
        int from;  // the first row it runs
    };

    const std::vector<ProgrammeRow>& rows_;
    const ProgrammeLimits& limits_;
    std::vector<Seen> repeatsSeen_;
    Checked checked_;
};

}  // namespace

std::vector<ProgrammeFault> Programme::checkDocument(const ProgrammeDocument& document,
                                                     const ProgrammeLimits& limits) {
    return DocumentCheck(document, limits).run(false).faults;
}

std::variant<Programme, ProgrammeFault> Programme::fromDocument(const ProgrammeDocument& document,
                                                                const ProgrammeLimits& limits) {
    Checked checked = DocumentCheck(document, limits).run(true);
    if (!checked.faults.empty()) {
        return std::move(checked.faults.front());
    }
    // The document is kept with each step row numbered as make() numbers its rows, so that a
    // programme and the same programme read back from its file are equal.
    ProgrammeDocument numbered = document;
    for (std::size_t k = 0; k < numbered.rows.size(); ++k) {
        if (auto* step = std::get_if<ProgrammeStep>(&numbered.rows[k])) {
            step->row = static_cast<int>(k) + 1;
            step->cycle = 0;
            step->cycles = 0;
        }
    }
    return planned(std::move(checked.steps), std::move(numbered));
}

}  // namespace lumas
