#include "cli/watch_command.h"

#include <QString>

#include <iostream>
#include <optional>

#include "cli/command_line.h"
#include "cli/core_session.h"
#include "cli/exit_status.h"
#include "cli/stop_signals.h"

namespace lumas::cli {

namespace {

// "23.4°C  set point 25.0°C  Running", from the read-outs as the last worker update left them;
// empty until an update has shown a run state.
QString readoutLine(const TerminalWindow& window) {
    if (window.lCS.text().isEmpty()) {
        return {};
    }
    return window.lTemp.text() + QStringLiteral("  set point ") + window.lSetPoint.text() +
           QStringLiteral("  ") + window.lCS.text();
}

}  // namespace

int watchCommand(const std::vector<std::string>& arguments) {
    const WatchArguments parsed = parseWatchArguments(arguments);
    StopSignals stopSignals;
    CoreSession session(parsed.timeScale, stopSignals);
    if (parsed.metrics) {
        session.serveMetrics(*parsed.metrics);
    }
    session.connect(parsed.port);
    if (stopSignals.first() != 0) {
        return 0;
    }
    std::cout << "Watching " << session.devicePath() << "; Ctrl-C ends." << std::endl;

    QString lastLine;
    const auto printChange = [&] {
        const QString line = readoutLine(session.window());
        if (!line.isEmpty() && line != lastLine) {
            lastLine = line;
            std::cout << line.toStdString() << std::endl;
        }
    };
    printChange();
    session.observeHandOvers(printChange);

    // A controller that stops answering or a device that goes away is the core's to handle: it
    // reports the loss (printed by the session's events), keeps trying, and readings resume by
    // themselves. Only a stop signal ends watching.
    session.waitUntil([] { return false; }, std::nullopt, true);
    session.close();
    return 0;
}

}  // namespace lumas::cli
