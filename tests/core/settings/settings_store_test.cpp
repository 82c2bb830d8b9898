// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "core/ini_file.h"

namespace lumas {
namespace {

const QSize kScreen(1920, 1080);
const QSize kWindow(801, 600);

// Sets an environment variable for the life of the object and puts the old value back after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<QByteArray> value)
        : name_(name),
          old_(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        set(value);
    }
    ~ScopedEnv() { set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const std::optional<QByteArray>& value) {
        if (value) {
            qputenv(name_, *value);
        } else {
            qunsetenv(name_);
        }
    }
    const char* name_;
    std::optional<QByteArray> old_;
};

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every test works in a temporary XDG_CONFIG_HOME and HOME, never in the real ~/.config.
class SettingsStore : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }

    QString path() const { return settingsFile(); }

    QTemporaryDir tmp_;
    ScopedEnv home_{"HOME", QFile::encodeName(tmp_.filePath("home"))};
    ScopedEnv config_{"XDG_CONFIG_HOME", QFile::encodeName(tmp_.filePath("config/nested"))};
};

TEST_F(SettingsStore, FolderFollowsXdgConfigHomeThenHomeThenTheCurrentDirectory) {
    struct Case {
        const char* name;
        std::optional<QByteArray> xdg;
        std::optional<QByteArray> home;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"XDG_CONFIG_HOME", "/x/cfg/", "/h", "/x/cfg/Lumas/"},
        {"XDG_CONFIG_HOME at the root", "/", "/h", "/Lumas/"},
        {"empty XDG_CONFIG_HOME", "", "/h", "/h/.config/Lumas/"},
        {"relative XDG_CONFIG_HOME is ignored", "cfg", "/h/", "/h/.config/Lumas/"},
        {"no XDG_CONFIG_HOME", std::nullopt, "/h", "/h/.config/Lumas/"},
        {"neither", std::nullopt, std::nullopt, QDir::current().filePath("Lumas") + "/"},
        {"both empty", "", "", QDir::current().filePath("Lumas") + "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(settingsDir(), c.expected);
        EXPECT_EQ(settingsFile(), c.expected + "Settings.ini");
    }
}

TEST_F(SettingsStore, FirstStartGivesDefaultsAndWritesParam) {
    ASSERT_FALSE(QFileInfo::exists(settingsDir()));
    const StartupSettings startup = loadStartupSettings(path(), kScreen, kWindow);
    EXPECT_TRUE(startup.save.saved) << startup.save.error.toStdString();

    const StoredSettings& values = startup.values;
    EXPECT_EQ(values.posTop, 240);
    EXPECT_EQ(values.posLeft, 559);  // 1119 / 2, truncated
    for (int step = 0; step < kProgrammeSteps; ++step) {
        EXPECT_EQ(values.temperatures[static_cast<std::size_t>(step)], 0.0);
        EXPECT_EQ(values.holdTimes[static_cast<std::size_t>(step)], 0);
    }
    EXPECT_EQ(values.singleSetPoint, 0.0);
    EXPECT_EQ(values.emergencyTemp, 280.0);
    EXPECT_EQ(readBytes(path()), QByteArray("[Settings]\r\nParam=Value\r\n"));
}

TEST_F(SettingsStore, WindowLargerThanTheScreenIsCentredTruncatingTowardZero) {
    const StartupSettings startup = loadStartupSettings(path(), QSize(800, 600), QSize(1003, 901));
    EXPECT_EQ(startup.values.posLeft, -101);  // -203 / 2
    EXPECT_EQ(startup.values.posTop, -150);   // -301 / 2
}

// Written by the Windows program and edited by hand: CR LF, other letter case, keys and
// sections this program does not know, a comment and a blank line.
const QByteArray kWindowsFile =
    "[settings]\r\n"
    "Param=Value\r\n"
    "POSTOP=-12\r\n"
    "posleft=340\r\n"
    "Theme=Dark\r\n"
    "\r\n"
    "[TEMPERATURES]\r\n"
    "t1=25\r\n"
    "T2=-10\r\n"
    "T12=150\r\n"
    "singlesp=37\r\n"
    "EmergencyTemp=150\r\n"
    "; the ramp of the last test\r\n"
    "[holdtime]\r\n"
    "T1=5\r\n"
    "t12=9999\r\n"
    "[Vendor]\r\n"
    "Serial=AB-1234\r\n"
    "[CSV]\r\n"
    "Enabled=1\r\n"
    "Interval=5\r\n"
    "FolderPath=C:\\Logs\r\n";

