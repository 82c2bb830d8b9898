// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include <vector>

#include "core/window_ports.h"

namespace lumas::test {

// Message boxes that record what they were asked to show instead of showing it; a confirmation
// is answered with `confirmAnswer`.
struct RecordedMessages final : MessageBoxes {
    struct Shown {
        QString kind;  // "warning", "information", "confirm" or "message"
        QString text;
        bool operator==(const Shown&) const = default;
    };
    void warning(const QString& text) override { shown.push_back({"warning", text}); }
    void information(const QString& text) override { shown.push_back({"information", text}); }
    bool confirm(const QString& text) override {
        shown.push_back({"confirm", text});
        return confirmAnswer;
    }
    void message(const QString& text) override { shown.push_back({"message", text}); }

    std::vector<Shown> shown;
    bool confirmAnswer = true;
};

}  // namespace lumas::test
