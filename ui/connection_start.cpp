// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/connection_start.h"

#include <QAction>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "core/connection_settings.h"
#include "core/main_form_logic.h"
#include "core/window_ports.h"

namespace lumas::ui {

namespace {

// Owned by the window (a child): remembers the port and runs the start-up reconnect once the
// window has been shown. Everything here runs on the UI thread.
class ConnectionStart final : public QObject {
  public:
    ConnectionStart(QWidget& window, MainFormLogic& logic, const TCustomComPort& port,
                    const QString& settingsPath, TextDisplay& statusLine, QAction* connectItem)
        : QObject(&window),
          logic_(logic),
          memory_(port, settingsPath),
          settingsPath_(settingsPath),
          statusLine_(statusLine),
          connectItem_(connectItem) {
        logic_.addObserver(&memory_);
        reconnectTimer_.setSingleShot(true);
        reconnectTimer_.setInterval(0);
        connect(&reconnectTimer_, &QTimer::timeout, this, [this] { reconnect(); });
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !started_) {
            started_ = true;
            watched->removeEventFilter(this);
            // From the event loop, so that the window is on the screen before the port is opened.
            reconnectTimer_.start();
        }
        return false;
    }

  private:
    void reconnect() {
        if (connectItem_ != nullptr) {
            connectItem_->setEnabled(false);
        }
        reconnectAtStart(logic_, settingsPath_,
                         [this](const QString& text) { statusLine_.setText(text); });
        if (connectItem_ != nullptr) {
            connectItem_->setEnabled(true);
        }
    }

    MainFormLogic& logic_;
    LastPortMemory memory_;
    QString settingsPath_;
    TextDisplay& statusLine_;
    QPointer<QAction> connectItem_;
    QTimer reconnectTimer_;
    bool started_ = false;
};

}  // namespace

void keepConnectionSettings(QWidget& window, MainFormLogic& logic, const TCustomComPort& port,
                            const QString& settingsPath, TextDisplay& statusLine,
                            QAction* connectItem) {
    new ConnectionStart(window, logic, port, settingsPath, statusLine, connectItem);
}

}  // namespace lumas::ui
