// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "core/ini_file.h"
#include "core/number_text.h"
#include "core/shared_state.h"

namespace lumas {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kTemperatures = QStringLiteral("Temperatures");
const QString kHoldTime = QStringLiteral("HoldTime");
const QString kCsv = QStringLiteral("CSV");
const QString kEmergencyTemp = QStringLiteral("EmergencyTemp");
const QString kProgrammes = QStringLiteral("Programmes");

QString recentKey(int index) {
    return QStringLiteral("Recent%1").arg(index + 1);
}

QString temperatureKey(int step) {
    return QStringLiteral("T%1").arg(step + 1);
}

QString holdTimeKey(int step) {
    return QStringLiteral("t%1").arg(step + 1);
}

// The integer part of `value`, truncated toward zero, held to the range of int; NaN gives 0.
int wholeNumber(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::clamp(value, lowest, highest)));
}

// Where a window of `window` pixels sits when centred in `screen` pixels.
int centredOffset(int screen, int window) {
    return (screen - window) / 2;
}

// The number in `text`, written with a decimal point or a decimal comma. Digit grouping is
// refused: with the comma taken as the decimal separator, "1,000.5" has two of them. A number too
// large for a double gives an infinity, which the caller's range check refuses as out of range
// rather than as not a number. NaN is not a number.
std::optional<double> decimalIn(QString text) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale form = QLocale::c();
    form.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = form.toDouble(text, &ok);
    if ((!ok && !std::isinf(value)) || std::isnan(value)) {
        return std::nullopt;
    }
    return value;
}

// A programme temperature as the file keeps it: with a decimal point whatever the locale, as
// short as it reads back, and a whole value without a point ("40", as older files hold it).
QString temperatureText(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    QLocale form = QLocale::c();
    form.setNumberOptions(QLocale::OmitGroupSeparator);
    return form.toString(value == 0.0 ? 0.0 : value, 'g', QLocale::FloatingPointShortest);
}

// The emergency threshold of a file that load() returned `loaded` for.
EmergencyThresholdSetting emergencyThresholdIn(const IniFile& file, IniFile::LoadResult loaded,
                                               const QLocale& locale) {
    const QString fallback = generalNumberText(kDefaultEmergencyTemp, locale);
    if (loaded == IniFile::LoadResult::Unreadable) {
        return {kDefaultEmergencyTemp,
                QStringLiteral("The settings file could not be read (%1); the emergency "
                               "temperature %2 °C is used.")
                    .arg(file.errorString(), fallback)};
    }
    if (!file.hasKey(kTemperatures, kEmergencyTemp)) {
        return {};
    }
    const QString stored = file.readString(kTemperatures, kEmergencyTemp, QString()).trimmed();
    if (stored.isEmpty()) {
        return {kDefaultEmergencyTemp,
                QStringLiteral("The emergency temperature in the settings file is empty; %1 °C "
                               "is used instead.")
                    .arg(fallback)};
    }
    const std::optional<double> value = decimalIn(stored);
    if (!value) {
        return {kDefaultEmergencyTemp,
                QStringLiteral("The emergency temperature \"%1\" in the settings file is not a "
                               "number; %2 °C is used instead.")
                    .arg(stored, fallback)};
    }
    if (!(*value >= kSetPointMin && *value <= kSetPointMax)) {
        return {kDefaultEmergencyTemp,
                QStringLiteral("The emergency temperature \"%1\" in the settings file is outside "
                               "%2 to %3 °C; %4 °C is used instead.")
                    .arg(stored, generalNumberText(kSetPointMin, locale),
                         generalNumberText(kSetPointMax, locale), fallback)};
    }
    return {*value, std::nullopt};
}

