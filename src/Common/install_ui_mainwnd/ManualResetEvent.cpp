#include "Common/install_ui_mainwnd/ManualResetEvent.h"

void ManualResetEvent::Set() {
    {
        std::lock_guard guard(lock_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard guard(lock_);
    signalled_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard guard(lock_);
    return signalled_;
}

void ManualResetEvent::Wait() const {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return signalled_; });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [this] { return signalled_; });
}
