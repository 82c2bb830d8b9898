// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QString>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "core/target_curve.h"

namespace lumas {

// One step of a programme: get to `temperature` (°C), by a jump or a ramp, then hold it for
// `holdMinutes`.
struct ProgrammeStep {
    ProgrammeStep() = default;
    ProgrammeStep(double celsius, double hold) : temperature(celsius), holdMinutes(hold) {}

    double temperature = 0.0;
    double holdMinutes = 0.0;
    // How the set point gets there from where the step before left it: at `rate` °C per minute,
    // or in `rampMinutes`; neither is a jump (the set point is sent at once). Never both.
    std::optional<double> rate;
    std::optional<double> rampMinutes;
    // Guaranteed soak: the hold counts only while the measured temperature is within ± `band` °C
    // of `temperature`.
    std::optional<double> band;

    // Where the step comes from once repeats are unrolled: its row as written (1-based), and the
    // pass of the innermost repeat it lies in (`cycle` of `cycles`; both 0 outside repeats). A
    // programme of the twelve fields numbers its rows 1..12 and has no repeats.
    int row = 0;
    int cycle = 0;
    int cycles = 0;

    bool ramps() const { return rate.has_value() || rampMinutes.has_value(); }

    friend bool operator==(const ProgrammeStep&, const ProgrammeStep&) = default;
};

// A repeat row: rows `from`..`to` (1-based, as written, ending with the row just before the
// repeat) run `times` times in all.
struct ProgrammeRepeat {
    int from = 0;
    int to = 0;
    int times = 1;

    friend bool operator==(const ProgrammeRepeat&, const ProgrammeRepeat&) = default;
};

// One row of a programme as written: a step or a repeat of the rows before it.
using ProgrammeRow = std::variant<ProgrammeStep, ProgrammeRepeat>;

// What happens after the last step: Stop the controller (the run ends when the Stop is
// confirmed), or leave it running at the last set point (the run ends without a Stop).
enum class ProgrammeEnd { Stop, Hold };

// A programme as written in a programme file or the editor: its name, its rows and its end.
struct ProgrammeDocument {
    QString name;
    std::vector<ProgrammeRow> rows;
    ProgrammeEnd end = ProgrammeEnd::Stop;

    friend bool operator==(const ProgrammeDocument&, const ProgrammeDocument&) = default;
};

// The range a programme temperature must lie in, and how numbers are written in the texts.
struct ProgrammeLimits {
    double minTemperature = -70.0;
    double maxTemperature = 500.0;
    QLocale locale = QLocale();
};

// Why a programme could not be made: the step (1-based, as written; 0 for the programme as a
// whole) and the sentence for the operator.
struct ProgrammeFault {
    ProgrammeFault() = default;
    ProgrammeFault(int row, QString sentence, QString inField = {})
        : step(row), text(std::move(sentence)), field(std::move(inField)) {}

    int step = 0;
    QString text;
    // The field of a programme file the fault is in ("temperature", "rate", "repeat.from", ...),
    // empty when it concerns no one field.
    QString field;

    friend bool operator==(const ProgrammeFault&, const ProgrammeFault&) = default;
};

// A programme as it runs: its steps, checked once when it is made and never read back from where
// it was typed. Step n holds its temperature for its hold time, then step n + 1 follows; the
// programme ends when the last step's hold time is over. Its total, its target curve and its end
// are all taken from the same steps, so they cannot disagree.
class Programme {
  public:
    // The most steps a programme of the Advanced control tab has.
    static constexpr int kFieldSteps = kProgrammeSteps;
    // The limits of a programme file: rows as written, steps once repeats are unrolled, and the
    // planned total (a year).
    static constexpr int kMaxRows = 256;
    static constexpr int kMaxSteps = 100000;
    static constexpr double kMaxTotalMinutes = 525600.0;
    // Where a rate ramp of the first step is planned to start from until the run knows the set
    // point the controller holds (programme check, the editor's preview).
    static constexpr double kAssumedStartSetPoint = 25.0;

    // A programme of `steps`, each holding for at least one minute and at most kMaxHoldMinutes
    // whole minutes, each temperature within the limits. Nothing is dropped: a step that breaks a
    // rule is refused, with its number.
    static std::variant<Programme, ProgrammeFault> make(std::vector<ProgrammeStep> steps,
                                                        const ProgrammeLimits& limits);

