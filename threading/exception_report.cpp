// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "threading/exception_report.h"

#include <iostream>
#include <utility>

namespace lumas {

namespace {
ExceptionReport& currentReport() {
    static ExceptionReport report;
    return report;
}
}  // namespace

void setStandardExceptionReport(ExceptionReport report) {
    currentReport() = std::move(report);
}

void showStandardExceptionReport(const std::string& text) {
    if (currentReport()) {
        currentReport()(text);
    } else {
        std::cerr << text << std::endl;
    }
}

}  // namespace lumas
