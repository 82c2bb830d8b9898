// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

// lumasctl started as a user starts it, for the tests of tests/cli.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>

namespace lumas::test {

struct CommandRun {
    int exitCode = -1;  // -1 when it did not exit normally
    QString out;
    QString err;
    double seconds = 0.0;
};

// The environment of every run: the C locale, so that read-outs use a decimal point, and the
// settings folder `configHome` (XDG_CONFIG_HOME) when one is given, so that no user's settings
// file is read.
inline QProcessEnvironment lumasctlEnvironment(const QString& configHome = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    if (!configHome.isEmpty()) {
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    }
    return environment;
}

// A running lumasctl whose output can be awaited and which can be sent a signal.
class LumasctlProcess {
  public:
    explicit LumasctlProcess(const QStringList& arguments, const QString& configHome = {})
        : start_(std::chrono::steady_clock::now()) {
        process_.setProcessEnvironment(lumasctlEnvironment(configHome));
        // lumasctl goes with the test: a test process that dies (a sanitizer's abort, a time-out)
        // must not leave a lumasctl behind that reopens a terminal number another test is given.
        const pid_t test = ::getpid();
        process_.setChildProcessModifier([test] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != test) {
                ::_exit(127);  // the test was already gone
            }
        });
        process_.start(QStringLiteral(LUMASCTL_PATH), arguments);
        EXPECT_TRUE(process_.waitForStarted(5000));
    }
    ~LumasctlProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    LumasctlProcess(const LumasctlProcess&) = delete;
    LumasctlProcess& operator=(const LumasctlProcess&) = delete;

    // Waits until standard output holds `text`; false when it has not come within `timeoutMs`
    // or the process ended without it.
    bool waitForOutput(const QString& text, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!(out_ += QString::fromUtf8(process_.readAllStandardOutput())).contains(text)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || process_.state() == QProcess::NotRunning) {
                return false;
            }
            process_.waitForReadyRead(static_cast<int>(left.count()));
        }
        return true;
    }

    // Standard output as far as waitForOutput has read it.
    const QString& outputSoFar() const { return out_; }

    // The processor time the process has used so far, user and system, in seconds.
    double processorSeconds() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process_.processId()));
        if (!stat.open(QIODevice::ReadOnly)) {
            return -1.0;
        }
        // After the command's name in parentheses: fields 14 and 15 are utime and stime.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    void signal(int signalNumber) {
        ::kill(static_cast<pid_t>(process_.processId()), signalNumber);
    }

    // Waits for the end (lumasctl must never hang) and returns what it did.
    CommandRun finish(int timeoutMs = 20000) {
        EXPECT_TRUE(process_.waitForFinished(timeoutMs)) << "lumasctl must never hang";
        CommandRun run;
        run.exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
        run.out = out_ + QString::fromUtf8(process_.readAllStandardOutput());
        run.err = QString::fromUtf8(process_.readAllStandardError());
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        return run;
    }

  private:
    QProcess process_;
    QString out_;
    std::chrono::steady_clock::time_point start_;
};

// Runs lumasctl to its end.
inline CommandRun lumasctl(const QStringList& arguments, const QString& configHome = {}) {
    LumasctlProcess process(arguments, configHome);
    return process.finish();
}

}  // namespace lumas::test
