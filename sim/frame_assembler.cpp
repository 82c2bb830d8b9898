// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "sim/frame_assembler.h"

#include "sim/frame_text.h"

namespace lumas::sim {

std::vector<FrameAssembler::Frame> FrameAssembler::add(std::string_view bytes) {
    std::vector<Frame> complete;
    for (const char byte : bytes) {
        switch (stage_) {
            case Stage::BetweenFrames:
                if (byte == kStx) {
                    current_ = Frame{std::string(1, byte), false};
                    stage_ = Stage::InFrame;
                }
                break;
            case Stage::InFrame:
                if (byte == kStx) {
                    current_ = Frame{std::string(1, byte), false};
                    break;
                }
                if (byte == kEtx) {
                    current_.bytes += byte;
                    stage_ = Stage::AwaitingBcc;
                    break;
                }
                // Room is kept for ETX and the BCC, so a cut frame still ends like a frame.
                if (current_.bytes.size() + 2 < kReceiveBufferBytes) {
                    current_.bytes += byte;
                } else {
                    current_.overlong = true;
                }
                break;
            case Stage::AwaitingBcc:
                current_.bytes += byte;
                complete.push_back(std::move(current_));
                current_ = Frame{};
                stage_ = Stage::BetweenFrames;
                break;
        }
    }
    return complete;
}

}  // namespace lumas::sim
