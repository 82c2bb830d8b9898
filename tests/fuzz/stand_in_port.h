// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "serial/com_port.h"

namespace lumas::fuzz {

// A serial port with no device behind it, for the receive path's fuzz target: it reports itself
// open, hands every frame the driver writes to `onWrite` at once, and gives the driver the chunk
// the far end is delivering when the driver reads. It is never opened or closed: the port's own
// destructor calls Close(), which sees the base class's Active() (no device) and does nothing.
class StandInPort : public TCustomComPort {
  public:
    bool Active() const override { return true; }

    bool WriteText(const std::string& s) override {
        if (onWrite) {
            onWrite(s);
        }
        return true;
    }

    // The chunk staged by `stage`, once; "" after that, as a port with nothing more received.
    std::string ReadText() override { return std::exchange(chunk_, std::string()); }

    void stage(std::string chunk) { chunk_ = std::move(chunk); }

    std::function<void(const std::string& frame)> onWrite;

  private:
    std::string chunk_;
};

}  // namespace lumas::fuzz
