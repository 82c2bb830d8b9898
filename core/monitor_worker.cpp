// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/monitor_worker.h"

#include "threading/ui_hand_over.h"

namespace lumas {

TMyThread::TMyThread(TOmronCom& controller, SharedState& state, Clock& clock,
                     std::span<const SequenceStep> update)
    : controller_(controller), state_(state), clock_(clock), update_(update), thread_([this] {
          Execute();
      }) {}

TMyThread::~TMyThread() {
    Terminate();
    WaitFor();
}

void TMyThread::Terminate() {
    terminated_.store(true);
}

void TMyThread::WaitFor() {
    if (!thread_.joinable()) {
        return;
    }
    auto& handOver = UiHandOver::instance();
    if (handOver.onUiThread()) {
        handOver.waitServing([this] { return finished_.load(); });
    }
    thread_.join();
}

void TMyThread::Execute() {
    auto& handOver = UiHandOver::instance();
    while (!terminated_.load()) {
        Poll();
        clock_.sleep(kPassDelay);
        playFromBackgroundThread(update_, clock_);
    }
    finished_.store(true);
    handOver.wake();
}

void TMyThread::Poll() {
    switch (state_.PollStep.load()) {
        case 1:
            SendPollRequest(&TOmronCom::GetTemperature, 2);
            break;
        case 3:
            SendPollRequest(&TOmronCom::GetSetPoint, 4);
            break;
        case 5:
            SendPollRequest(&TOmronCom::ReadStatusLeft, 6);
            break;
        case 2:
        case 4:
        case 6:
            if (controller_.AllowToSend()) {
                state_.PollStep.store(state_.PollStep.load() % 6 + 1);
            }
            break;
        default:
            break;
    }
}

void TMyThread::SendPollRequest(void (TOmronCom::*request)(), int nextStep) {
    // Marked outstanding before the request goes out, so that a reply handled at once is not
    // overwritten by the clearing.
    controller_.SetAllowToSend(false);
    state_.LastSendTick.store(clock_.now());
    (controller_.*request)();
    state_.PollStep.store(nextStep);
}

}  // namespace lumas
