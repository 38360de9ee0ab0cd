#include "StopFlag.h"

namespace devserver {

StopFlag& StopFlag::Instance() {
    static StopFlag flag;
    return flag;
}

void StopFlag::Raise() {
    {
        std::lock_guard guard(lock_);
        raised_ = true;
    }
    changed_.notify_all();
}

bool StopFlag::Raised() const {
    std::lock_guard guard(lock_);
    return raised_;
}

bool StopFlag::SleepFor(std::chrono::milliseconds duration) {
    std::unique_lock guard(lock_);
    return !changed_.wait_for(guard, duration, [this] { return raised_; });
}

}  // namespace devserver
