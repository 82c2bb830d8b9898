// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QLocale>
#include <QSize>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "core/target_curve.h"

namespace lumas {

class IniFile;

// The application's per-user settings: one INI file (see IniFile) with the sections Settings,
// Temperatures, HoldTime and CSV. Every function opens the file for one group of reads or
// writes and lets go of it again; writes keep every other key of the file.

// The folder of the settings file, ending with "/": "$XDG_CONFIG_HOME/Lumas/", or
// "$HOME/.config/Lumas/" when XDG_CONFIG_HOME is unset, empty or not an absolute path. With
// neither variable usable it is the folder "Lumas/" in the current directory (made absolute).
QString settingsDir();
// settingsDir() followed by "Settings.ini".
QString settingsFile();

constexpr double kDefaultEmergencyTemp = 280.0;
constexpr int kDefaultCsvInterval = 30;
// A run without a valid temperature for this long is stopped (Temperatures/BlindStopSeconds).
constexpr std::chrono::seconds kDefaultBlindStop{120};
constexpr std::chrono::seconds kMaxBlindStop{86400};

// What became of a write to the settings file.
struct SaveResult {
    bool saved = true;
    QString error;  // why the file was not saved, when `saved` is false
};

// Creates the folder of `file` (its parents too) when needed and saves it: every write to the
// settings file ends so.
SaveResult saveWithFolder(IniFile& file);

// The values the main window keeps in the settings file.
struct StoredSettings {
    int posTop = 0;    // window top, pixels
    int posLeft = 0;   // window left, pixels
    QSize windowSize;  // Width, Height: the window's inner size, pixels; invalid when not stored
    StepTemperatures temperatures{};               // T1..T12, °C with their decimals
    double singleSetPoint = 0.0;                   // SingleSP, whole °C
    StepHoldMinutes holdTimes{};                   // t1..t12, minutes
    double emergencyTemp = kDefaultEmergencyTemp;  // EmergencyTemp, °C; read at start-up only
};

// The emergency threshold in force, and why the stored one is not, when it is not.
//
// The stored text is read with a decimal point or a decimal comma whatever the locale ("200,5" and
// "200.5" are both 200.5), as the file may have been written under either; digit grouping is not
// accepted ("1,000.5" is not a number). A text that is not a number, or a number outside the
// set-point range kSetPointMin..kSetPointMax, would leave the cut-off unable to act (or acting on a
// value nobody chose), so it is not used: kDefaultEmergencyTemp is in force and `problem` tells the
// operator, once, which text was passed over. An unreadable file is a problem too. A missing file
// or key is not: the default is simply in force.
struct EmergencyThresholdSetting {
    double value = kDefaultEmergencyTemp;  // °C
    std::optional<QString> problem;        // one sentence for the operator
};

// The CSV log settings as the CSV export dialog stores them. They are kept apart from
// StoredSettings because start-up does not read them: only the dialog's OK puts them in effect.
struct CsvLogSettings {
    bool enabled = false;
    int interval = kDefaultCsvInterval;  // seconds
    QString folderPath;
};

// The blind-run limit in force (Temperatures/BlindStopSeconds: whole seconds from 0, which switches
// the stop off, to kMaxBlindStop), and why the stored one is not, when it is not. A text that is
// not such a number leaves the default in force and is named in `problem`; a missing key is no
// problem.
struct BlindStopSetting {
    std::chrono::seconds limit = kDefaultBlindStop;
    std::optional<QString> problem;  // one sentence for the operator
};

struct StartupSettings {
    StoredSettings values;
    SaveResult save;  // the save of Param=Value
    // Why values.emergencyTemp is the default rather than the stored threshold; see
    // EmergencyThresholdSetting. To be shown to the operator once.
    std::optional<QString> emergencyTempProblem;
    BlindStopSetting blindStop;
};

// Start-up: creates the file's folder with all missing parents, writes Settings/Param=Value and
// saves the file, and reads the other values. A missing or unreadable file, a missing key or a
// value that does not parse yields the key's default; the emergency temperature is read as
// readEmergencyThreshold reads it. The default window position centres a window of `windowSize`
// on a screen of `screenSize`: (screen - window) / 2, truncated toward zero. A stored size is
// taken when both Width and Height are whole numbers from 1 to kLargestStoredSide. An unreadable
// file is not replaced.
StartupSettings loadStartupSettings(const QString& path, QSize screenSize, QSize windowSize,
                                    const QLocale& locale = QLocale());

constexpr int kLargestStoredSide = 100000;

// Close: writes PosTop, PosLeft, Width and Height (when the size is valid), SingleSP and t1..t12,
// each as a whole number (the integer part, truncated toward zero with the sign kept), and T1..T12
// with their decimals, written with a decimal point in every locale (a whole temperature without
// one: "40", "40.5", "-0.25"; a value that is not finite as 0), and saves the file. T1..T12 are
// read back with a point or a comma, so files written with a whole number in them still read as
// before. EmergencyTemp is not written here; its dialog writes it.
SaveResult saveOnClose(const QString& path, const StoredSettings& values);

// Temperatures/EmergencyTemp as EmergencyThresholdSetting describes it. `locale` gives the
// decimal separator of the numbers in `problem`.
EmergencyThresholdSetting readEmergencyThreshold(const QString& path,
                                                 const QLocale& locale = QLocale());
// Temperatures/BlindStopSeconds as BlindStopSetting describes it.
BlindStopSetting readBlindStopLimit(const QString& path);
// The emergency temperature dialog: the threshold in force, readEmergencyThreshold's value.
double readEmergencyTemp(const QString& path, const QLocale& locale = QLocale());
SaveResult writeEmergencyTemp(const QString& path, double value, const QLocale& locale = QLocale());

// The programme files opened or saved last, newest first (Programmes/Recent1..Recent8); at most
// kRecentProgrammes, without repeats. Writing stores `paths` as given (repeats and the ones past
// kRecentProgrammes left out); a path with a line break is left out, as the file cannot hold it.
constexpr int kRecentProgrammes = 8;
QStringList readRecentProgrammes(const QString& path);
SaveResult writeRecentProgrammes(const QString& path, const QStringList& paths);
// `programme` put first in the list read from `path`, which is then written back.
SaveResult rememberRecentProgramme(const QString& path, const QString& programme);
// The list read from `path` without `programme`, written back.
SaveResult forgetRecentProgramme(const QString& path, const QString& programme);

// The CSV export dialog: CSV/Enabled, CSV/Interval and CSV/FolderPath. A folder path with a line
// break cannot be stored; the write then stores nothing and says so.
CsvLogSettings readCsvSettings(const QString& path);
SaveResult writeCsvSettings(const QString& path, const CsvLogSettings& settings);

}  // namespace lumas