TEST_F(SettingsStore, WindowsFileLoadsAndSavesBackByteForByte) {
    ASSERT_TRUE(QDir().mkpath(settingsDir()));
    ASSERT_TRUE(writeBytes(path(), kWindowsFile));

    const StartupSettings startup = loadStartupSettings(path(), kScreen, kWindow);
    ASSERT_TRUE(startup.save.saved) << startup.save.error.toStdString();
    const StoredSettings& values = startup.values;
    EXPECT_EQ(values.posTop, -12);
    EXPECT_EQ(values.posLeft, 340);
    EXPECT_EQ(values.temperatures[0], 25.0);
    EXPECT_EQ(values.temperatures[1], -10.0);
    EXPECT_EQ(values.temperatures[2], 0.0);
    EXPECT_EQ(values.temperatures[11], 150.0);
    EXPECT_EQ(values.singleSetPoint, 37.0);
    EXPECT_EQ(values.emergencyTemp, 150.0);
    EXPECT_EQ(values.holdTimes[0], 5);
    EXPECT_EQ(values.holdTimes[11], 9999);
    EXPECT_EQ(readBytes(path()), kWindowsFile);  // Param was there already

    // Saving the values shown leaves every line as it was and adds the keys the file lacked at
    // the end of their sections.
    QByteArray expected = kWindowsFile;
    QByteArray temperatures = "EmergencyTemp=150\r\n";
    QByteArray holdTimes = "t12=9999\r\n";
    for (int n = 3; n <= 11; ++n) {
        temperatures += "T" + QByteArray::number(n) + "=0\r\n";
    }
    for (int n = 2; n <= 11; ++n) {
        holdTimes += "t" + QByteArray::number(n) + "=0\r\n";
    }
    expected.replace("EmergencyTemp=150\r\n", temperatures);
    expected.replace("t12=9999\r\n", holdTimes);
    ASSERT_TRUE(saveOnClose(path(), values).saved);
    EXPECT_EQ(readBytes(path()), expected);

    // A changed value is written in place, under the name's spelling in the file.
    StoredSettings changed = values;
    changed.temperatures[0] = 30.0;
    changed.posLeft = 1;
    ASSERT_TRUE(saveOnClose(path(), changed).saved);
    expected.replace("t1=25\r\n", "t1=30\r\n");
    expected.replace("posleft=340\r\n", "posleft=1\r\n");
    EXPECT_EQ(readBytes(path()), expected);
    EXPECT_EQ(readCsvSettings(path()).folderPath, "C:\\Logs");
}

TEST_F(SettingsStore, ValuesThatDoNotParseYieldDefaults) {
    ASSERT_TRUE(QDir().mkpath(settingsDir()));
    ASSERT_TRUE(writeBytes(path(),
                           "[Settings]\nPosTop=abc\nPosLeft=\n"
                           "[Temperatures]\nT1=2x5\nT2=hot\nT3=1,000.5\nSingleSP=1e3\n"
                           "EmergencyTemp=nan\n"
                           "[HoldTime]\nt1=5min\nt2=99999999999\n"
                           "[CSV]\nEnabled=yes\nInterval=fast\n"));
    const StoredSettings values = loadStartupSettings(path(), kScreen, kWindow).values;
    EXPECT_EQ(values.posTop, 240);
    EXPECT_EQ(values.posLeft, 559);
    EXPECT_EQ(values.temperatures[0], 0.0);
    EXPECT_EQ(values.temperatures[1], 0.0);
    EXPECT_EQ(values.temperatures[2], 0.0);
    EXPECT_EQ(values.singleSetPoint, 0.0);
    EXPECT_EQ(values.emergencyTemp, 280.0);
    EXPECT_EQ(values.holdTimes[0], 0);
    EXPECT_EQ(values.holdTimes[1], 0);
    const CsvLogSettings csv = readCsvSettings(path());
    EXPECT_FALSE(csv.enabled);
    EXPECT_EQ(csv.interval, 30);
}

