// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <string>

namespace lumas::test {

// A pseudo-terminal whose far end (the master) a test drives directly: the port under test opens
// slavePath(), the test reads and writes the master. The slave is set raw and a slave descriptor
// is kept open, so the master stays usable while the port is closed.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // Writes all of `bytes` to the master.
    void write(const std::string& bytes);
    // Reads what reaches the master within `timeoutMs`, stopping early once `expected` bytes came.
    std::string read(std::size_t expected, int timeoutMs);
    // Closes the master: to the port the device has gone away.
    void hangUp();

  private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;
};

}  // namespace lumas::test
