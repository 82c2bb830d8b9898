// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>

#include <functional>
#include <utility>

#include "core/run_recorder.h"
#include "core/window_ports.h"

namespace lumas {

// The window's message boxes, with what the operator is told during a run kept in the run's
// record: warnings, notices, alarms and their acknowledgement, questions and their answers. It
// shows everything through `boxes`; without a recorder it only passes on.
class RecordedMessages final : public MessageBoxes {
  public:
    explicit RecordedMessages(MessageBoxes& boxes) : boxes_(boxes) {}

    void setRecorder(RunRecorder* recorder) { recorder_ = recorder; }

    void warning(const QString& text) override {
        record(QStringLiteral("notice"), text);
        boxes_.warning(text);
    }
    void information(const QString& text) override { boxes_.information(text); }
    bool confirm(const QString& text) override {
        const bool yes = boxes_.confirm(text);
        record(QStringLiteral("question"),
               text + (yes ? QStringLiteral(" — Yes") : QStringLiteral(" — No")));
        return yes;
    }
    bool choose(const QString& text, const QString& accept, const QString& reject) override {
        const bool accepted = boxes_.choose(text, accept, reject);
        record(QStringLiteral("question"),
               text + QStringLiteral(" — ") + (accepted ? accept : reject));
        return accepted;
    }
    void message(const QString& text) override { boxes_.message(text); }
    NoticeId notice(const QString& text) override {
        record(QStringLiteral("notice"), text);
        return boxes_.notice(text);
    }
    void withdrawNotice(NoticeId id, const QString& replacement = QString()) override {
        if (!replacement.isEmpty()) {
            record(QStringLiteral("notice"), replacement);
        }
        boxes_.withdrawNotice(id, replacement);
    }
    void alarm(const QString& text, std::function<void()> acknowledged) override {
        record(QStringLiteral("alarm"), text);
        boxes_.alarm(text, [this, text, whenClosed = std::move(acknowledged)] {
            if (recorder_ != nullptr) {
                recorder_->alarmAcknowledged(text);
            }
            if (whenClosed) {
                whenClosed();
            }
        });
    }

  private:
    void record(const QString& kind, const QString& text) {
        if (recorder_ != nullptr) {
            recorder_->noticeShown(kind, text);
        }
    }

    MessageBoxes& boxes_;
    RunRecorder* recorder_ = nullptr;  // UI thread
};

}  // namespace lumas
