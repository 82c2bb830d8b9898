#include "ui_hand_over.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace lumas {

namespace {
const QEvent::Type kHandOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

UiHandOver& UiHandOver::instance() {
    // Created once and never destroyed: background threads may still reach it while the
    // process winds down.
    static UiHandOver* const handOver = new UiHandOver();
    return *handOver;
}

UiHandOver::UiHandOver() {
    QCoreApplication* app = QCoreApplication::instance();
    Q_ASSERT(app != nullptr);
    moveToThread(app->thread());
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
    QCoreApplication::postEvent(this, new QEvent(kHandOverEvent));

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

bool UiHandOver::event(QEvent* event) {
    if (event->type() == kHandOverEvent) {
        runPending();
        return true;
    }
    return QObject::event(event);
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
