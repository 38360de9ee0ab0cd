#pragma once
// An event that stays signalled until reset, shared by the threads of one
// process (the wizard's "ProgressFinish100").
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

class ManualResetEvent {
public:
    explicit ManualResetEvent(std::string name = "") : name_(std::move(name)) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Blocks until the event is signalled.
    void Wait() const;
    // False when the time passed first.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    bool signalled_ = false;
};
