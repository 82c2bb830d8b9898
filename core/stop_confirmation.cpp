// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/stop_confirmation.h"

namespace lumas {

void StopConfirmation::sent(Tick now, unsigned long statusReadings) {
    if (!pending_) {
        pending_ = true;
        reported_ = false;
        sends_ = 0;
        readingsAtFirstSend_ = statusReadings;
    }
    ++sends_;
    lastSendTick_ = now;
}

StopConfirmation::Outcome StopConfirmation::update(Tick now, unsigned long statusReadings,
                                                   bool stopped) {
    if (!pending_) {
        return Outcome::Waiting;
    }
    if (stopped && statusReadings != readingsAtFirstSend_) {
        pending_ = false;
        return Outcome::Confirmed;
    }
    if (ticksSince(lastSendTick_, now) <= kConfirmWithinMs) {
        return Outcome::Waiting;
    }
    if (sends_ >= kSends && !reported_) {
        reported_ = true;
        return Outcome::NotConfirmed;
    }
    return Outcome::Resend;
}

}  // namespace lumas