TEST_F(SettingsStore, CloseStoresTheSingleSetPointAsAWholeNumberTruncatedTowardZero) {
    struct Case {
        double value;
        const char* stored;
    };
    const std::vector<Case> cases = {
        {25.5, "25"},    {-10.5, "-10"}, {-0.5, "0"},          {0.9, "0"},
        {499.99, "499"}, {-70.0, "-70"}, {1e12, "2147483647"}, {-1e12, "-2147483648"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        StoredSettings values;
        values.singleSetPoint = c.value;
        ASSERT_TRUE(saveOnClose(path(), values).saved);
        IniFile file(path());
        ASSERT_EQ(file.load(), IniFile::LoadResult::Loaded);
        EXPECT_EQ(file.readString("Temperatures", "SingleSP", "?"), c.stored);
    }
    StoredSettings values;
    values.singleSetPoint = 37.9;
    values.holdTimes[2] = 45;
    values.posTop = 17;
    values.posLeft = -3;
    ASSERT_TRUE(saveOnClose(path(), values).saved);
    const StoredSettings loaded = loadStartupSettings(path(), kScreen, kWindow).values;
    EXPECT_EQ(loaded.singleSetPoint, 37.0);
    EXPECT_EQ(loaded.holdTimes[2], 45);
    EXPECT_EQ(loaded.posTop, 17);
    EXPECT_EQ(loaded.posLeft, -3);
}

// The programme temperatures keep their decimals across a restart, written with a point in every
// locale; a whole one is written as before, without a point.
TEST_F(SettingsStore, ProgrammeTemperaturesKeepTheirDecimals) {
    struct Case {
        double value;
        const char* stored;
    };
    const std::vector<Case> cases = {
        {40.5, "40.5"}, {-10.25, "-10.25"}, {40.0, "40"},     {-70.0, "-70"},
        {0.1, "0.1"},   {-0.0, "0"},        {499.9, "499.9"},
    };
    for (const char* localeName : {"en_US", "de_DE"}) {
        SCOPED_TRACE(localeName);
        const QLocale locale(QString::fromLatin1(localeName));
        const QLocale before;
        QLocale::setDefault(locale);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.value);
            StoredSettings values;
            values.temperatures[4] = c.value;
            ASSERT_TRUE(saveOnClose(path(), values).saved);
            IniFile file(path());
            ASSERT_EQ(file.load(), IniFile::LoadResult::Loaded);
            EXPECT_EQ(file.readString("Temperatures", "T5", "?"), c.stored);
            EXPECT_EQ(loadStartupSettings(path(), kScreen, kWindow, locale).values.temperatures[4],
                      c.value);
        }
        QLocale::setDefault(before);
    }

    // A file written by hand or under a decimal-comma locale reads the same.
    ASSERT_TRUE(writeBytes(path(), "[Temperatures]\r\nT1=40,5\r\nT2= -12.75 \r\nT3=25\r\n"));
    const StoredSettings loaded = loadStartupSettings(path(), kScreen, kWindow).values;
    EXPECT_EQ(loaded.temperatures[0], 40.5);
    EXPECT_EQ(loaded.temperatures[1], -12.75);
    EXPECT_EQ(loaded.temperatures[2], 25.0);
}

