// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumas --metrics: the desktop program serves its core's figures.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/metrics/http_client.h"

namespace {

QProcessEnvironment desktopEnvironment(const QString& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return environment;
}

// The value of `series` in a scrape, or empty.
std::optional<double> sampleIn(const std::string& scrape, const std::string& series) {
    const std::size_t at = scrape.find("\n" + series + " ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::stod(scrape.substr(at + series.size() + 2));
}

TEST(LumasMetrics, TheWindowServesItsCoresFiguresWhenAsked) {
    const QTemporaryDir config;
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("Lumas")));
    QFile settings(config.filePath(QStringLiteral("Lumas/Settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Temperatures]\r\nEmergencyTemp=150\r\n");
    settings.close();

    QProcess lumas;
    lumas.setProcessEnvironment(desktopEnvironment(config.path()));
    lumas.start(QStringLiteral(LUMAS_PATH), {QStringLiteral("--metrics"), QStringLiteral("0")});
    ASSERT_TRUE(lumas.waitForStarted(5000));
    QString out;
    const QRegularExpression printed(
        QStringLiteral("Metrics: http://127\\.0\\.0\\.1:(\\d+)/metrics"));
    while (!printed.match(out).hasMatch() && lumas.waitForReadyRead(10000)) {
        out += QString::fromUtf8(lumas.readAllStandardOutput());
    }
    const QRegularExpressionMatch match = printed.match(out);
    ASSERT_TRUE(match.hasMatch()) << out.toStdString();
    const auto port = static_cast<quint16>(match.captured(1).toUInt());

    // Not connected: the link is down and there is no reading; the threshold is the settings
    // file's, as the window loaded it.
    const std::string scrape =
        lumas::test::httpRequest(port, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(sampleIn(scrape, "lumas_link_up"), 0.0) << scrape;
    EXPECT_EQ(sampleIn(scrape, "lumas_temperature_celsius"), std::nullopt) << scrape;
    EXPECT_EQ(sampleIn(scrape, "lumas_emergency_threshold_celsius"), 150.0) << scrape;

    lumas.terminate();
    EXPECT_TRUE(lumas.waitForFinished(10000));

    QProcess refused;
    refused.setProcessEnvironment(desktopEnvironment(config.path()));
    refused.start(QStringLiteral(LUMAS_PATH), {QStringLiteral("--metrics"), QStringLiteral("x:y")});
    ASSERT_TRUE(refused.waitForFinished(10000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(refused.readAllStandardError().contains("--metrics takes ADDRESS:PORT"));
}

}  // namespace
