#pragma once
// Messages for windows from any thread, in one first-in first-out queue that
// the UI thread drains. A post returns at once; a send from another thread
// waits until the UI thread has handled it (or dropped it, answering 0). The
// queue outlives every loop, so a worker that posts while the UI is shutting
// down is told "no" instead of touching freed memory.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "uitoolkit/window/HostWindowId.h"

namespace ZembraUI {

struct WindowMessage {
    HostWindowId window = kNoHostWindow;  // kNoHostWindow with quit: a quit request
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool quit = false;
};

class CPostedQueue {
public:
    // Where a waiting sender gets its answer.
    class Reply;

    static CPostedQueue& Instance();

    // The UI thread's loop starts taking messages; wake is called (from any
    // thread) whenever the queue stops being empty.
    void Attach(std::function<void()> wake);
    // The loop ends: waiting senders get 0, queued messages are dropped, and
    // later posts are refused. Returns how many messages were dropped.
    std::size_t Detach();
    bool IsUiThread() const;
    bool HasMessages() const;

    // False when no loop takes messages.
    bool Post(const WindowMessage& message);
    // Waits for the answer; nullopt when no loop takes messages.
    std::optional<std::intptr_t> SendAndWait(const WindowMessage& message);

    struct Taken {
        WindowMessage message;
        std::shared_ptr<Reply> reply;  // null for a post
    };
    // The oldest message; UI thread only.
    std::optional<Taken> Take();
    static void Answer(const std::shared_ptr<Reply>& reply, std::intptr_t result);

private:
    CPostedQueue() = default;
    bool Enqueue(Taken taken);

    mutable std::mutex mutex_;
    std::deque<Taken> queue_;
    std::function<void()> wake_;
    std::thread::id uiThread_;
    bool attached_ = false;
};

}  // namespace ZembraUI