TEST_F(SettingsStore, RecentProgrammesAreKeptNewestFirstWithoutRepeats) {
    EXPECT_TRUE(readRecentProgrammes(path()).isEmpty());
    for (int n = 1; n <= 10; ++n) {
        ASSERT_TRUE(rememberRecentProgramme(path(), QStringLiteral("/p/%1.json").arg(n)).saved);
    }
    // The eight newest, newest first; choosing an older one again brings it to the front.
    QStringList expected;
    for (int n = 10; n >= 3; --n) {
        expected << QStringLiteral("/p/%1.json").arg(n);
    }
    EXPECT_EQ(readRecentProgrammes(path()), expected);
    ASSERT_TRUE(rememberRecentProgramme(path(), "/p/5.json").saved);
    expected.removeAll("/p/5.json");
    expected.prepend("/p/5.json");
    EXPECT_EQ(readRecentProgrammes(path()), expected);

    ASSERT_TRUE(forgetRecentProgramme(path(), "/p/9.json").saved);
    expected.removeAll("/p/9.json");
    EXPECT_EQ(readRecentProgrammes(path()), expected);

    // A path the file cannot hold is left out; one with blanks at its ends comes back whole.
    ASSERT_TRUE(writeRecentProgrammes(path(), {"/a\nb.json", " /c d.json ", "/e.json"}).saved);
    EXPECT_EQ(readRecentProgrammes(path()), (QStringList{" /c d.json ", "/e.json"}));
}

TEST_F(SettingsStore, EmergencyTemperatureIsADecimalInTheLocalesForm) {
    ASSERT_TRUE(QDir().mkpath(settingsDir()));
    ASSERT_TRUE(writeBytes(path(), "[Temperatures]\r\nEmergencyTemp=150\r\n"));
    EXPECT_EQ(readEmergencyTemp(path()), 150.0);
    EXPECT_EQ(loadStartupSettings(path(), kScreen, kWindow).values.emergencyTemp, 150.0);

    const QLocale german("de_DE");
    ASSERT_TRUE(writeEmergencyTemp(path(), 95.5, german).saved);
    EXPECT_TRUE(readBytes(path()).contains("\r\nEmergencyTemp=95,5\r\n"));
    EXPECT_EQ(readEmergencyTemp(path(), german), 95.5);
    EXPECT_EQ(loadStartupSettings(path(), kScreen, kWindow, german).values.emergencyTemp, 95.5);

    ASSERT_TRUE(writeEmergencyTemp(path(), 95.5, QLocale("en_US")).saved);
    EXPECT_TRUE(readBytes(path()).contains("\r\nEmergencyTemp=95.5\r\n"));
    EXPECT_EQ(readEmergencyTemp(path(), QLocale("en_US")), 95.5);

    QFile::remove(path());
    EXPECT_EQ(readEmergencyTemp(path()), 280.0);
}

