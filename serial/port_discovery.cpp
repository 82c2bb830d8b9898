// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/port_discovery.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace lumas {

namespace {

std::vector<std::string>& additionalNames() {
    static std::vector<std::string> names;
    return names;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Natural order: runs of digits compare by value, so ttyUSB2 comes before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA])) != 0) {
                ++endA;
            }
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB])) != 0) {
                ++endB;
            }
            const std::string numberA = a.substr(i, endA - i);
            const std::string numberB = b.substr(j, endB - j);
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// A built-in UART slot says in "type" whether a port sits behind it (0: none).
bool holdsAPort(const std::filesystem::path& tty) {
    std::ifstream type(tty / "type");
    int value = -1;
    if (type >> value) {
        return value != 0;
    }
    return true;
}

// The hardware ports under `sysClassTty`, built-in ones first, each group in natural order.
std::vector<std::string> hardwarePorts(const std::string& sysClassTty) {
    std::vector<std::string> builtIn;
    std::vector<std::string> others;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sysClassTty, error)) {
        const std::filesystem::path& tty = entry.path();
        std::error_code missing;
        if (!std::filesystem::exists(tty / "device", missing)) {
            continue;  // virtual terminals, pseudo-terminals: no device behind them
        }
        const std::string name = tty.filename().string();
        if (startsWith(name, "ttyS")) {
            if (holdsAPort(tty)) {
                builtIn.push_back(name);
            }
        } else {
            others.push_back(name);
        }
    }
    std::sort(builtIn.begin(), builtIn.end(), naturalLess);
    std::sort(others.begin(), others.end(), naturalLess);
    std::vector<std::string> names = builtIn;
    names.insert(names.end(), others.begin(), others.end());
    return names;
}

// `names` followed by the additional names not listed yet (compared without regard to case).
std::vector<std::string> withAdditionalNames(std::vector<std::string> names) {
    for (const std::string& extra : additionalNames()) {
        const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return lowerCase(name) == lowerCase(extra);
        });
        if (!listed) {
            names.push_back(extra);
        }
    }
    return names;
}

}  // namespace

std::vector<std::string> discoverSerialPorts(const std::string& sysClassTty) {
    return withAdditionalNames(hardwarePorts(sysClassTty));
}

std::vector<std::string> listSerialPorts(const SerialPortFolders& folders) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const std::string& name : hardwarePorts(folders.sysClassTty)) {
        std::error_code missing;
        if (fs::exists(fs::path(folders.dev) / name, missing)) {
            names.push_back(name);
        }
    }
    // Each stable name takes the place of the device it leads to.
    std::error_code error;
    const fs::path dev = fs::weakly_canonical(folders.dev, error);
    std::vector<fs::path> stable;
    for (fs::directory_iterator entry(folders.byId, error), end; !error && entry != end;
         entry.increment(error)) {
        stable.push_back(entry->path());
    }
    std::sort(stable.begin(), stable.end(), [](const fs::path& a, const fs::path& b) {
        return naturalLess(a.string(), b.string());
    });
    std::vector<std::string> byName;
    for (const fs::path& link : stable) {
        std::error_code resolveError;
        const fs::path target = fs::canonical(link, resolveError);
        if (resolveError) {
            continue;  // a link left behind by an adapter that is gone
        }
        if (target.parent_path() == dev) {
            const auto replaced =
                std::remove(names.begin(), names.end(), target.filename().string());
            names.erase(replaced, names.end());
        }
        byName.push_back(link.string());
    }
    names.insert(names.end(), byName.begin(), byName.end());
    return withAdditionalNames(std::move(names));
}

void setAdditionalPortNames(std::vector<std::string> names) {
    additionalNames() = std::move(names);
}

const std::vector<std::string>& additionalPortNames() {
    return additionalNames();
}

int portNumberOfName(const std::string& name) {
    const auto numberAfter = [&](std::size_t prefixLength) {
        if (name.size() <= prefixLength || name.size() > prefixLength + 6) {
            return -1;
        }
        int number = 0;
        for (std::size_t i = prefixLength; i < name.size(); ++i) {
            if (std::isdigit(static_cast<unsigned char>(name[i])) == 0) {
                return -1;
            }
            number = number * 10 + (name[i] - '0');
        }
        return number;
    };
    if (lowerCase(name.substr(0, 3)) == "com") {
        return std::max(numberAfter(3), 0);
    }
    if (startsWith(name, "ttyS")) {
        const int index = numberAfter(4);
        return index < 0 ? 0 : index + 1;
    }
    return 0;
}

std::optional<std::string> portPermissionAdvice(const std::string& devicePath) {
    if (::access(devicePath.c_str(), F_OK) != 0) {
        return std::nullopt;
    }
    if (::access(devicePath.c_str(), R_OK | W_OK) == 0 || errno != EACCES) {
        return std::nullopt;
    }
    return "You have no permission to use " + devicePath +
           ": add yourself to the dialout group (sudo usermod -aG dialout $USER), then log out "
           "and in again.";
}

std::optional<std::string> stableDeviceAlias(const std::string& devicePath,
                                             const std::string& byIdFolder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(byIdFolder, error);
    if (error) {
        return std::nullopt;
    }
    const fs::path device(devicePath);
    if (device.is_absolute() && fs::weakly_canonical(device.parent_path(), error) == folder &&
        !error) {
        return devicePath;  // chosen by its stable name
    }
    const fs::path target = fs::canonical(device, error);
    if (error) {
        return std::nullopt;
    }
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code resolveError;
        if (fs::canonical(entry->path(), resolveError) == target && !resolveError) {
            return entry->path().string();
        }
    }
    return std::nullopt;
}

}  // namespace lumas
