// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>

#include <vector>

#include "core/run_archive.h"

class QIODevice;

namespace lumas {

// The two forms in which an archived run's readings are written as CSV.
enum class RunCsvForm {
    // The temperature log's own form, as CsvTemperatureLog writes it: UTF-8 with a byte order
    // mark, CR LF line ends, the header "[Date Time], [Temperature]", then one row per reading
    // with a temperature: "<short date> <long time>", "<temperature>", the local date and time of
    // the run (its start's offset from UTC) and the locale's decimal separator. A reading without a
    // temperature (the link was down) has no row: a gap, never a repeated value.
    Log,
    // For scripts and spreadsheets in any locale: UTF-8 without a byte order mark, CR LF line
    // ends, the header "time_utc,elapsed_s,temperature_c,set_point_c,step,link", then one row per
    // reading: the UTC time in ISO 8601 with milliseconds (2026-12-10T07:00:01.500Z), the seconds
    // since the run's start, the temperature and set point with a point and one decimal (empty
    // where there was none), the programme's step (0 for a single set point) and the link's state
    // (live, waiting, no reply, port failed, offline).
    Iso,
};

// The ISO form's header line, without its line end.
inline constexpr const char* kRunCsvIsoHeader =
    "time_utc,elapsed_s,temperature_c,set_point_c,step,link";

// Writes `readings` of `run` to `out` (open for writing) in `form`; `locale` gives the log form's
// date, time and number formats (the desktop's own by default). False when `out` did not take
// every byte; what was written stays written.
bool writeRunCsv(const ArchivedRun& run, const std::vector<ArchivedReading>& readings,
                 RunCsvForm form, QIODevice& out, const QLocale& locale = QLocale());

// The link's state as the ISO form writes it.
QString linkStateCsvText(LinkHealth::State state);

}  // namespace lumas