TEST_F(SettingsStore, EmergencyThresholdThatCannotActIsReplacedByTheDefaultAndReported) {
    enum class Problem { None, Empty, NotANumber, Outside };
    struct Case {
        const char* line;  // the line under [Temperatures]
        double inForce;
        Problem problem;
    };
    const std::vector<Case> cases = {
        // Either decimal separator, whatever the locale: the file may come from either.
        {"EmergencyTemp=200.5", 200.5, Problem::None},
        {"EmergencyTemp=200,5", 200.5, Problem::None},
        {"EmergencyTemp=\"200,5\"", 200.5, Problem::None},
        // The set-point range -70..500 holds, both ends included.
        {"EmergencyTemp=-70", -70.0, Problem::None},
        {"EmergencyTemp=500", 500.0, Problem::None},
        {"EmergencyTemp=-71", 280.0, Problem::Outside},
        {"EmergencyTemp=500.1", 280.0, Problem::Outside},
        {"EmergencyTemp=500,1", 280.0, Problem::Outside},
        {"EmergencyTemp=1e300", 280.0, Problem::Outside},
        {"EmergencyTemp=1e999", 280.0, Problem::Outside},
        {"EmergencyTemp=inf", 280.0, Problem::Outside},
        {"EmergencyTemp=-inf", 280.0, Problem::Outside},
        {"EmergencyTemp=abc", 280.0, Problem::NotANumber},
        {"EmergencyTemp=nan", 280.0, Problem::NotANumber},
        {"EmergencyTemp=200 C", 280.0, Problem::NotANumber},
        // Digit grouping in either form is not a number (an English or a German reading would
        // make each 1000.5).
        {"EmergencyTemp=1,000.5", 280.0, Problem::NotANumber},
        {"EmergencyTemp=1.000,5", 280.0, Problem::NotANumber},
        {"EmergencyTemp=", 280.0, Problem::Empty},
        {"EmergencyTemp=\"\"", 280.0, Problem::Empty},
        // A missing key is the first start's case: the default, silently.
        {"SingleSP=20", 280.0, Problem::None},
    };
    const std::vector<QLocale> locales = {QLocale::c(),
                                          QLocale(QLocale::English, QLocale::UnitedStates),
                                          QLocale(QLocale::German, QLocale::Germany)};
    ASSERT_TRUE(QDir().mkpath(settingsDir()));
    for (const Case& c : cases) {
        for (const QLocale& locale : locales) {
            SCOPED_TRACE(std::string(c.line) + " read under " + locale.name().toStdString());
            ASSERT_TRUE(writeBytes(path(), QByteArray("[Temperatures]\r\n") + c.line + "\r\n"));
            const EmergencyThresholdSetting read = readEmergencyThreshold(path(), locale);
            EXPECT_EQ(read.value, c.inForce);
            EXPECT_EQ(readEmergencyTemp(path(), locale), c.inForce);
            const StartupSettings startup = loadStartupSettings(path(), kScreen, kWindow, locale);
            EXPECT_EQ(startup.values.emergencyTemp, c.inForce);
            EXPECT_EQ(startup.emergencyTempProblem, read.problem);

            const QString problem = read.problem.value_or(QString());
            switch (c.problem) {
                case Problem::None:
                    EXPECT_FALSE(read.problem) << problem.toStdString();
                    break;
                case Problem::Empty:
                    EXPECT_EQ(problem,
                              "The emergency temperature in the settings file is empty; "
                              "280 °C is used instead.");
                    break;
                case Problem::NotANumber:
                    EXPECT_TRUE(
                        problem.endsWith(" in the settings file is not a number; 280 °C is "
                                         "used instead."))
                        << problem.toStdString();
                    break;
                case Problem::Outside:
                    EXPECT_TRUE(
                        problem.endsWith(" in the settings file is outside -70 to 500 °C; "
                                         "280 °C is used instead."))
                        << problem.toStdString();
                    break;
            }
        }
    }

    // The message names the text as the file has it.
    ASSERT_TRUE(writeBytes(path(), "[Temperatures]\r\nEmergencyTemp=1e300\r\n"));
    EXPECT_EQ(readEmergencyThreshold(path()).problem,
              "The emergency temperature \"1e300\" in the settings file is outside -70 to 500 "
              "°C; 280 °C is used instead.");
    ASSERT_TRUE(writeBytes(path(), "[Temperatures]\r\nEmergencyTemp=abc\r\n"));
    EXPECT_EQ(readEmergencyThreshold(path()).problem,
              "The emergency temperature \"abc\" in the settings file is not a number; 280 °C is "
              "used instead.");

    // No file at all is the first start's case too.
    ASSERT_TRUE(QFile::remove(path()));
    const EmergencyThresholdSetting missing = readEmergencyThreshold(path());
    EXPECT_EQ(missing.value, 280.0);
    EXPECT_FALSE(missing.problem);
    EXPECT_FALSE(loadStartupSettings(path(), kScreen, kWindow).emergencyTempProblem);
}

TEST_F(SettingsStore, CsvSettingsRoundTripAndKeepTheRestOfTheFile) {
    EXPECT_EQ(readCsvSettings(path()).interval, 30);
    ASSERT_TRUE(loadStartupSettings(path(), kScreen, kWindow).save.saved);

    const CsvLogSettings settings{true, 400, "/data/chamber logs/"};
    ASSERT_TRUE(writeCsvSettings(path(), settings).saved);
    const CsvLogSettings read = readCsvSettings(path());
    EXPECT_TRUE(read.enabled);
    EXPECT_EQ(read.interval, 400);
    EXPECT_EQ(read.folderPath, settings.folderPath);
    EXPECT_EQ(readBytes(path()), QByteArray("[Settings]\r\nParam=Value\r\n[CSV]\r\nEnabled=1\r\n"
                                            "Interval=400\r\nFolderPath=/data/chamber logs/\r\n"));

    // A folder path with a line break would break the file's structure: nothing is stored.
    const QByteArray before = readBytes(path());
    const SaveResult refused = writeCsvSettings(path(), {false, 5, "/tmp/a\n[Settings]"});
    EXPECT_FALSE(refused.saved);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(readBytes(path()), before);
}

