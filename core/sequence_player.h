// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <utility>

#include "core/clock.h"

namespace lumas {

struct StepResult;

// One step of a sequence of commands and pauses, such as the worker's update of the main window.
// It runs on the UI thread, reads the state it acts on when it runs, and sends what is due then.
using SequenceStep = std::function<StepResult()>;

// What a step leaves to do: the pause to keep before anything else is sent (zero when it sent
// nothing), and what to run after that pause, before the sequence's next step. So a step that
// sends, waits and sends again is written as one step whose remainder follows its pause.
struct StepResult {
    std::chrono::milliseconds pause{0};
    SequenceStep then;
};

// The result of a step that sent nothing.
inline StepResult nothingSent() {
    return {};
}

// The result of a step that sent a command: `duration` passes before anything else is sent.
inline StepResult pauseFor(std::chrono::milliseconds duration) {
    return {duration, SequenceStep()};
}

// As pauseFor, and `remainder` runs after the pause.
inline StepResult pauseThen(std::chrono::milliseconds duration, SequenceStep remainder) {
    return {duration, std::move(remainder)};
}

// Where a sequence has got to: the next step to run, or the remainder the last step left.
class SequenceCursor {
  public:
    explicit SequenceCursor(std::span<const SequenceStep> steps) : steps_(steps) {}

    // Runs steps, and the remainders they leave, until one asks for a pause or the sequence is
    // at its end, and returns that pause (zero at the end). Steps that send nothing run one after
    // the other at once. An exception from a step propagates; the cursor then stands after it.
    std::chrono::milliseconds runToNextPause();
    bool finished() const { return !remainder_ && next_ >= steps_.size(); }

  private:
    std::span<const SequenceStep> steps_;
    std::size_t next_ = 0;    // the next step of `steps_`, once no remainder is left
    SequenceStep remainder_;  // what the last step left to run after its pause
};

// Plays a sequence from a background thread: the steps up to the next pause are handed to the UI
// thread and run there from its event loop, and the pause is slept on the background thread with
// `clock`; then the steps up to the next pause, and so on. So the UI thread serves its events
// (handlers, timers, received replies) during the pauses at the level it is at, and never runs a
// step inside another handler's wait. Returns once the last step has run and its pause has passed.
// An exception that escapes a step is shown as the application's standard report, and nothing more
// of the sequence runs.
void playFromBackgroundThread(std::span<const SequenceStep> steps, Clock& clock);

// Plays a sequence on the UI thread itself, serving events during the pauses (DelayMs): for a
// caller on the UI thread that has no background thread to play it. An exception from a step
// propagates to the caller.
void playOnUiThread(std::span<const SequenceStep> steps, Clock& clock);

}  // namespace lumas
