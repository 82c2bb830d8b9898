// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "cli/watch_command.h"

#include <QLocale>
#include <QString>

#include <iostream>

#include "cli/command_line.h"
#include "cli/core_session.h"
#include "cli/exit_status.h"
#include "core/number_text.h"
#include "threading/stop_signals.h"

namespace lumas::cli {

namespace {

// Prints "23.4°C  set point 25.0°C  Running" whenever one of them changes, from what each worker
// update found on the link; "--" for all three while the readings are not fresh.
class ReadoutPrinter final : public LinkObserver {
  public:
    void polled(const LinkView& view) override {
        const QLocale c = QLocale::c();
        const QString line =
            view.live ? oneDecimalText(view.temperature, c) + QStringLiteral("°C  set point ") +
                            oneDecimalText(view.setPoint, c) + QStringLiteral("°C  ") +
                            (view.stopped ? QStringLiteral("Stopped") : QStringLiteral("Running"))
                      : QStringLiteral("--  set point --  --");
        if (line != lastLine_) {
            lastLine_ = line;
            std::cout << line.toStdString() << std::endl;
        }
    }

  private:
    QString lastLine_;
};

}  // namespace

int watchCommand(const std::vector<std::string>& arguments) {
    const WatchArguments parsed = parseWatchArguments(arguments);
    StopSignals stopSignals(StopSignals::endingSignals());
    CoreSession session(parsed.timeScale, stopSignals);
    if (parsed.metrics) {
        session.serveMetrics(*parsed.metrics);
    }
    session.connect(parsed.port);
    if (stopSignals.first() != 0) {
        return 0;
    }
    std::cout << "Watching " << session.devicePath() << "; Ctrl-C ends." << std::endl;
    ReadoutPrinter printer;
    session.chamber().addLinkObserver(&printer);

    // A controller that stops answering or a device that goes away is the control's to handle: it
    // reports the loss (printed by the session's events), keeps trying, and readings resume by
    // themselves. Only a stop signal ends watching; watching never stops the controller.
    session.waitUntil([] { return false; }, std::nullopt, true);
    session.chamber().removeLinkObserver(&printer);
    session.close();
    return 0;
}

}  // namespace lumas::cli
