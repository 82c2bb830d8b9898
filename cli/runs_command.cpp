// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/runs_command.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "core/number_text.h"
#include "core/run_csv_export.h"
#include "core/run_texts.h"
#include "core/sqlite_run_archive.h"

#include "cli/runs_report_command.h"

namespace lumas::cli {

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw SessionError(why, kExitUsage);
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// ---- Reading the arguments -------------------------------------------------------------------

std::int64_t runId(const std::string& text) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoll(text) < 1) {
        refuse("A run is named by its number, such as 12 (lumasctl runs lists them), not \"" +
               text + "\".");
    }
    return std::stoll(text);
}

bool isOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

// ---- Texts -----------------------------------------------------------------------------------

QString celsiusText(const std::optional<double>& celsius) {
    return celsius ? oneDecimalText(*celsius, QLocale::c()) + QStringLiteral(" °C")
                   : QStringLiteral("-");
}

QString numberOrDash(const std::optional<double>& value) {
    return value ? oneDecimalText(*value, QLocale::c()) : QStringLiteral("-");
}

// "+01:00", "-05:00", "+05:30".
QString offsetText(int seconds) {
    const int minutes = std::abs(seconds) / 60;
    return QString(QChar(seconds < 0 ? u'-' : u'+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The run's own local time (the offset its start had), as it was shown where it ran.
QDateTime localOf(const ArchivedRun& run, const QDateTime& utc) {
    return utc.toOffsetFromUtc(run.utcOffsetSeconds);
}

// "2026-12-10 09:00:00 +01:00".
QString timeWithOffset(const ArchivedRun& run, const QDateTime& utc) {
    return localOf(run, utc).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           offsetText(run.utcOffsetSeconds);
}

QString isoUtc(const QDateTime& utc) {
    return utc.toUTC().toString(Qt::ISODateWithMs);
}

// "02:30:00", "7 d 00:00:00".
QString durationText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const std::int64_t days = seconds / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg((seconds % 86400) / 3600, 2, 10, QLatin1Char('0'))
                              .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("%1 d %2").arg(days).arg(clock) : clock;
}

// How long the run went: to its end, or while it has none, to its last reading.
std::optional<std::int64_t> durationSeconds(const ArchivedRun& run) {
    if (run.ended) {
        return run.started.secsTo(*run.ended);
    }
    if (run.lastReading) {
        return run.started.secsTo(*run.lastReading);
    }
    return std::nullopt;
}

QString whatRan(const ArchivedRun& run) {
    if (run.kind == RunKind::Programme) {
        const int steps = run.programme ? run.programme->stepCount() : 0;
        return QStringLiteral("programme, %1 step%2").arg(steps).arg(steps == 1 ? "" : "s");
    }
    return run.singleSetPoint ? QStringLiteral("set point ") + celsiusText(run.singleSetPoint)
                              : QStringLiteral("set point");
}

QString howItEnded(const ArchivedRun& run) {
    return run.ended ? run.endReason : QStringLiteral("no end yet");
}

QString textOrDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

// Columns padded to their widest cell; the last one is not padded.
struct Table {
    std::vector<bool> rightAligned;
    std::vector<QStringList> rows;

    void print(const QString& indent = {}) const {
        std::vector<qsizetype> widths(rightAligned.size(), 0);
        for (const QStringList& row : rows) {
            for (qsizetype k = 0; k < row.size(); ++k) {
                widths[static_cast<std::size_t>(k)] =
                    std::max(widths[static_cast<std::size_t>(k)], row[k].size());
            }
        }
        for (const QStringList& row : rows) {
            QString line = indent;
            for (qsizetype k = 0; k < row.size(); ++k) {
                const auto column = static_cast<std::size_t>(k);
                const bool last = k + 1 == row.size();
                if (k > 0) {
                    line += QStringLiteral("  ");
                }
                line += rightAligned[column] ? row[k].rightJustified(widths[column])
                        : last               ? row[k]
                                             : row[k].leftJustified(widths[column]);
            }
            std::cout << utf8(line) << '\n';
        }
    }
};

// ---- JSON ------------------------------------------------------------------------------------

QJsonValue jsonOf(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue jsonOf(const std::optional<QDateTime>& utc) {
    return utc ? QJsonValue(isoUtc(*utc)) : QJsonValue(QJsonValue::Null);
}

QJsonObject runJson(const ArchivedRun& run) {
    QJsonValue programme(QJsonValue::Null);
    if (run.programme) {
        QJsonArray steps;
        int number = 0;
        for (const lumas::ProgrammeStep& step : run.programme->steps()) {
            steps.append(QJsonObject{{QStringLiteral("step"), ++number},
                                     {QStringLiteral("temperature"), step.temperature},
                                     {QStringLiteral("hold_min"), step.holdMinutes}});
        }
        programme = steps;
    }
    const std::optional<std::int64_t> duration = durationSeconds(run);
    return QJsonObject{
        {QStringLiteral("id"), static_cast<qint64>(run.id)},
        {QStringLiteral("started"), isoUtc(run.started)},
        {QStringLiteral("utc_offset_s"), run.utcOffsetSeconds},
        {QStringLiteral("ended"), jsonOf(run.ended)},
        {QStringLiteral("end_reason"),
         run.ended ? QJsonValue(run.endReason) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("last_reading"), jsonOf(run.lastReading)},
        {QStringLiteral("duration_s"),
         duration ? QJsonValue(static_cast<qint64>(*duration)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("kind"),
         run.kind == RunKind::Programme ? QStringLiteral("programme") : QStringLiteral("single")},
        {QStringLiteral("set_point"), jsonOf(run.singleSetPoint)},
        {QStringLiteral("programme"), programme},
        {QStringLiteral("threshold"), run.threshold},
        {QStringLiteral("blind_stop_s"), static_cast<qint64>(run.blindStopSeconds)},
        {QStringLiteral("port"), run.port},
        {QStringLiteral("user"), run.user},
        {QStringLiteral("host"), run.host},
        {QStringLiteral("version"), run.version},
        {QStringLiteral("continues"), run.continues
                                          ? QJsonValue(static_cast<qint64>(*run.continues))
                                          : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("min"), jsonOf(run.minimum)},
        {QStringLiteral("max"), jsonOf(run.maximum)},
        {QStringLiteral("alarms"), run.alarms},
        {QStringLiteral("readings"), static_cast<qint64>(run.readings)},
        {QStringLiteral("seal"),
         run.seal.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(run.seal)},
    };
}

void printJson(const QJsonDocument& document) {
    std::cout << document.toJson(QJsonDocument::Indented).toStdString();
}

// ---- The archive -----------------------------------------------------------------------------

QString archivePathOf(const std::optional<std::string>& path) {
    return path ? QString::fromStdString(*path) : defaultArchivePath();
}

// Throws when the last read of `archive` failed.
void requireRead(const SqliteRunArchive& archive) {
    if (const auto& failure = archive.readFailure()) {
        throw SessionError("The run archive " + utf8(QDir::toNativeSeparators(archive.path())) +
                               " cannot be read: " + utf8(*failure) + ".",
                           kExitNoArchive);
    }
}

// ---- The actions -----------------------------------------------------------------------------

int listRuns(SqliteRunArchive& archive, bool json) {
    const std::vector<ArchivedRun> runs = archive.runs();
    requireRead(archive);
    if (json) {
        QJsonArray all;
        for (const ArchivedRun& run : runs) {
            all.append(runJson(run));
        }
        printJson(QJsonDocument(all));
        return 0;
    }
    if (runs.empty()) {
        std::cout << "The run archive " << utf8(QDir::toNativeSeparators(archive.path()))
                  << " holds no runs yet.\n";
        return 0;
    }
    Table table{{true, false, true, false, true, true, true, true, false}, {}};
    table.rows.push_back({QStringLiteral("ID"), QStringLiteral("Started"),
                          QStringLiteral("Duration"), QStringLiteral("Set point or programme"),
                          QStringLiteral("Min °C"), QStringLiteral("Max °C"),
                          QStringLiteral("Alarms"), QStringLiteral("Readings"),
                          QStringLiteral("How it ended")});
    for (const ArchivedRun& run : runs) {
        const std::optional<std::int64_t> duration = durationSeconds(run);
        table.rows.push_back(
            {QString::number(run.id),
             localOf(run, run.started).toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             duration ? durationText(*duration) : QStringLiteral("-"), whatRan(run),
             numberOrDash(run.minimum), numberOrDash(run.maximum), QString::number(run.alarms),
             QString::number(run.readings), howItEnded(run)});
    }
    table.print();
    return 0;
}

void printProgramme(const Programme& programme) {
    std::cout << "Programme:            " << programme.stepCount()
              << (programme.stepCount() == 1 ? " step, " : " steps, ")
              << utf8(texts::minutesText(programme.totalMinutes(), QLocale::c()))
              << " min in all\n";
    Table table{{true, true, true, true}, {}};
    table.rows.push_back({QStringLiteral("Step"), QStringLiteral("Temperature"),
                          QStringLiteral("Hold"), QStringLiteral("Begins after")});
    for (int step = 1; step <= programme.stepCount(); ++step) {
        table.rows.push_back({QString::number(step), celsiusText(programme.step(step).temperature),
                              texts::minutesText(programme.step(step).holdMinutes, QLocale::c()) +
                                  QStringLiteral(" min"),
                              texts::minutesText(programme.stepStartMinutes(step), QLocale::c()) +
                                  QStringLiteral(" min")});
    }
    table.print(QStringLiteral("  "));
}

int showRun(SqliteRunArchive& archive, std::int64_t id, bool json) {
    const ArchivedRun run = requireRun(archive, id);
    const std::vector<ArchivedEvent> events = archive.events(id);
    requireRead(archive);
    if (json) {
        QJsonObject object = runJson(run);
        QJsonArray eventList;
        for (const ArchivedEvent& event : events) {
            eventList.append(
                QJsonObject{{QStringLiteral("at"), isoUtc(run.started.addMSecs(event.atMs))},
                            {QStringLiteral("after_s"), static_cast<double>(event.atMs) / 1000.0},
                            {QStringLiteral("kind"), event.kind},
                            {QStringLiteral("text"), event.text}});
        }
        object.insert(QStringLiteral("events"), eventList);
        printJson(QJsonDocument(object));
        return 0;
    }
    const auto line = [](const char* label, const QString& value) {
        std::cout << label << utf8(value) << '\n';
    };
    std::cout << "Run " << run.id << '\n';
    line("Started:              ", timeWithOffset(run, run.started));
    const std::optional<std::int64_t> duration = durationSeconds(run);
    line("Ended:                ", run.ended
                                       ? timeWithOffset(run, *run.ended) +
                                             QStringLiteral(", after ") + durationText(*duration)
                                       : QStringLiteral("no end yet"));
    line("How it ended:         ", howItEnded(run));
    line("Last reading:         ",
         run.lastReading ? timeWithOffset(run, *run.lastReading) : QStringLiteral("none"));
    line("User:                 ", textOrDash(run.user));
    line("Host:                 ", textOrDash(run.host));
    line("Port:                 ", textOrDash(run.port));
    line("Lumas version:        ", textOrDash(run.version));
    line("Emergency threshold:  ", celsiusText(run.threshold));
    line("Blind-run limit:      ", run.blindStopSeconds > 0
                                       ? QStringLiteral("%1 s").arg(run.blindStopSeconds)
                                       : QStringLiteral("off"));
    line("Continues:            ",
         run.continues ? QStringLiteral("run %1").arg(*run.continues) : QStringLiteral("-"));
    line("Minimum:              ", celsiusText(run.minimum));
    line("Maximum:              ", celsiusText(run.maximum));
    line("Alarms:               ", QString::number(run.alarms));
    line("Readings:             ", QString::number(run.readings));
    line("Seal:                 ", run.seal.isEmpty()
                                       ? QStringLiteral("none yet (the run has no end)")
                                       : QStringLiteral("SHA-256 ") + run.seal);
    if (run.kind == RunKind::Programme && run.programme) {
        printProgramme(*run.programme);
    } else {
        line("Set point:            ", celsiusText(run.singleSetPoint));
    }
    if (events.empty()) {
        std::cout << "\nEvents: none.\n";
        return 0;
    }
    std::cout << "\nEvents:\n";
    Table table{{false, true, false, false}, {}};
    table.rows.push_back({QStringLiteral("Time"), QStringLiteral("After"), QStringLiteral("Kind"),
                          QStringLiteral("Text")});
    for (const ArchivedEvent& event : events) {
        const QDateTime at = run.started.addMSecs(event.atMs);
        table.rows.push_back({localOf(run, at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                              durationText(event.atMs / 1000), event.kind,
                              QString(event.text).replace(u'\n', u' ').replace(u'\r', u' ')});
    }
    table.print(QStringLiteral("  "));
    return 0;
}

// The reason a file could not be written, as part of a sentence.
std::string reasonOf(const QFileDevice& file) {
    QString reason = file.errorString();
    if (reason.size() > 1 && reason[0].isUpper() && reason[1].isLower()) {
        reason[0] = reason[0].toLower();
    }
    return utf8(reason);
}

int exportRun(SqliteRunArchive& archive, std::int64_t id, const std::string& file, bool iso) {
    const ArchivedRun run = requireRun(archive, id);
    const std::vector<ArchivedReading> readings = archive.readings(id);
    requireRead(archive);
    const RunCsvForm form = iso ? RunCsvForm::Iso : RunCsvForm::Log;
    if (!run.ended) {
        std::cerr << "Note: run " << id << " has no end yet; its readings so far are written.\n";
    }
    if (file == "-") {
        std::cout.flush();
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            !writeRunCsv(run, readings, form, out)) {
            throw SessionError("Run " + std::to_string(id) +
                                   " could not be written to standard output: " + reasonOf(out) +
                                   ".",
                               kExitFileNotWritten);
        }
        return 0;
    }
    // Written under a name of its own and put in place whole: a file that could not be written
    // to its end is never left as if it were the run's.
    QSaveFile out(QString::fromStdString(file));
    const bool written =
        out.open(QIODevice::WriteOnly) && writeRunCsv(run, readings, form, out) && out.commit();
    if (!written) {
        const std::string reason = reasonOf(out);
        out.cancelWriting();
        throw SessionError("The file " + file + " could not be written: " + reason + ".",
                           kExitFileNotWritten);
    }
    const auto rows = iso ? readings.size()
                          : static_cast<std::size_t>(std::count_if(
                                readings.begin(), readings.end(), [](const ArchivedReading& r) {
                                    return r.temperature.has_value();
                                }));
    std::cout << "Run " << id << " written to " << file << ": " << rows << " rows"
              << (iso ? " in the ISO form.\n" : " in the temperature log's form.\n");
    return 0;
}

QString startedText(const ArchivedRun& run) {
    return QStringLiteral(" (started ") + timeWithOffset(run, run.started) + u')';
}

int verifyRuns(SqliteRunArchive& archive, const std::optional<std::int64_t>& only) {
    std::vector<ArchivedRun> runs;
    if (only) {
        runs.push_back(requireRun(archive, *only));
    } else {
        runs = archive.runs();
        requireRead(archive);
        std::reverse(runs.begin(), runs.end());  // oldest first
    }
    int holding = 0;
    int changed = 0;
    int unsealed = 0;
    std::int64_t missing = 0;
    std::int64_t expected = 1;  // records are never deleted: the ids run on without a gap
    for (const ArchivedRun& run : runs) {
        if (!only && run.id > expected) {
            const std::int64_t last = run.id - 1;
            std::cout << (last == expected ? "Run " + std::to_string(expected) + " is"
                                           : "Runs " + std::to_string(expected) + " to " +
                                                 std::to_string(last) + " are")
                      << " missing from the archive.\n";
            missing += run.id - expected;
        }
        expected = run.id + 1;
        if (run.seal.isEmpty()) {
            if (run.ended) {
                std::cout << "Run " << run.id << utf8(startedText(run))
                          << " has an end but no seal: its record has changed.\n";
                ++changed;
            } else {
                std::cout << "Run " << run.id << utf8(startedText(run))
                          << " has no seal yet: it has no end.\n";
                ++unsealed;
            }
            continue;
        }
        const std::optional<bool> holds = archive.verify(run.id);
        requireRead(archive);
        if (holds == true) {
            ++holding;
            if (only) {
                std::cout << "Run " << run.id << utf8(startedText(run)) << " holds its seal.\n";
            }
        } else {
            std::cout << "Run " << run.id << utf8(startedText(run))
                      << " has changed since it was sealed.\n";
            ++changed;
        }
    }
    if (!only) {
        if (changed == 0 && missing == 0) {
            std::cout << (holding == 1 ? "The sealed run holds"
                                       : "All " + std::to_string(holding) + " sealed runs hold")
                      << (holding == 1 ? " its seal.\n" : " their seals.\n");
        } else {
            std::cout << runs.size() << " run" << (runs.size() == 1 ? "" : "s")
                      << " checked: " << holding << " hold their seal, " << changed << " changed"
                      << (missing > 0 ? ", " + std::to_string(missing) + " missing" : "")
                      << (unsealed > 0 ? ", " + std::to_string(unsealed) + " without a seal yet"
                                       : "")
                      << ".\n";
        }
    }
    return changed > 0 || missing > 0 ? kExitRecordChanged : 0;
}

}  // namespace

std::unique_ptr<SqliteRunArchive> openArchiveToRead(const std::optional<std::string>& path) {
    const QString file = archivePathOf(path);
    SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(file, SqliteRunArchive::Access::ReadOnly);
    if (!opened.archive) {
        std::string why = opened.problem ? utf8(*opened.problem)
                                         : "The run archive " + utf8(file) + " cannot be opened.";
        if (!QFile::exists(file)) {
            why +=
                " Runs are recorded there once the window or lumasctl program has run one; "
                "--archive FILE names another archive.";
        }
        throw SessionError(why, kExitNoArchive);
    }
    if (opened.problem) {
        std::cerr << "Note: " << utf8(*opened.problem) << '\n';
    }
    return std::move(opened.archive);
}

ArchivedRun requireRun(SqliteRunArchive& archive, std::int64_t id) {
    std::optional<ArchivedRun> run = archive.run(id);
    requireRead(archive);
    if (!run) {
        throw SessionError("The run archive " + utf8(QDir::toNativeSeparators(archive.path())) +
                               " holds no run " + std::to_string(id) +
                               "; lumasctl runs lists the runs it holds.",
                           kExitNoSuchRun);
    }
    return std::move(*run);
}

RunsArguments parseRunsArguments(const std::vector<std::string>& arguments) {
    RunsArguments parsed;
    bool csvGiven = false;
    const auto nonEmpty = [](const std::string& value, const char* refusal) {
        if (value.empty()) {
            refuse(refusal);
        }
        return value;
    };
    const std::vector<std::string> positional = scanArguments(
        arguments,
        {{"--archive",
          {true,
           [&](const std::string& v) { parsed.archive = nonEmpty(v, "--archive needs a file."); }}},
         {"--csv",
          {true,
           [&](const std::string& v) {
               parsed.csvFile = nonEmpty(v, "--csv needs a file, or - for standard output.");
               csvGiven = true;
           }}},
         {"--json", {false, [&](const std::string&) { parsed.json = true; }}},
         {"--iso", {false, [&](const std::string&) { parsed.iso = true; }}}});

    std::string action = positional.empty() ? "list" : positional[0];
    const std::vector<std::string> rest =
        positional.empty() ? std::vector<std::string>{}
                           : std::vector<std::string>(positional.begin() + 1, positional.end());
    if (action == "list") {
        parsed.action = RunsArguments::Action::List;
    } else if (action == "show") {
        parsed.action = RunsArguments::Action::Show;
    } else if (action == "export") {
        parsed.action = RunsArguments::Action::Export;
    } else if (action == "verify") {
        parsed.action = RunsArguments::Action::Verify;
    } else {
        refuse("runs takes list, show ID, export ID, verify [ID] or report ID, not \"" + action +
               "\".");
    }
    const bool takesId = parsed.action != RunsArguments::Action::List;
    const bool needsId = parsed.action == RunsArguments::Action::Show ||
                         parsed.action == RunsArguments::Action::Export;
    if (rest.size() > (takesId ? 1u : 0u)) {
        refuse("runs " + action + " takes " + (takesId ? "one run" : "no run") + "; \"" +
               rest[takesId ? 1 : 0] + "\" is one too many.");
    }
    if (!rest.empty()) {
        parsed.id = runId(rest[0]);
    } else if (needsId) {
        refuse("runs " + action +
               " needs the run's number, such as 12 (lumasctl runs lists them).");
    }
    if (parsed.json && parsed.action != RunsArguments::Action::List &&
        parsed.action != RunsArguments::Action::Show) {
        refuse("--json goes with runs (the list) and runs show.");
    }
    if (parsed.action == RunsArguments::Action::Export) {
        if (!csvGiven) {
            refuse("runs export needs --csv FILE (- for standard output).");
        }
    } else if (csvGiven || parsed.iso) {
        refuse(std::string(csvGiven ? "--csv" : "--iso") + " goes with runs export.");
    }
    return parsed;
}

int runsCommand(const std::vector<std::string>& arguments) {
    // `runs report ...` reads its own arguments: all but the word "report" go to it. The word is
    // the first argument that is neither an option nor an option's value.
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--archive" || arguments[i] == "--csv") {
            ++i;
            continue;
        }
        if (isOption(arguments[i])) {
            continue;
        }
        if (arguments[i] == "report") {
            QStringList rest;
            for (std::size_t k = 0; k < arguments.size(); ++k) {
                if (k != i) {
                    rest << QString::fromStdString(arguments[k]);
                }
            }
            return runRunsReport(rest);
        }
        break;
    }
    const RunsArguments parsed = parseRunsArguments(arguments);
    const std::unique_ptr<SqliteRunArchive> archive = openArchiveToRead(parsed.archive);
    switch (parsed.action) {
        case RunsArguments::Action::List:
            return listRuns(*archive, parsed.json);
        case RunsArguments::Action::Show:
            return showRun(*archive, *parsed.id, parsed.json);
        case RunsArguments::Action::Export:
            return exportRun(*archive, *parsed.id, parsed.csvFile, parsed.iso);
        case RunsArguments::Action::Verify:
            return verifyRuns(*archive, parsed.id);
    }
    return 0;
}

}  // namespace lumas::cli
