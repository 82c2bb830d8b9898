// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

#include "support/recorded_messages.h"

namespace lumas::test {

// Acts on the next modal window that opens while a test waits on a modal call (a dialog's exec(),
// a message box): every 10 ms it looks at the active modal window and, when it is of type W, not
// `ignored` and `ready`, hands it to `act` once. The test then sees whether `act` ran through
// `seen()`. `act` runs from a timer inside the window's event loop: it must not wait for the
// window's own work (say so in `ready` instead), as that work may be what it interrupted.
template <typename W>
class ModalWatch {
  public:
    explicit ModalWatch(std::function<void(W&)> act, std::function<bool(W&)> ready = {},
                        QWidget* ignored = nullptr)
        : act_(std::move(act)), ready_(std::move(ready)), ignored_(ignored) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* modal = qobject_cast<W*>(QApplication::activeModalWidget());
            if (modal == nullptr || modal == ignored_.data() || (ready_ && !ready_(*modal))) {
                return;
            }
            timer_.stop();
            seen_ = true;
            act_(*modal);
        });
        timer_.start(10);
    }

    bool seen() const { return seen_; }

  private:
    std::function<void(W&)> act_;
    std::function<bool(W&)> ready_;
    QPointer<QWidget> ignored_;
    QTimer timer_;
    bool seen_ = false;
};

}  // namespace lumas::test
