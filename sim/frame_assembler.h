// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumas::sim {

// Collects the bytes that reach the controller into command frames, as its receiver does: bytes
// before an STX are dropped, an STX starts a frame (also in the middle of an unfinished one), and
// the byte after ETX is the frame's BCC, whatever its value. A frame longer than the receive buffer
// is cut to its first bytes and marked overlong. Not thread-safe; owned by one thread.
class FrameAssembler {
  public:
    static constexpr std::size_t kReceiveBufferBytes = 256;

    struct Frame {
        std::string bytes;  // STX through ETX and the BCC (only the first bytes when overlong)
        bool overlong = false;
    };

    // Adds received bytes; returns the frames they complete, in order.
    std::vector<Frame> add(std::string_view bytes);

  private:
    enum class Stage { BetweenFrames, InFrame, AwaitingBcc };
    Stage stage_ = Stage::BetweenFrames;
    Frame current_;
};

}  // namespace lumas::sim
