// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/runs_report_command.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "cli/exit_status.h"
#include "cli/runs_command.h"
#include "core/sqlite_run_archive.h"
#include "ui/chart_report.h"
#include "ui/run_chart.h"

namespace lumas::cli {

const char* const kRunsReportUsage =
    "Usage: lumasctl runs report ID --pdf FILE [--archive FILE]\n"
    "\n"
    "Writes the report of run ID as a PDF file, as the desktop program's Runs window does: the\n"
    "chart of the run with its events marked on the time axis, the run's start and end, how it\n"
    "ended, the operator, the port, the programme or set point, the emergency threshold, the\n"
    "minimum and maximum, the alarms, and its events. An existing FILE is replaced whole; nothing\n"
    "is left under its name when it cannot be written.\n"
    "\n"
    "  --pdf FILE            the file to write\n"
    "  --archive FILE        the run archive to read (by default\n"
    "                        ~/.local/share/Lumas/runs.sqlite); it is only read\n"
    "\n"
    "Exit status: 0 written, 1 usage error, 8 no run archive or it cannot be read, 10 no such\n"
    "run, 11 the file could not be written.\n";

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw SessionError(why, kExitUsage);
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

struct ReportArguments {
    std::int64_t id = 0;
    QString pdf;
    std::optional<std::string> archive;
};

std::int64_t runNumber(const QString& text) {
    bool ok = false;
    const qlonglong id = text.toLongLong(&ok);
    const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!ok || !digits || id <= 0) {
        refuse("A run is named by its number, such as 12 (lumasctl runs lists them), not \"" +
               utf8(text) + "\".");
    }
    return id;
}

ReportArguments parseReportArguments(const QStringList& arguments) {
    ReportArguments parsed;
    std::optional<QString> id;
    std::optional<QString> pdf;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (!name.startsWith(u'-') || name == QStringLiteral("-")) {
            if (id) {
                refuse("runs report takes one run; \"" + utf8(name) + "\" is one too many.");
            }
            id = name;
            continue;
        }
        std::optional<QString> value;
        if (const qsizetype equals = name.indexOf(u'=');
            name.startsWith(QStringLiteral("--")) && equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (name != QStringLiteral("--pdf") && name != QStringLiteral("--archive")) {
            refuse("runs report does not take " + utf8(name) +
                   "; it takes ID, --pdf FILE and "
                   "--archive FILE.");
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                refuse(utf8(name) + " needs a file.");
            }
            value = arguments[++i];
        }
        if (value->isEmpty()) {
            refuse(utf8(name) + " needs a file, not an empty name.");
        }
        if (name == QStringLiteral("--pdf")) {
            pdf = *value;
        } else {
            parsed.archive = utf8(*value);
        }
    }
    if (!id) {
        refuse("runs report needs the run's number, such as 12 (lumasctl runs lists them).");
    }
    parsed.id = runNumber(*id);
    if (!pdf) {
        refuse("runs report needs --pdf FILE, the file to write.");
    }
    if (*pdf == QStringLiteral("-")) {
        refuse("runs report writes its PDF to a file; - (standard output) is not taken.");
    }
    parsed.pdf = *pdf;
    return parsed;
}

bool wantsReport(int argc, char** argv) {
    // lumasctl [--archive FILE] runs ... report ...: the first word that is no option is the
    // command, the next one its action.
    std::vector<std::string_view> words;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--archive") {
            ++i;  // its value
            continue;
        }
        if (!argument.starts_with('-')) {
            words.push_back(argument);
        }
    }
    return words.size() >= 2 && words[0] == "runs" && words[1] == "report";
}

}  // namespace

int runRunsReport(const QStringList& arguments) {
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::cout << kRunsReportUsage;
        return 0;
    }
    const ReportArguments parsed = parseReportArguments(arguments);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        // Drawing text needs Qt Gui's application object: makeApplication() makes it.
        throw SessionError("runs report cannot draw without its application object.", kExitUsage);
    }
    const std::unique_ptr<SqliteRunArchive> archive = openArchiveToRead(parsed.archive);
    ArchivedRun run = requireRun(*archive, parsed.id);
    const std::vector<ArchivedReading> readings = archive->readings(parsed.id);
    std::vector<ArchivedEvent> events = archive->events(parsed.id);
    if (const std::optional<QString>& failure = archive->readFailure()) {
        throw SessionError("The run archive " + utf8(QDir::toNativeSeparators(archive->path())) +
                               " cannot be read: " + utf8(*failure) + ".",
                           kExitNoArchive);
    }

    const ui::RunCurves curves = ui::runCurves(run, readings, events);
    const QString name = ui::runCurveName(run.id);
    const ui::ChartReport report(
        [&](QPainter& painter, const QRectF& target, std::span<const ui::ChartEventMark> marks) {
            ui::drawRunChart(painter, target, curves.measured, curves.target, name, marks);
        },
        QDateTime::currentDateTime(), QLocale(), RunRecord{std::move(run), std::move(events)});

    // Written beside its place and put there whole, so that a file that cannot be written leaves
    // nothing (and an earlier report stays as it was).
    const QFileInfo target(parsed.pdf);
    const QString unfinished = target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                               QStringLiteral(".writing");
    const bool written = report.exportPdf(unfinished) &&
                         std::rename(QFile::encodeName(unfinished).constData(),
                                     QFile::encodeName(target.absoluteFilePath()).constData()) == 0;
    if (!written) {
        QFile::remove(unfinished);
        throw SessionError(
            "The file " + utf8(QDir::toNativeSeparators(parsed.pdf)) + " could not be written.",
            kExitFileNotWritten);
    }
    std::cout << "Report of run " << parsed.id << " written to " << utf8(parsed.pdf) << ": "
              << report.pageCount() << (report.pageCount() == 1 ? " page" : " pages") << ".\n";
    return 0;
}

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    if (wantsReport(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace lumas::cli
