// lumas-sim: a simulated temperature controller on a pseudo-terminal. Prints the terminal's path on
// the first line of its output and answers there until SIGINT or SIGTERM.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "sim/simulated_controller.h"

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

// Written once by the main thread before the handler is installed.
int stopPipeWriteEnd = -1;

void onStopSignal(int) {
    const int savedErrno = errno;
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipeWriteEnd, &stop, 1);
    errno = savedErrno;
}

void printUsage(std::FILE* to) {
    std::fputs(
        "Usage: lumas-sim [--node N] [--ambient C] [--time-constant S] [--time-scale F]\n"
        "\n"
        "Runs a simulated Omron temperature controller (CompoWay/F) with its chamber on a\n"
        "pseudo-terminal. The first line of output is the terminal's path; open it as the\n"
        "serial port. Stops on SIGINT (Ctrl+C) or SIGTERM.\n"
        "\n"
        "  --node N            node number, 0 to 99 (default 1)\n"
        "  --ambient C         ambient and starting temperature in degrees Celsius (default 22)\n"
        "  --time-constant S   time constant of the chamber in seconds (default 60)\n"
        "  --time-scale F      simulated seconds per real second (default 1)\n"
        "  --help              show this text\n",
        to);
}

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

struct CommandLine {
    lumas::sim::SimulatedControllerOptions options;
    bool help = false;
};

// Returns nothing (after saying why on stderr) when the arguments cannot be used.
std::optional<CommandLine> parseCommandLine(int argc, char** argv) {
    CommandLine commandLine;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "-h") {
            commandLine.help = true;
            continue;
        }
        double* target = nullptr;
        double node = 0;
        if (name == "--node") {
            target = &node;
        } else if (name == "--ambient") {
            target = &commandLine.options.ambient;
        } else if (name == "--time-constant") {
            target = &commandLine.options.timeConstantSeconds;
        } else if (name == "--time-scale") {
            target = &commandLine.options.timeScale;
        } else {
            std::fprintf(stderr, "lumas-sim: unknown option %s\n", name.c_str());
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "lumas-sim: %s needs a value\n", name.c_str());
                return std::nullopt;
            }
            value = argv[++i];
        }
        const std::optional<double> number = parseNumber(*value);
        if (!number) {
            std::fprintf(stderr, "lumas-sim: %s: not a number: %s\n", name.c_str(), value->c_str());
            return std::nullopt;
        }
        *target = *number;
        if (name == "--node") {
            if (node != static_cast<int>(node) || node < 0 || node > 99) {
                std::fprintf(stderr, "lumas-sim: --node: a whole number from 0 to 99\n");
                return std::nullopt;
            }
            commandLine.options.nodeNumber = static_cast<int>(node);
        }
    }
    return commandLine;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<CommandLine> commandLine = parseCommandLine(argc, argv);
    if (!commandLine) {
        printUsage(stderr);
        return kExitUsage;
    }
    if (commandLine->help) {
        printUsage(stdout);
        return 0;
    }

    // The stop signals are handled, not blocked: a thread that a runtime starts (a sanitizer's,
    // for one) would otherwise take them with their default action. The handler only writes to a
    // pipe, on which the main thread waits.
    int stopPipe[2];
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
        // Only this thread runs yet, so strerror cannot be raced.
        std::fprintf(stderr, "lumas-sim: pipe: %s\n",
                     std::strerror(errno));  // NOLINT(concurrency-mt-unsafe)
        return kExitFailure;
    }
    stopPipeWriteEnd = stopPipe[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
        std::fprintf(stderr, "lumas-sim: cannot handle signals: %s\n",
                     std::strerror(errno));  // NOLINT(concurrency-mt-unsafe)
        return kExitFailure;
    }

    try {
        lumas::sim::SimulatedController controller(commandLine->options);
        std::printf("%s\n", controller.portPath().c_str());
        std::fflush(stdout);
        char signalled = 0;
        while (::read(stopPipe[0], &signalled, 1) < 0 && errno == EINTR) {
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumas-sim: %s\n", error.what());
        return kExitFailure;
    }
    return 0;
}
