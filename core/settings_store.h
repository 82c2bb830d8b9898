#pragma once

#include <QLocale>
#include <QSize>
#include <QString>

#include "core/target_curve.h"

namespace lumas {

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

// What became of a write to the settings file.
struct SaveResult {
    bool saved = true;
    QString error;  // why the file was not saved, when `saved` is false
};

// The values the main window keeps in the settings file.
struct StoredSettings {
    int posTop = 0;                                // window top, pixels
    int posLeft = 0;                               // window left, pixels
    StepTemperatures temperatures{};               // T1..T12, whole °C
    double singleSetPoint = 0.0;                   // SingleSP, whole °C
    StepHoldMinutes holdTimes{};                   // t1..t12, minutes
    double emergencyTemp = kDefaultEmergencyTemp;  // EmergencyTemp, °C; read at start-up only
};

// The CSV log settings as the CSV export dialog stores them. They are kept apart from
// StoredSettings because start-up does not read them: only the dialog's OK puts them in effect.
struct CsvLogSettings {
    bool enabled = false;
    int interval = kDefaultCsvInterval;  // seconds
    QString folderPath;
};

struct StartupSettings {
    StoredSettings values;
    SaveResult save;  // the save of Param=Value
};

// Start-up: creates the file's folder with all missing parents, writes Settings/Param=Value and
// saves the file, and reads the other values. A missing or unreadable file, a missing key or a
// value that does not parse yields the key's default; the default window position centres a
// window of `windowSize` on a screen of `screenSize`: (screen - window) / 2, truncated toward
// zero. An unreadable file is not replaced.
StartupSettings loadStartupSettings(const QString& path, QSize screenSize, QSize windowSize,
                                    const QLocale& locale = QLocale());

// Close: writes PosTop, PosLeft, T1..T12, SingleSP and t1..t12, each as a whole number (the
// integer part, truncated toward zero with the sign kept), and saves the file. EmergencyTemp is
// not written here; its dialog writes it.
SaveResult saveOnClose(const QString& path, const StoredSettings& values);

// The emergency temperature dialog: Temperatures/EmergencyTemp, 280.0 when missing.
double readEmergencyTemp(const QString& path, const QLocale& locale = QLocale());
SaveResult writeEmergencyTemp(const QString& path, double value, const QLocale& locale = QLocale());

// The CSV export dialog: CSV/Enabled, CSV/Interval and CSV/FolderPath. A folder path with a line
// break cannot be stored; the write then stores nothing and says so.
CsvLogSettings readCsvSettings(const QString& path);
SaveResult writeCsvSettings(const QString& path, const CsvLogSettings& settings);

}  // namespace lumas
