#include "Common/install_ui_mainwnd/WizardThreads.h"

#include "platform/AlternateSignalStack.h"

WizardThreads::~WizardThreads() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

void WizardThreads::Start(std::function<void()> body, std::function<void()> onEnd) {
    {
        std::lock_guard guard(count_->lock);
        ++count_->running;
    }
    threads_.emplace_back([count = count_, body = std::move(body), onEnd = std::move(onEnd)] {
        platform::InstallThreadSignalStack();
        body();
        {
            std::lock_guard guard(count->lock);
            --count->running;
        }
        count->ended.notify_all();
        if (onEnd) onEnd();
    });
}

bool WizardThreads::AllEnded() const {
    std::lock_guard guard(count_->lock);
    return count_->running == 0;
}

bool WizardThreads::WaitForAll(std::chrono::milliseconds bound) {
    std::unique_lock guard(count_->lock);
    const bool allEnded = count_->ended.wait_for(guard, bound, [this] { return count_->running == 0; });
    guard.unlock();
    for (std::thread& thread : threads_) {
        if (!thread.joinable()) continue;
        if (allEnded)
            thread.join();
        else
            thread.detach();
    }
    leftBehind_ = leftBehind_ || !allEnded;
    return allEnded;
}
