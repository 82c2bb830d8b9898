// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumas: the desktop program. With --demo it runs against a simulated controller inside the
// process, whose port the port selection lists, so the whole program can be tried without
// hardware.

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/archive_writer.h"
#include "core/clock.h"
#include "core/number_text.h"
#include "core/scaled_clock.h"
#include "core/settings_store.h"
#include "core/sqlite_run_archive.h"
#include "lumas_version.h"
#include "metrics/metrics_endpoint.h"
#include "serial/port_discovery.h"
#include "sim/fault_console.h"
#include "sim/simulated_controller.h"
#include "threading/exception_report.h"
#include "threading/stop_signals.h"
#include "threading/ui_hand_over.h"
#include "ui/application_setup.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

// Shows an exception that escapes a handler in the standard error box instead of ending the
// program.
class LumasApplication final : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            lumas::showStandardExceptionReport(error.what());
        }
        return false;
    }
};

// The simulated controller of demo mode: its chamber reacts ten times faster than a real one. It
// is reached through a stable name in a folder of its own, as a USB adapter is under
// /dev/serial/by-id/, so that it can be unplugged and plugged in again from its fault console.
class DemoController {
  public:
    // The demo's chamber reacts ten times faster than a real one, and `timeScale` times faster
    // again when the demo's programme clock runs faster.
    explicit DemoController(double timeScale) {
        lumas::sim::SimulatedControllerOptions options;
        options.timeScale = 10.0 * timeScale;
        options.stableLinkPath =
            QDir(folder_.path()).filePath(QStringLiteral("simulated-controller")).toStdString();
        linkPath_ = options.stableLinkPath;
        controller_ = std::make_unique<lumas::sim::SimulatedController>(options);
        lumas::setAdditionalPortNames({options.stableLinkPath});
        listenToConsole();
    }

  private:
    // The fault console on standard input: "vanish", "reappear", "silence 10", "help", ... one
    // per line, as lumas-sim takes them. Started from a desktop, standard input is empty and the
    // console ends at once.
    void listenToConsole() {
        if (::isatty(STDIN_FILENO) == 0 && ::lseek(STDIN_FILENO, 0, SEEK_CUR) == 0) {
            return;  // a file or /dev/null, not a console
        }
        console_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        std::printf("Demo: the simulated controller is %s; type 'help' for its fault console.\n",
                    linkPath_.c_str());
        std::fflush(stdout);
        QObject::connect(console_.get(), &QSocketNotifier::activated, [this] { readConsole(); });
    }

    void readConsole() {
        char chunk[512];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            console_->setEnabled(false);  // end of input: the console is closed, the demo goes on
            return;
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end = pending_.find('\n'); end != std::string::npos;
             end = pending_.find('\n')) {
            const lumas::sim::ConsoleReply reply =
                lumas::sim::applyConsoleLine(*controller_, pending_.substr(0, end));
            pending_.erase(0, end + 1);
            if (!reply.text.empty()) {
                std::fprintf(reply.ok ? stdout : stderr, "%s\n", reply.text.c_str());
            }
        }
        std::fflush(stdout);
    }

    QTemporaryDir folder_;
    std::string linkPath_;  // the controller's stable name, as the port list shows it
    std::unique_ptr<lumas::sim::SimulatedController> controller_;
    std::unique_ptr<QSocketNotifier> console_;
    std::string pending_;
};

// The program's options: --demo, --time-scale F, --metrics ADDRESS:PORT, --help and --version.
class CommandLine {
  public:
    CommandLine() : help_(parser_.addHelpOption()), version_(parser_.addVersionOption()) {
        parser_.setApplicationDescription(
            QStringLiteral("Lumas Software for Temperature Chambers: operates a temperature "
                           "chamber through an Omron controller on a serial port."));
        parser_.addOption(demo_);
        parser_.addOption(timeScale_);
        parser_.addOption(metrics_);
        parser_.addOption(archive_);
        parser_.addOption(noArchive_);
    }

    QCommandLineParser& parser() { return parser_; }
    bool asksForHelpOrVersion() const { return parser_.isSet(help_) || parser_.isSet(version_); }
    bool asksForDemo() const { return parser_.isSet(demo_); }
    // The demo's time scale; empty when not given.
    QString timeScale() const { return parser_.value(timeScale_); }
    // Where to serve /metrics; empty when not asked for.
    QString metricsAddress() const { return parser_.value(metrics_); }
    // The run archive's file: given, or the default (the demo's own, so that simulated runs stay
    // out of the lab's record); empty with --no-archive.
    QString archivePath() const {
        if (parser_.isSet(noArchive_)) {
            return {};
        }
        if (parser_.isSet(archive_)) {
            return parser_.value(archive_);
        }
        const QString standard = lumas::defaultArchivePath();
        return asksForDemo()
                   ? QFileInfo(standard).absolutePath() + QStringLiteral("/demo-runs.sqlite")
                   : standard;
    }

