// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/sequence_player.h"

#include <exception>
#include <optional>
#include <utility>

#include "threading/exception_report.h"
#include "threading/ui_hand_over.h"

namespace lumas {

std::chrono::milliseconds SequenceCursor::runToNextPause() {
    while (!finished()) {
        SequenceStep step;
        if (remainder_) {
            step = std::move(remainder_);
            remainder_ = nullptr;
        } else {
            step = steps_[next_++];
        }
        StepResult result = step();
        remainder_ = std::move(result.then);
        if (result.pause.count() > 0) {
            return result.pause;
        }
    }
    return std::chrono::milliseconds(0);
}

void playFromBackgroundThread(std::span<const SequenceStep> steps, Clock& clock) {
    UiHandOver& handOver = UiHandOver::instance();
    // Only the UI thread touches the cursor; the hand-over orders its runs with this thread's
    // look at whether it has finished.
    SequenceCursor cursor(steps);
    while (!cursor.finished()) {
        std::optional<std::chrono::milliseconds> pause;
        handOver.run([&] {
            try {
                pause = cursor.runToNextPause();
            } catch (const std::exception& error) {
                showStandardExceptionReport(error.what());
            }
        });
        if (!pause) {
            return;  // a step failed: the rest of the sequence is not played
        }
        if (pause->count() > 0) {
            clock.sleep(*pause);
        }
    }
}

void playOnUiThread(std::span<const SequenceStep> steps, Clock& clock) {
    SequenceCursor cursor(steps);
    while (!cursor.finished()) {
        const std::chrono::milliseconds pause = cursor.runToNextPause();
        if (pause.count() > 0) {
            DelayMs(clock, pause);
        }
    }
}

}  // namespace lumas
