// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "threading/ui_hand_over.h"

#include <QCoreApplication>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>

namespace lumas {

UiHandOver& UiHandOver::instance() {
    // Created once and never destroyed: background threads may still reach it while the
    // process winds down.
    static UiHandOver* const handOver = new UiHandOver();
    return *handOver;
}

UiHandOver::UiHandOver() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        throw std::logic_error("The UI hand-over must be set up on the application's thread");
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        std::uint64_t count = 0;
        while (::read(wakeFd_, &count, sizeof count) > 0) {
        }
        runPending();
    });
}

bool UiHandOver::onUiThread() const {
    return QThread::currentThread() == thread();
}

void UiHandOver::run(std::function<void()> call) {
    if (onUiThread()) {
        call();
        return;
    }
    auto pending = std::make_shared<Call>();
    pending->body = std::move(call);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(pending);
    }
    changed_.notify_all();
    const std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }

    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->finished; });
    if (pending->failure) {
        std::rethrow_exception(pending->failure);
    }
}

bool UiHandOver::runOne() {
    std::shared_ptr<Call> next;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
            return false;
        }
        next = queue_.front();
        queue_.pop_front();
    }
    std::exception_ptr failure;
    try {
        next->body();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        next->failure = failure;
        next->finished = true;
    }
    changed_.notify_all();
    emit handedOver();
    return true;
}

void UiHandOver::runPending() {
    while (runOne()) {
    }
}

void UiHandOver::wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeCount_;
    }
    changed_.notify_all();
}

void UiHandOver::waitServing(const std::function<bool()>& done) {
    while (!done()) {
        if (runOne()) {
            continue;
        }
        std::unique_lock lock(mutex_);
        const unsigned seen = wakeCount_;
        // The condition may have turned true between the test above and taking the lock; a
        // wake() in that window bumped wakeCount_, so test once more under the lock's cover.
        lock.unlock();
        if (done()) {
            return;
        }
        lock.lock();
        changed_.wait(lock, [&] { return !queue_.empty() || wakeCount_ != seen; });
    }
}

}  // namespace lumas
