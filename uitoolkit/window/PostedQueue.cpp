#include "uitoolkit/window/PostedQueue.h"

namespace ZembraUI {

class CPostedQueue::Reply {
public:
    void Set(std::intptr_t result) {
        std::lock_guard lock(mutex_);
        if (result_) return;
        result_ = result;
        answered_.notify_all();
    }
    std::intptr_t Wait() {
        std::unique_lock lock(mutex_);
        answered_.wait(lock, [this] { return result_.has_value(); });
        return *result_;
    }

private:
    std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<std::intptr_t> result_;
};

CPostedQueue& CPostedQueue::Instance() {
    // Never destroyed: threads may still post while the process ends.
    static CPostedQueue* queue = new CPostedQueue;
    return *queue;
}

void CPostedQueue::Attach(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
    uiThread_ = std::this_thread::get_id();
    attached_ = true;
}

std::size_t CPostedQueue::Detach() {
    std::deque<Taken> dropped;
    {
        std::lock_guard lock(mutex_);
        attached_ = false;
        wake_ = nullptr;
        uiThread_ = {};
        dropped.swap(queue_);
    }
    for (const Taken& taken : dropped) {
        if (taken.reply) taken.reply->Set(0);
    }
    return dropped.size();
}

bool CPostedQueue::IsUiThread() const {
    std::lock_guard lock(mutex_);
    return attached_ && uiThread_ == std::this_thread::get_id();
}

bool CPostedQueue::HasMessages() const {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
}

bool CPostedQueue::Enqueue(Taken taken) {
    std::lock_guard lock(mutex_);
    if (!attached_) return false;
    const bool wasEmpty = queue_.empty();
    queue_.push_back(std::move(taken));
    // The loop drains the whole queue before it waits again, so one wake-up
    // per empty-to-non-empty change is enough.
    if (wasEmpty) wake_();
    return true;
}

bool CPostedQueue::Post(const WindowMessage& message) { return Enqueue(Taken{message, nullptr}); }

std::optional<std::intptr_t> CPostedQueue::SendAndWait(const WindowMessage& message) {
    auto reply = std::make_shared<Reply>();
    if (!Enqueue(Taken{message, reply})) return std::nullopt;
    return reply->Wait();
}

std::optional<CPostedQueue::Taken> CPostedQueue::Take() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return std::nullopt;
    Taken taken = std::move(queue_.front());
    queue_.pop_front();
    return taken;
}

void CPostedQueue::Answer(const std::shared_ptr<Reply>& reply, std::intptr_t result) {
    if (reply) reply->Set(result);
}

}  // namespace ZembraUI
