// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <limits>
#include <random>
#include <thread>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/ini_file.h"

namespace lumas {
namespace {

constexpr int kKeys = 4000;  // about 0.25 MB a version

// The whole text of version `version`: every line carries the version, so a file mixed from two
// versions or cut short cannot pass for one of them.
QByteArray versionText(int version) {
    QByteArray text = "[Meta]\r\nVersion=" + QByteArray::number(version) + "\r\n[Data]\r\n";
    const QByteArray tail = "=" + QByteArray::number(version) + QByteArray(48, 'x') + "\r\n";
    for (int key = 0; key < kKeys; ++key) {
        text += "Key" + QByteArray::number(key) + tail;
    }
    return text;
}

bool saveVersion(const QString& path, int version) {
    IniFile file(path);
    file.setBytes(versionText(version));
    return file.save();
}

// Runs in a forked child: saves versions first, first + 1, ... until it is killed. It dies with
// the test process should that end first.
[[noreturn]] void saveUntilKilled(const QString& path, int first) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int version = first;; ++version) {
        if (!saveVersion(path, version)) {
            ::_exit(2);
        }
    }
}

TEST(IniFileAtomicSave, KilledWhileSavingLeavesOneWholeVersion) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Settings.ini");

    // The quickest of a few saves: the first one pays for warming up.
    qint64 saveMicros = std::numeric_limits<qint64>::max();
    for (int version = 0; version < 3; ++version) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(saveVersion(path, 0));
        saveMicros = std::min(saveMicros, std::max<qint64>(timer.nsecsElapsed() / 1000, 100));
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", one save " + std::to_string(saveMicros) +
                 " us");
    std::mt19937 random(seed);
    // Kill moments spread over the first few saves of each child, so that many land mid-save.
    std::uniform_int_distribution<qint64> killAfter(0, 3 * saveMicros);

    constexpr int kRounds = 40;
    constexpr int kVersionsPerRound = 1000000;
    int lastVersion = 0;
    int roundsWithNewVersion = 0;
    for (int round = 1; round <= kRounds; ++round) {
        const int first = round * kVersionsPerRound;
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            saveUntilKilled(path, first);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(killAfter(random)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: a save failed";

        IniFile file(path);
        ASSERT_EQ(file.load(), IniFile::LoadResult::Loaded) << "round " << round;
        const int version = file.readInteger("Meta", "Version", -1);
        ASSERT_TRUE(version == lastVersion || (version >= first && version < first + 1000))
            << "round " << round << ": version " << version;
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        ASSERT_EQ(saved.readAll(), versionText(version)) << "round " << round;

        roundsWithNewVersion += version != lastVersion ? 1 : 0;
        lastVersion = version;
    }
    // The kills fell both before and after finished saves.
    EXPECT_GT(roundsWithNewVersion, 0);
    EXPECT_LT(roundsWithNewVersion, kRounds);
    std::cout << "[          ] one save " << saveMicros << " us; " << roundsWithNewVersion << " of "
              << kRounds << " kills after a finished save; folder holds "
              << QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString()
              << "\n";
}

}  // namespace
}  // namespace lumas
