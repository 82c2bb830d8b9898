// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// lumas-sim: a simulated temperature controller on a pseudo-terminal. Prints the terminal's path on
// the first line of its output and answers there until SIGINT or SIGTERM. Lines on its standard
// input are fault console commands (sim/fault_console.h).

#include <fcntl.h>
#include <poll.h>
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
#include <system_error>

#include "lumas_version.h"
#include "sim/fault_console.h"
#include "sim/simulated_controller.h"

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;
// A console line longer than this is dropped.
constexpr std::size_t kLongestConsoleLine = 4096;

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
        "                 [--link PATH]\n"
        "       lumas-sim --help | --version\n"
        "\n"
        "Runs a simulated Omron temperature controller (CompoWay/F) with its chamber on a\n"
        "pseudo-terminal. The first line of output is the terminal's path; open it as the\n"
        "serial port. Stops on SIGINT (Ctrl+C) or SIGTERM.\n"
        "\n"
        "  --node N            node number, 0 to 99 (default 1)\n"
        "  --ambient C         ambient and starting temperature in degrees Celsius (default 22)\n"
        "  --time-constant S   time constant of the chamber in seconds (default 60)\n"
        "  --time-scale F      simulated seconds per real second (default 1)\n"
        "  --link PATH         keep a symbolic link at PATH to the present terminal, as a USB\n"
        "                      adapter's name under /dev/serial/by-id/ (open PATH to follow the\n"
        "                      controller through vanish and reappear)\n"
        "  --help              show this text\n"
        "  --version           show the version\n"
        "\n"
        "Lines typed on standard input make the controller misbehave while the program runs.\n"
        "Acknowledgements go to standard output, refusals to standard error. The end of the\n"
        "input only ends the console; the controller keeps running.\n"
        "\n",
        to);
    std::fputs(lumas::sim::consoleHelp().c_str(), to);
    std::fputs("\n", to);
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
    bool version = false;
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
        if (name == "--version") {
            commandLine.version = true;
            continue;
        }
        if (name == "--link") {
            if (!value) {
                if (i + 1 == argc) {
                    std::fprintf(stderr, "lumas-sim: --link needs a path\n");
                    return std::nullopt;
                }
                value = argv[++i];
            }
            if (value->empty()) {
                std::fprintf(stderr, "lumas-sim: --link needs a path\n");
                return std::nullopt;
            }
            commandLine.options.stableLinkPath = *value;
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

void showReply(const lumas::sim::ConsoleReply& reply) {
    if (reply.text.empty()) {
        return;
    }
    if (reply.ok) {
        std::printf("%s\n", reply.text.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "lumas-sim: %s\n", reply.text.c_str());
    }
}

// Collects standard input into lines and carries each one out on the controller.
class Console {
  public:
    explicit Console(lumas::sim::SimulatedController& controller) : controller_(controller) {}

    // Reads what standard input has; returns false once it has ended (or cannot be read), after
    // carrying out an unfinished last line.
    bool readAvailable() {
        char buffer[1024];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            return true;
        }
        if (got <= 0) {
            if (got < 0 && errno != EBADF) {
                // EIO for one: started in the background of a shell (SIGTTIN is ignored).
                std::fprintf(stderr, "lumas-sim: standard input cannot be read (%s); console off\n",
                             std::strerror(errno));  // NOLINT(concurrency-mt-unsafe)
            }
            if (!pending_.empty() && !dropping_) {
                showReply(lumas::sim::applyConsoleLine(controller_, pending_));
            }
            pending_.clear();
            return false;
        }
        for (const char c : std::string_view(buffer, static_cast<std::size_t>(got))) {
            if (c == '\n') {
                if (!dropping_) {
                    showReply(lumas::sim::applyConsoleLine(controller_, pending_));
                }
                pending_.clear();
                dropping_ = false;
            } else if (!dropping_) {
                pending_ += c;
                if (pending_.size() > kLongestConsoleLine) {
                    std::fprintf(stderr, "lumas-sim: console line too long; dropped\n");
                    pending_.clear();
                    dropping_ = true;
                }
            }
        }
        return true;
    }

  private:
    lumas::sim::SimulatedController& controller_;
    std::string pending_;    // the unfinished line
    bool dropping_ = false;  // the rest of an overlong line is skipped up to its end
};

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
    if (commandLine->version) {
        std::printf("lumas-sim %s\n", LUMAS_VERSION);
        return 0;
    }

    // Started with standard input closed, the stop pipe or the terminal would take its number
    // and the console would read from it.
    if (::fcntl(STDIN_FILENO, F_GETFD) < 0 && errno == EBADF) {
        ::open("/dev/null", O_RDONLY);  // takes the lowest free number: STDIN_FILENO
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
    // Started in the background of an interactive shell, reading the terminal then fails with EIO
    // (which ends the console) instead of stopping the whole simulator.
    ::signal(SIGTTIN, SIG_IGN);

    try {
        lumas::sim::SimulatedController controller(commandLine->options);
        std::printf("%s\n", controller.portPath().c_str());
        std::fflush(stdout);
        if (::isatty(STDIN_FILENO) == 1) {
            std::fprintf(stderr, "lumas-sim: type help for the fault commands\n");
        }

        // One thread waits for both the stop pipe and the console's lines.
        Console console(controller);
        pollfd descriptors[2] = {{stopPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        for (;;) {
            if (::poll(descriptors, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw std::system_error(errno, std::generic_category(), "poll");
            }
            if (descriptors[0].revents != 0) {
                break;
            }
            if (descriptors[1].revents != 0 && !console.readAvailable()) {
                descriptors[1].fd = -1;  // ended: poll leaves it alone from now on
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumas-sim: %s\n", error.what());
        return kExitFailure;
    }
    return 0;
}
