// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/programme_progress.h"

#include <algorithm>
#include <cmath>

namespace lumas {

ProgrammeProgress::ProgrammeProgress(const Programme& programme, double runMinutes)
    : programme_(&programme), lastRunMinutes_(runMinutes) {
    corners_.push_back({runMinutes, programme.targetCurve().front().temperature});
    std::vector<Event> begun;  // the run model reports the first step as the run begins
    beginStep(1, begun);
}

void ProgrammeProgress::corner() {
    addCorner({lastRunMinutes_, setPoint()});
}

void ProgrammeProgress::addCorner(const TargetCurvePoint& point) {
    if (corners_.empty() || !(corners_.back() == point)) {
        corners_.push_back(point);
    }
}

bool ProgrammeProgress::withinBand(std::optional<double> measured) const {
    const ProgrammeStep& step = currentStep();
    return measured && step.band && std::abs(*measured - step.temperature) <= *step.band;
}

void ProgrammeProgress::enter(Stage stage) {
    stage_ = stage;
    waitReported_ = false;
}

void ProgrammeProgress::beginStep(int step, std::vector<Event>& events) {
    step_ = step;
    rampDone_ = 0.0;
    holdDone_ = 0.0;
    // Where the step begins: the set point the step before left.
    if (step > 1 || programme_->rampMinutesOf(step) > 0.0) {
        addCorner({lastRunMinutes_, programme_->rampStartOf(step)});
    }
    if (programme_->rampMinutesOf(step) > 0.0) {
        stage_ = Stage::Ramping;
        rampMoving_ = true;
    } else {
        enter(currentStep().band ? Stage::Waiting : Stage::Soaking);
        corner();  // a jump: straight up or down to the step's temperature
    }
    events.push_back({Event::Kind::StepStarted, step});
}

std::vector<ProgrammeProgress::Event> ProgrammeProgress::advance(double runMinutes, bool counting,
                                                                 std::optional<double> measured,
                                                                 bool linkLive) {
    std::vector<Event> events;
    double left = std::max(0.0, runMinutes - lastRunMinutes_);
    if (!counting || stage_ == Stage::Finished) {
        if (stage_ == Stage::Ramping && rampMoving_) {
            corner();
            rampMoving_ = false;
        }
        lastRunMinutes_ += left;
        return events;
    }
    // Each turn either uses up the time left or moves the programme to its next stage.
    while (stage_ != Stage::Finished) {
        const ProgrammeStep& step = currentStep();
        if (stage_ == Stage::Ramping) {
            if (!linkLive) {
                if (rampMoving_) {
                    corner();
                    rampMoving_ = false;
                }
                lastRunMinutes_ += left;
                return events;
            }
            if (!rampMoving_) {
                corner();
                rampMoving_ = true;
            }
            const double rampLeft = programme_->rampMinutesOf(step_) - rampDone_;
            if (left < rampLeft) {
                rampDone_ += left;
                lastRunMinutes_ += left;
                return events;
            }
            rampDone_ = programme_->rampMinutesOf(step_);
            lastRunMinutes_ += rampLeft;
            left -= rampLeft;
            corner();
            enter(step.band ? Stage::Waiting : Stage::Soaking);
            continue;
        }
        if (stage_ == Stage::Waiting) {
            if (!withinBand(measured)) {
                if (!waitReported_) {
                    events.push_back({Event::Kind::SoakWaiting, step_});
                    waitReported_ = true;
                }
                lastRunMinutes_ += left;
                return events;
            }
            enter(Stage::Soaking);
            events.push_back({Event::Kind::SoakCounting, step_});
            continue;
        }
        // Soaking.
        if (step.band && !withinBand(measured)) {
            enter(Stage::Waiting);
            continue;
        }
        const double holdLeft = step.holdMinutes - holdDone_;
        if (left < holdLeft) {
            holdDone_ += left;
            lastRunMinutes_ += left;
            return events;
        }
        holdDone_ = step.holdMinutes;
        lastRunMinutes_ += holdLeft;
        left -= holdLeft;
        corner();
        if (step_ >= programme_->stepCount()) {
            stage_ = Stage::Finished;
            events.push_back({Event::Kind::Finished, step_});
            return events;
        }
        beginStep(step_ + 1, events);
    }
    return events;
}

void ProgrammeProgress::rampLostSince(double minutes) {
    if (stage_ != Stage::Ramping || minutes <= 0.0) {
        return;
    }
    // The course drawn so far goes flat from the last reading: the set point stood there.
    const double back = std::min(minutes, rampDone_);
    while (!corners_.empty() && corners_.back().minutes > lastRunMinutes_ - back) {
        corners_.pop_back();
    }
    rampDone_ -= back;
    addCorner({lastRunMinutes_ - back, setPoint()});
    addCorner({lastRunMinutes_, setPoint()});
    rampMoving_ = false;
}

double ProgrammeProgress::setPoint() const {
    const ProgrammeStep& step = currentStep();
    if (stage_ != Stage::Ramping) {
        return step.temperature;
    }
    const double length = programme_->rampMinutesOf(step_);
    const double from = programme_->rampStartOf(step_);
    if (length <= 0.0) {
        return step.temperature;
    }
    return from + (step.temperature - from) * std::min(1.0, rampDone_ / length);
}

double ProgrammeProgress::minutesDone() const {
    if (stage_ == Stage::Finished) {
        return programme_->totalMinutes();
    }
    return programme_->stepStartMinutes(step_) + rampDone_ + holdDone_;
}

double ProgrammeProgress::minutesLeftInStep() const {
    if (stage_ == Stage::Finished) {
        return 0.0;
    }
    return std::max(0.0, programme_->rampMinutesOf(step_) - rampDone_) +
           std::max(0.0, currentStep().holdMinutes - holdDone_);
}

double ProgrammeProgress::minutesLeft() const {
    if (stage_ == Stage::Finished) {
        return 0.0;
    }
    return minutesLeftInStep() + (programme_->totalMinutes() - programme_->stepEndMinutes(step_));
}

std::vector<TargetCurvePoint> ProgrammeProgress::targetCurve() const {
    std::vector<TargetCurvePoint> points = corners_;
    const auto add = [&points](double minutes, double celsius) {
        const TargetCurvePoint point{minutes, celsius};
        if (points.empty() || !(points.back() == point)) {
            points.push_back(point);
        }
    };
    if (stage_ == Stage::Finished) {
        add(lastRunMinutes_, setPoint());
        return points;
    }
    if (stage_ == Stage::Ramping) {
        add(lastRunMinutes_, setPoint());  // where a ramp that stood still goes on from
    }
    const ProgrammeStep& step = currentStep();
    double at = lastRunMinutes_ + std::max(0.0, programme_->rampMinutesOf(step_) - rampDone_);
    add(at, step.temperature);
    at += std::max(0.0, step.holdMinutes - holdDone_);
    add(at, step.temperature);
    // The rest of the plan, moved by as much as it has been stretched so far.
    const double offset = at - programme_->stepEndMinutes(step_);
    const int count = programme_->stepCount();
    points.reserve(points.size() + 2 * static_cast<std::size_t>(count - step_));
    for (int n = step_ + 1; n <= count; ++n) {
        const double celsius = programme_->step(n).temperature;
        add(programme_->stepArrivalMinutes(n) + offset, celsius);
        add(programme_->stepEndMinutes(n) + offset, celsius);
    }
    return points;
}

}  // namespace lumas
