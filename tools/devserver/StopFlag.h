#pragma once
// The process-wide "shutting down" flag. Every deliberate delay (latency,
// stalls, throttling) sleeps on it, so a stop never waits for a fault rule.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace devserver {

class StopFlag {
public:
    static StopFlag& Instance();

    void Raise();
    bool Raised() const;
    // Sleeps for the duration or until the flag is raised; false when raised.
    bool SleepFor(std::chrono::milliseconds duration);

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace devserver