    // The programme of the Advanced control tab's twelve T/t fields. It runs the leading steps
    // whose hold time is at least one minute: the first step without a hold time ends it, and
    // later steps that have a hold time are named by stepsNotRun() (the operator must be told
    // before it starts). t1 below one minute is refused with the tab's own text.
    static std::variant<Programme, ProgrammeFault> fromFields(const StepTemperatures& temperatures,
                                                              const StepHoldMinutes& holdMinutes,
                                                              const ProgrammeLimits& limits);

    // The programme of a document: every row checked (the first fault is returned; checkDocument()
    // lists them all), repeats unrolled, within the file's limits.
    static std::variant<Programme, ProgrammeFault> fromDocument(const ProgrammeDocument& document,
                                                                const ProgrammeLimits& limits);
    // Every fault of `document`, in row order; empty when it makes a programme.
    static std::vector<ProgrammeFault> checkDocument(const ProgrammeDocument& document,
                                                     const ProgrammeLimits& limits);

    // The programme as written (a programme of the fields or of make() is written as one row per
    // step, unnamed, ending with a Stop).
    const ProgrammeDocument& document() const { return document_; }
    const QString& name() const { return document_.name; }
    ProgrammeEnd end() const { return document_.end; }
    // At most twelve jump-and-hold steps of whole minutes without repeats, ending with a Stop:
    // the programme can be shown in (and run from) the twelve fields.
    bool fitsFields() const;
    // Whether any step ramps, waits for a band, or lies in a repeat.
    bool hasRamps() const;
    bool hasBands() const;
    bool hasRepeats() const;

    // The set point a rate ramp of the first step starts from (kAssumedStartSetPoint until set).
    double startSetPoint() const { return startSetPoint_; }
    // The same programme planned from `celsius`: the first step's rate ramp takes its time from it.
    Programme startingFrom(double celsius) const;
    // Minutes step `step` (1-based) takes to ramp to its temperature: 0 for a jump.
    double rampMinutesOf(int step) const;
    // The set point the step before `step` left (the start set point for step 1).
    double rampStartOf(int step) const;

    const std::vector<ProgrammeStep>& steps() const { return steps_; }
    int stepCount() const { return static_cast<int>(steps_.size()); }
    // Step `step` (1-based), which must exist.
    const ProgrammeStep& step(int step) const {
        return steps_.at(static_cast<std::size_t>(step - 1));
    }
    // The steps as written that come after the programme's end but carry a hold time (1-based).
    const std::vector<int>& stepsNotRun() const { return stepsNotRun_; }

    // The planned length of the steps that run, ramps and holds, in minutes (soaks that wait for
    // their band stretch it when it runs).
    double totalMinutes() const { return stepEnds_.empty() ? 0.0 : stepEnds_.back(); }
    // Planned programme minutes at which step `step` (1-based) begins, has ramped to its
    // temperature, and ends.
    double stepStartMinutes(int step) const;
    double stepArrivalMinutes(int step) const;
    double stepEndMinutes(int step) const;
    // The step that runs at programme minute `minutes` (1-based): the step whose hold contains it,
    // the last step at or after the end.
    int stepAt(double minutes) const;

    // The planned target curve: (0, the start set point), then for each step its ramp (a slope)
    // or jump (a vertical) to its temperature and a hold to its end. A programme of jumps only
    // starts from (0, 0) as the field programme's staircase does: N steps give 2N + 1 points.
    std::vector<TargetCurvePoint> targetCurve() const;

    friend bool operator==(const Programme&, const Programme&) = default;

  private:
    Programme() = default;
    // Plans the steps' times from startSetPoint_.
    void plan();
    // A programme of `steps` as they are (checked by the caller), written as `document`.
    static Programme planned(std::vector<ProgrammeStep> steps, ProgrammeDocument document);

    ProgrammeDocument document_;
    std::vector<ProgrammeStep> steps_;
    std::vector<double> rampEnds_;  // planned minute each step has ramped to its temperature
    std::vector<double> stepEnds_;  // planned minute each step ends
    std::vector<int> stepsNotRun_;
    double startSetPoint_ = kAssumedStartSetPoint;
};

namespace texts {
// "Step 5 will not run: t4 is 0, which ends the programme after step 4." and its plural.
QString stepsNotRun(const std::vector<int>& steps, int lastStep);
}  // namespace texts

}  // namespace lumas
