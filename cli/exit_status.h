// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <stdexcept>
#include <string>

namespace lumas::cli {

// The exit statuses of lumasctl.
inline constexpr int kExitUsage = 1;       // the command line cannot be used
inline constexpr int kExitPort = 2;        // the port cannot be opened, or failed
inline constexpr int kExitController = 3;  // the controller does not answer, or refuses
inline constexpr int kExitEmergency = 4;   // a programme was ended by the emergency cut-off
// A Stop was sent but the controller never reported Stopped: the chamber may still be running.
inline constexpr int kExitStopUnconfirmed = 5;
// The controller was found Stopped during a programme (a power cut, a restart, its front panel)
// and --resume-after-restart was not given: the programme was ended, the controller left stopped.
inline constexpr int kExitControllerStopped = 6;
// A programme ran to its end, but its CSV log or its record in the run archive could not be kept
// whole (a full disk, a folder that cannot be written); the operator was told what was lost.
inline constexpr int kExitRecordNotKept = 7;
// lumasctl runs: there is no run archive at the path, or it cannot be read (damaged, not set up,
// or no run archive at all).
inline constexpr int kExitNoArchive = 8;
// lumasctl runs verify: a run's record no longer gives its seal, or a run is missing from the
// archive.
inline constexpr int kExitRecordChanged = 9;
// lumasctl runs show, export, verify ID: the archive holds no run of that id.
inline constexpr int kExitNoSuchRun = 10;
// lumasctl runs export: the file could not be written (a full disk, a folder that cannot be
// written); nothing is left under its name.
inline constexpr int kExitFileNotWritten = 11;
// A command ended by a stop signal that it does not treat as its normal end exits with 128 plus
// the signal's number (130 for SIGINT, 143 for SIGTERM), as a shell reports it.
inline constexpr int kExitSignalBase = 128;

// Why a command could not go on; the message is for the operator.
class SessionError : public std::runtime_error {
  public:
    SessionError(const std::string& message, int exitStatus)
        : std::runtime_error(message), exitStatus_(exitStatus) {}
    int exitStatus() const { return exitStatus_; }

  private:
    int exitStatus_;
};

}  // namespace lumas::cli
