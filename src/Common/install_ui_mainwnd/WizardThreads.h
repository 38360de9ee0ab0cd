#pragma once
// The background threads a wizard window starts (the install worker, the
// content threads): each gets its own signal stack, and the window can wait
// for all of them with a bound at exit. A thread still running when the
// bound passes is left to the end of the process, so a stuck transfer never
// hangs the exit.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class WizardThreads {
public:
    WizardThreads() = default;
    // Joins every thread not left behind by WaitForAll.
    ~WizardThreads();
    WizardThreads(const WizardThreads&) = delete;
    WizardThreads& operator=(const WizardThreads&) = delete;

    // Starts body on a thread of its own; onEnd (may be empty) runs on that
    // thread after body, once the thread counts as ended.
    void Start(std::function<void()> body, std::function<void()> onEnd = {});
    // True when no started thread is still running.
    bool AllEnded() const;
    // Waits until every thread ended or bound passed; joins the ended ones
    // and detaches the rest. True when all had ended.
    bool WaitForAll(std::chrono::milliseconds bound);
    // True when WaitForAll left a thread running: whatever it uses must then
    // live until the process ends.
    bool LeftThreadsBehind() const { return leftBehind_; }

private:
    // Shared with the threads, so a thread left behind never counts down
    // into a destroyed object.
    struct Count {
        std::mutex lock;
        std::condition_variable ended;
        int running = 0;
    };
    std::shared_ptr<Count> count_ = std::make_shared<Count>();
    std::vector<std::thread> threads_;
    bool leftBehind_ = false;
};
