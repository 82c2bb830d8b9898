// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QCoreApplication>
#include <QStringList>

#include <memory>

namespace lumas::cli {

// The usage of `lumasctl runs report`.
extern const char* const kRunsReportUsage;

// `lumasctl runs report ID --pdf FILE [--archive FILE]` (the arguments after "report", in any
// order; an option's value follows it or an "="): writes run ID's report as a PDF file, as the
// desktop program's Runs window writes it: the chart with the run's events marked, then its record
// and its events. The archive is opened read-only. Returns 0; throws SessionError with kExitUsage,
// kExitNoArchive, kExitNoSuchRun or kExitFileNotWritten, saying why.
int runRunsReport(const QStringList& arguments);

// The application object of lumasctl for its command line `argc`, `argv`: a QGuiApplication on
// the offscreen platform for `runs report` (its text needs Qt Gui's fonts; no window is ever
// shown, and no display is needed), a QCoreApplication for every other command.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);

}  // namespace lumas::cli