BlindStopSetting blindStopIn(const IniFile& file) {
    const QString key = QStringLiteral("BlindStopSeconds");
    if (!file.hasKey(kTemperatures, key)) {
        return {};
    }
    const QString stored = file.readString(kTemperatures, key, QString()).trimmed();
    bool ok = stored.size() <= 9 && !stored.isEmpty() &&
              std::all_of(stored.begin(), stored.end(), [](QChar c) { return c.isDigit(); });
    const long long seconds = ok ? stored.toLongLong(&ok) : 0;
    if (!ok || seconds > kMaxBlindStop.count()) {
        return {kDefaultBlindStop,
                QStringLiteral("BlindStopSeconds \"%1\" in the settings file is not a whole number "
                               "of seconds from 0 to %2; %3 s is used instead.")
                    .arg(stored)
                    .arg(kMaxBlindStop.count())
                    .arg(kDefaultBlindStop.count())};
    }
    return {std::chrono::seconds(seconds), std::nullopt};
}

}  // namespace

SaveResult saveWithFolder(IniFile& file) {
    const QString folder = QFileInfo(file.path()).absolutePath();
    if (!QDir().mkpath(folder)) {
        return {false, QStringLiteral("%1: the folder could not be created")
                           .arg(QDir::toNativeSeparators(folder))};
    }
    if (!file.save()) {
        return {false, file.errorString()};
    }
    return {};
}

QString settingsDir() {
    // `base` followed by `rest` and a closing "/", without doubled separators.
    const auto folder = [](const QString& base, const char* rest) {
        return QDir::cleanPath(base + QLatin1String(rest)) + QLatin1Char('/');
    };
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome)) {
        return folder(configHome, "/Lumas");
    }
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty()) {
        return folder(home, "/.config/Lumas");
    }
    return folder(QDir::currentPath(), "/Lumas");
}

QString settingsFile() {
    return settingsDir() + QStringLiteral("Settings.ini");
}

StartupSettings loadStartupSettings(const QString& path, QSize screenSize, QSize windowSize,
                                    const QLocale& locale) {
    IniFile file(path, locale);
    const IniFile::LoadResult loaded = file.load();
    const EmergencyThresholdSetting emergency = emergencyThresholdIn(file, loaded, locale);
    file.writeString(kSettings, QStringLiteral("Param"), QStringLiteral("Value"));

    StartupSettings result;
    StoredSettings& values = result.values;
    values.posTop = file.readInteger(kSettings, QStringLiteral("PosTop"),
                                     centredOffset(screenSize.height(), windowSize.height()));
    values.posLeft = file.readInteger(kSettings, QStringLiteral("PosLeft"),
                                      centredOffset(screenSize.width(), windowSize.width()));
    const int width = file.readInteger(kSettings, QStringLiteral("Width"), 0);
    const int height = file.readInteger(kSettings, QStringLiteral("Height"), 0);
    if (width > 0 && height > 0 && width <= kLargestStoredSide && height <= kLargestStoredSide) {
        values.windowSize = QSize(width, height);
    }
    for (int step = 0; step < kProgrammeSteps; ++step) {
        const auto i = static_cast<std::size_t>(step);
        const std::optional<double> temperature =
            decimalIn(file.readString(kTemperatures, temperatureKey(step), QString()).trimmed());
        values.temperatures[i] = temperature && std::isfinite(*temperature) ? *temperature : 0.0;
        values.holdTimes[i] = file.readInteger(kHoldTime, holdTimeKey(step), 0);
    }
    values.singleSetPoint = file.readInteger(kTemperatures, QStringLiteral("SingleSP"), 0);
    values.emergencyTemp = emergency.value;
    result.emergencyTempProblem = emergency.problem;
    result.blindStop = blindStopIn(file);

    result.save = saveWithFolder(file);
    return result;
}

