// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/run_archive.h"

namespace lumas {
class SqliteRunArchive;
}

namespace lumas::cli {

// The arguments of `lumasctl runs [list] [--archive FILE] [--json]`, `runs show ID [--json]`,
// `runs export ID --csv FILE [--iso]` and `runs verify [ID]`.
struct RunsArguments {
    enum class Action { List, Show, Export, Verify };
    Action action = Action::List;
    std::optional<std::int64_t> id;      // show and export: required; verify: one run, or all
    std::optional<std::string> archive;  // the default archive when not given
    bool json = false;                   // list and show
    std::string csvFile;                 // export: a path, or "-" for standard output
    bool iso = false;                    // export: the ISO form, not the log's own
};

// Reads the arguments that follow `runs`; throws SessionError with kExitUsage saying what is wrong.
// (`runs report ...` is not read here: runsCommand hands it on whole.)
RunsArguments parseRunsArguments(const std::vector<std::string>& arguments);

// `lumasctl runs ...`: lists the runs of the run archive, shows one with its events, writes one
// as CSV, or checks their seals. The archive is opened read-only: a reader never creates or
// changes it. Returns 0, or kExitRecordChanged when verify found a changed or missing run; throws
// SessionError with kExitUsage, kExitNoArchive, kExitNoSuchRun or kExitFileNotWritten, saying why.
int runsCommand(const std::vector<std::string>& arguments);

// For the commands that read the run archive: the archive at `path` (the default one when none)
// opened read-only; throws SessionError with kExitNoArchive, in a plain sentence, when there is
// none or it cannot be read. A note (a newer Lumas wrote it) goes to standard error.
std::unique_ptr<SqliteRunArchive> openArchiveToRead(const std::optional<std::string>& path);
// Run `id` of `archive`; throws SessionError with kExitNoSuchRun when there is none, or with
// kExitNoArchive when it cannot be read.
ArchivedRun requireRun(SqliteRunArchive& archive, std::int64_t id);

}  // namespace lumas::cli