  private:
    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    QCommandLineOption demo_{QStringLiteral("demo"),
                             QStringLiteral("Run against a simulated controller; its port is "
                                            "listed under File > Connect.")};
    QCommandLineOption timeScale_{
        QStringLiteral("time-scale"),
        QStringLiteral("With --demo: run the programme's clock and the simulated chamber F times "
                       "faster (0.1 to 1000), so that a long programme can be watched in minutes. "
                       "The line to the controller keeps real time."),
        QStringLiteral("F")};
    QCommandLineOption metrics_{
        QStringLiteral("metrics"),
        QStringLiteral("Serve the readings and the link's state for Prometheus on "
                       "http://ADDRESS:PORT/metrics (a port alone listens on 127.0.0.1; port 0 "
                       "picks a free one). Off unless given."),
        QStringLiteral("ADDRESS:PORT")};
    QCommandLineOption archive_{
        QStringLiteral("archive"),
        QStringLiteral(
            "Record every run in the run archive FILE (by default "
            "$XDG_DATA_HOME/Lumas/runs.sqlite; with --demo, demo-runs.sqlite beside it)."),
        QStringLiteral("FILE")};
    QCommandLineOption noArchive_{QStringLiteral("no-archive"), QStringLiteral("Record no runs.")};
};

// Answers --help and --version before the window library starts, so that they work without a
// display (over ssh, in a package's checks), and exits. A command line that this parse does not
// take as it stands (Qt's own options such as -platform, a mistake) is left to the window
// program's parse, which reports what is wrong.
void answerHelpOrVersion(int& argc, char* argv[]) {
    CommandLine commandLine;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (!commandLine.parser().parse(arguments) || !commandLine.asksForHelpOrVersion()) {
        return;
    }
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Lumas"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMAS_VERSION));
    commandLine.parser().process(application);  // shows the text and exits with 0
}

}  // namespace

int main(int argc, char* argv[]) {
    answerHelpOrVersion(argc, argv);

    LumasApplication application(argc, argv);
    lumas::ui::setUpApplication(application);

    CommandLine commandLine;
    commandLine.parser().process(application);

    lumas::UiHandOver::instance();
    lumas::setStandardExceptionReport([](const std::string& text) {
        QMessageBox::critical(QApplication::activeWindow(), lumas::ui::box_titles::kProgram,
                              QString::fromStdString(text));
    });

    double timeScale = 1.0;
    if (const QString given = commandLine.timeScale(); !given.isEmpty()) {
        const auto read = lumas::parseTypedNumber(given);
        if (!commandLine.asksForDemo() || !read || !lumas::ScaledClock::validFactor(read->value)) {
            std::cerr << "lumas: --time-scale goes with --demo and takes a number from 0.1 to "
                         "1000, not \""
                      << given.toStdString() << "\".\n";
            return 1;
        }
        timeScale = read->value;
    }

    std::unique_ptr<DemoController> demoController;
    if (commandLine.asksForDemo()) {
        demoController = std::make_unique<DemoController>(timeScale);
    }

    // Before the window, so that it outlives the window's core, which records through it.
    std::unique_ptr<lumas::ArchiveWriter> archive;
    if (const QString path = commandLine.archivePath(); !path.isEmpty()) {
        archive = std::make_unique<lumas::ArchiveWriter>(path);
    }

    lumas::MonotonicClock clock;
    lumas::ScaledClock runClock(timeScale);
    lumas::ui::TForm1 window(clock, lumas::settingsFile(), nullptr, nullptr, &runClock);
    window.show();  // loads the settings into the core
    if (archive) {
        // Runs a forced end left open are closed first ("ended unexpectedly").
        window.logic().recordRunsIn(*archive, archive->recovered(std::chrono::seconds(10)));
    }

    // SIGTERM and SIGHUP (a logout, a service stop) close the window as Exit does, without a
    // question: the settings are saved and a run ends; the controller is left as it is.
    lumas::StopSignals endSignals({SIGTERM, SIGHUP});
    endSignals.whenReceived(&window, [&window, &endSignals] {
        std::cerr << "lumas: " << lumas::StopSignals::name(endSignals.first())
                  << ": closing as Exit does; the settings are saved, a run in progress ends "
                     "(ended by a signal) and the controller is left as it is, not stopped."
                  << std::endl;
        window.closeForSignal();
        QApplication::quit();
    });
    // After the window, so that it goes before the window's core, which it observes.
    std::unique_ptr<lumas::metrics::MetricsEndpoint> metrics;
    if (const QString address = commandLine.metricsAddress(); !address.isEmpty()) {
        const auto where = lumas::metrics::parseListenAddress(address.toStdString());
        if (!where) {
            std::cerr << "lumas: --metrics takes ADDRESS:PORT, not \"" << address.toStdString()
                      << "\".\n";
            return 1;
        }
        try {
            metrics =
                std::make_unique<lumas::metrics::MetricsEndpoint>(window.logic().chamber(), *where);
        } catch (const std::runtime_error& error) {
            std::cerr << "lumas: " << error.what() << '\n';
            return 1;
        }
        std::cout << "Metrics: " << metrics->url().toStdString() << std::endl;
    }
    return QApplication::exec();
}
