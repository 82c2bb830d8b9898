// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>

#include "protocol/frame_codec.h"
#include "support/pty_pair.h"

namespace lumas::test {

// The far end of a pseudo-terminal played by the test: it reads the driver's request frames and
// answers with whatever reply the test gives, so the driver can be shown any reply a controller
// might send.
class ScriptedController {
  public:
    const std::string& portPath() const { return pty_.slavePath(); }

    // The next request frame (STX through BCC), or "" when none came within `timeoutMs`.
    std::string nextFrame(int timeoutMs = 2000) {
        for (;;) {
            const std::size_t etx = pending_.find(compoway::ETX);
            if (etx != std::string::npos && etx + 1 < pending_.size()) {
                std::string frame = pending_.substr(0, etx + 2);
                pending_.erase(0, etx + 2);
                return frame;
            }
            const std::string more = pty_.read(1, timeoutMs);
            if (more.empty()) {
                return {};
            }
            pending_ += more;
        }
    }

    // The command text (MRC, SRC and parameters) of the next request, or "".
    std::string nextCommand(int timeoutMs = 2000) {
        const std::string frame = nextFrame(timeoutMs);
        return frame.size() < 9 ? std::string() : frame.substr(6, frame.size() - 8);
    }

    // True when no request arrives within `timeoutMs`.
    bool silentFor(int timeoutMs) { return nextFrame(timeoutMs).empty(); }

    void send(const std::string& bytes) { pty_.write(bytes); }
    void hangUp() { pty_.hangUp(); }

  private:
    PtyPair pty_;
    std::string pending_;
};

}  // namespace lumas::test