TEST_F(SettingsStore, SaveThatCannotBeWrittenIsReported) {
    // The settings folder's place is taken by a plain file, so nothing can be created in it
    // (this holds for root too, unlike a folder without write permission).
    ASSERT_TRUE(QDir().mkpath(tmp_.filePath("config")));
    ASSERT_TRUE(writeBytes(tmp_.filePath("config/nested"), "not a folder"));

    const StartupSettings startup = loadStartupSettings(path(), kScreen, kWindow);
    EXPECT_FALSE(startup.save.saved);
    EXPECT_FALSE(startup.save.error.isEmpty());
    EXPECT_EQ(startup.values.emergencyTemp, 280.0);
    EXPECT_EQ(startup.values.posTop, 240);

    for (const SaveResult& result :
         {saveOnClose(path(), StoredSettings{}), writeEmergencyTemp(path(), 100.0),
          writeCsvSettings(path(), CsvLogSettings{})}) {
        EXPECT_FALSE(result.saved);
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_EQ(readBytes(tmp_.filePath("config/nested")), QByteArray("not a folder"));
}

TEST_F(SettingsStore, UnreadableFileGivesDefaultsAndIsNotReplaced) {
    ASSERT_TRUE(QDir().mkpath(path()));  // a folder where the file should be
    const StartupSettings startup = loadStartupSettings(path(), kScreen, kWindow);
    EXPECT_FALSE(startup.save.saved);
    EXPECT_EQ(startup.values.emergencyTemp, 280.0);

    // The emergency threshold in force is not the one the operator stored: they are told why.
    const EmergencyThresholdSetting emergency = readEmergencyThreshold(path());
    EXPECT_EQ(emergency.value, 280.0);
    const QString problem = emergency.problem.value_or(QString());
    EXPECT_TRUE(problem.startsWith("The settings file could not be read (" +
                                   QDir::toNativeSeparators(path()) + ": "))
        << problem.toStdString();
    EXPECT_TRUE(problem.endsWith("); the emergency temperature 280 °C is used."))
        << problem.toStdString();
    EXPECT_EQ(startup.emergencyTempProblem, emergency.problem);
    EXPECT_FALSE(saveOnClose(path(), startup.values).saved);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

// The window's size is kept beside its place; a size that cannot be a window's is not taken.
TEST_F(SettingsStore, WindowSizeRoundTripsAndNonsenseIsPassedOver) {
    ASSERT_TRUE(QDir().mkpath(settingsDir()));
    StoredSettings values;
    values.windowSize = QSize(1400, 800);
    ASSERT_TRUE(saveOnClose(path(), values).saved);
    EXPECT_EQ(loadStartupSettings(path(), kScreen, kWindow).values.windowSize, QSize(1400, 800));

    // Nothing stored over it when the size is not known.
    values.windowSize = QSize();
    ASSERT_TRUE(saveOnClose(path(), values).saved);
    EXPECT_EQ(loadStartupSettings(path(), kScreen, kWindow).values.windowSize, QSize(1400, 800));

    for (const QByteArray& stored :
         {QByteArray("Width=0\nHeight=800"), QByteArray("Width=-5\nHeight=800"),
          QByteArray("Width=1400"), QByteArray("Width=wide\nHeight=800"),
          QByteArray("Width=1400\nHeight=100001")}) {
        ASSERT_TRUE(writeBytes(path(), "[Settings]\n" + stored + "\n"));
        EXPECT_FALSE(loadStartupSettings(path(), kScreen, kWindow).values.windowSize.isValid())
            << stored.constData();
    }
}

}  // namespace
}  // namespace lumas
