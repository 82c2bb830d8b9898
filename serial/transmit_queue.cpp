// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "serial/transmit_queue.h"

#include <algorithm>
#include <cstring>

namespace lumas {

void TransmitQueue::open(std::size_t capacity, std::chrono::milliseconds writeTimeout) {
    std::lock_guard lock(FWriteSection);
    block_.assign(capacity, '\0');
    fill_ = 0;
    dataQueuedSignal_ = false;
    accepting_ = true;
    failure_ = 0;
    writeTimeout_ = writeTimeout;
}

void TransmitQueue::close() {
    {
        std::lock_guard lock(FWriteSection);
        accepting_ = false;
        dataQueuedSignal_ = false;
        fill_ = 0;
        std::vector<char>().swap(block_);
    }
    roomMade_.notify_all();
    dataQueued_.notify_all();
}

TransmitQueue::AppendResult TransmitQueue::append(std::string_view bytes, int& failure) {
    std::unique_lock lock(FWriteSection);
    if (!accepting_) {
        return AppendResult::Closed;
    }
    if (bytes.empty()) {
        return AppendResult::Queued;
    }
    const auto deadline = std::chrono::steady_clock::now() + writeTimeout_;
    const auto settled = [&] {
        return !accepting_ || failure_ != 0 || fill_ + bytes.size() <= block_.size();
    };
    if (!roomMade_.wait_until(lock, deadline, settled)) {
        return AppendResult::TimedOut;
    }
    if (!accepting_) {
        return AppendResult::Closed;
    }
    if (failure_ != 0) {
        failure = failure_;
        return AppendResult::LineFailed;
    }
    std::memcpy(block_.data() + fill_, bytes.data(), bytes.size());
    fill_ += bytes.size();
    dataQueuedSignal_ = true;
    lock.unlock();
    dataQueued_.notify_one();
    return AppendResult::Queued;
}

std::optional<std::string> TransmitQueue::waitForData() {
    std::unique_lock lock(FWriteSection);
    dataQueued_.wait(lock, [&] { return !accepting_ || dataQueuedSignal_; });
    if (!accepting_) {
        return std::nullopt;
    }
    return std::string(block_.data(), fill_);
}

void TransmitQueue::removeFront(std::size_t count) {
    {
        std::lock_guard lock(FWriteSection);
        count = std::min(count, fill_);
        if (count > 0) {
            std::memmove(block_.data(), block_.data() + count, fill_ - count);
            fill_ -= count;
        }
        if (fill_ == 0) {
            dataQueuedSignal_ = false;
        }
    }
    roomMade_.notify_all();
}

bool TransmitQueue::waitForCloseFor(std::chrono::milliseconds pause) {
    std::unique_lock lock(FWriteSection);
    return dataQueued_.wait_for(lock, pause, [&] { return !accepting_; });
}

void TransmitQueue::waitForClose() {
    std::unique_lock lock(FWriteSection);
    dataQueued_.wait(lock, [&] { return !accepting_; });
}

void TransmitQueue::markFailed(int osError) {
    {
        std::lock_guard lock(FWriteSection);
        failure_ = osError;
    }
    roomMade_.notify_all();
}

}  // namespace lumas
