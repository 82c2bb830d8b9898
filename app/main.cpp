// lumas: the desktop program. With --demo it runs against a simulated controller inside the
// process, whose port the port selection lists, so the whole program can be tried without
// hardware.

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>

#include <exception>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/settings_store.h"
#include "serial/exception_report.h"
#include "serial/port_discovery.h"
#include "serial/ui_hand_over.h"
#include "sim/simulated_controller.h"
#include "ui/main_window.h"
#include "ui/visual_style.h"

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

// The simulated controller of demo mode: its chamber reacts ten times faster than a real one.
std::unique_ptr<lumas::sim::SimulatedController> startDemoController() {
    lumas::sim::SimulatedControllerOptions options;
    options.timeScale = 10.0;
    auto controller = std::make_unique<lumas::sim::SimulatedController>(options);
    lumas::setAdditionalPortNames({controller->portPath()});
    return controller;
}

}  // namespace

int main(int argc, char* argv[]) {
    LumasApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumas"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumas Software"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.3"));
    QApplication::setDesktopFileName(QStringLiteral("lumas"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lumas.svg")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lumas Software for Temperature Chambers: operates a temperature chamber "
                       "through an Omron controller on a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run against a simulated controller; its port "
                                                 "is listed under File > Connect."));
    parser.addOption(demo);
    parser.process(application);

    lumas::UiHandOver::instance();
    lumas::setStandardExceptionReport([](const std::string& text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Lumas Software"),
                              QString::fromStdString(text));
    });
    lumas::ui::applyVisualStyle(application);

    std::unique_ptr<lumas::sim::SimulatedController> demoController;
    if (parser.isSet(demo)) {
        demoController = startDemoController();
    }

    lumas::MonotonicClock clock;
    lumas::ui::TForm1 window(clock, lumas::settingsFile());
    window.show();
    return QApplication::exec();
}