SaveResult saveOnClose(const QString& path, const StoredSettings& values) {
    IniFile file(path);
    file.load();
    file.writeInteger(kSettings, QStringLiteral("PosTop"), values.posTop);
    file.writeInteger(kSettings, QStringLiteral("PosLeft"), values.posLeft);
    if (values.windowSize.isValid() && !values.windowSize.isEmpty()) {
        file.writeInteger(kSettings, QStringLiteral("Width"), values.windowSize.width());
        file.writeInteger(kSettings, QStringLiteral("Height"), values.windowSize.height());
    }
    for (int step = 0; step < kProgrammeSteps; ++step) {
        const auto i = static_cast<std::size_t>(step);
        file.writeString(kTemperatures, temperatureKey(step),
                         temperatureText(values.temperatures[i]));
    }
    file.writeInteger(kTemperatures, QStringLiteral("SingleSP"),
                      wholeNumber(values.singleSetPoint));
    for (int step = 0; step < kProgrammeSteps; ++step) {
        file.writeInteger(kHoldTime, holdTimeKey(step),
                          values.holdTimes[static_cast<std::size_t>(step)]);
    }
    return saveWithFolder(file);
}

EmergencyThresholdSetting readEmergencyThreshold(const QString& path, const QLocale& locale) {
    IniFile file(path, locale);
    const IniFile::LoadResult loaded = file.load();
    return emergencyThresholdIn(file, loaded, locale);
}

BlindStopSetting readBlindStopLimit(const QString& path) {
    IniFile file(path);
    if (file.load() == IniFile::LoadResult::Unreadable) {
        return {};
    }
    return blindStopIn(file);
}

double readEmergencyTemp(const QString& path, const QLocale& locale) {
    return readEmergencyThreshold(path, locale).value;
}

SaveResult writeEmergencyTemp(const QString& path, double value, const QLocale& locale) {
    IniFile file(path, locale);
    file.load();
    file.writeFloat(kTemperatures, kEmergencyTemp, value);
    return saveWithFolder(file);
}

QStringList readRecentProgrammes(const QString& path) {
    IniFile file(path);
    file.load();
    QStringList paths;
    for (int k = 0; k < kRecentProgrammes; ++k) {
        const QString stored = file.readString(kProgrammes, recentKey(k), QString());
        if (!stored.isEmpty() && !paths.contains(stored)) {
            paths << stored;
        }
    }
    return paths;
}

SaveResult writeRecentProgrammes(const QString& path, const QStringList& paths) {
    IniFile file(path);
    if (file.load() == IniFile::LoadResult::Unreadable) {
        return {false, file.errorString()};
    }
    QStringList kept;
    for (const QString& programme : paths) {
        if (kept.size() < kRecentProgrammes && !programme.isEmpty() && !kept.contains(programme) &&
            !programme.contains(QLatin1Char('\n')) && !programme.contains(QLatin1Char('\r'))) {
            kept << programme;
        }
    }
    for (int k = 0; k < kRecentProgrammes; ++k) {
        file.writeString(kProgrammes, recentKey(k), k < kept.size() ? kept[k] : QString());
    }
    return saveWithFolder(file);
}

SaveResult rememberRecentProgramme(const QString& path, const QString& programme) {
    QStringList paths = readRecentProgrammes(path);
    paths.removeAll(programme);
    paths.prepend(programme);
    return writeRecentProgrammes(path, paths);
}

SaveResult forgetRecentProgramme(const QString& path, const QString& programme) {
    QStringList paths = readRecentProgrammes(path);
    paths.removeAll(programme);
    return writeRecentProgrammes(path, paths);
}

CsvLogSettings readCsvSettings(const QString& path) {
    IniFile file(path);
    file.load();
    CsvLogSettings settings;
    settings.enabled = file.readBool(kCsv, QStringLiteral("Enabled"), false);
    settings.interval = file.readInteger(kCsv, QStringLiteral("Interval"), kDefaultCsvInterval);
    settings.folderPath = file.readString(kCsv, QStringLiteral("FolderPath"), QString());
    return settings;
}

SaveResult writeCsvSettings(const QString& path, const CsvLogSettings& settings) {
    IniFile file(path);
    file.load();
    file.writeBool(kCsv, QStringLiteral("Enabled"), settings.enabled);
    file.writeInteger(kCsv, QStringLiteral("Interval"), settings.interval);
    if (!file.writeString(kCsv, QStringLiteral("FolderPath"), settings.folderPath)) {
        return {false,
                QStringLiteral("The folder path cannot be stored: it contains a line break")};
    }
    return saveWithFolder(file);
}

}  // namespace lumas
