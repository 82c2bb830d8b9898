// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/link_health.h"

namespace lumas {

void LinkHealth::start(Tick now, unsigned long readings) {
    readings_ = readings;
    lastReadingTick_ = now;
    lastFreshTick_ = now;
    // Not live until a reading has come in: what the driver holds is from before this link.
    state_ = State::Waiting;
}

std::optional<LinkHealth::State> LinkHealth::update(Tick now, bool portOk, unsigned long readings) {
    if (state_ == State::Offline) {
        return std::nullopt;
    }
    const bool fresh = readings != readings_;
    if (fresh) {
        readings_ = readings;
        lastReadingTick_ = now;
        lastFreshTick_ = now;
    }
    State next = state_;
    if (!portOk) {
        next = State::PortFailed;
    } else if (fresh) {
        next = State::Live;
    } else if (state_ == State::PortFailed) {
        // The port is open again: the first reading on it has the full time to come in.
        lastReadingTick_ = now;
        next = State::Waiting;
    } else if (ticksSince(lastReadingTick_, now) > kNoReplyAfterMs) {
        next = State::NoReply;
    }
    if (next == state_) {
        return std::nullopt;
    }
    state_ = next;
    return next;
}

}  // namespace lumas
