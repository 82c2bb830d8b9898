// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "threading/event_wait.h"

#include <QEventLoop>
#include <QTimer>

#include "threading/ui_hand_over.h"

namespace lumas {

bool serveEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto connection =
        QObject::connect(&UiHandOver::instance(), &UiHandOver::handedOver, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
    deadline.start(timeout);
    loop.exec();
    QObject::disconnect(connection);
    return done();
}

void serveEventsFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(duration);
    loop.exec();
}

}  // namespace lumas
