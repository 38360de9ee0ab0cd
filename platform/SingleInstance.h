#pragma once
// One wizard per product: a lock file (flock) in the runtime folder stands
// for the named mutex, and an abstract Unix socket named after the window
// class lets a second instance ask the first to show itself.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace platform {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock named name (e.g. "TVS_Downloader_499"). Returns false
    // when another process holds it.
    bool Acquire(const std::string& name);
    void Release();
    bool Held() const { return fd_ >= 0; }
    // The descriptor, so a crash handler can drop the lock with close().
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// The first instance listens on the window class's socket; onShowRequest
// runs on the listener thread whenever another instance asks.
class InstanceBeacon {
public:
    InstanceBeacon() = default;
    ~InstanceBeacon();
    InstanceBeacon(const InstanceBeacon&) = delete;
    InstanceBeacon& operator=(const InstanceBeacon&) = delete;

    bool Listen(const std::string& windowClass, std::function<void()> onShowRequest);
    void Stop();

    // True when an instance listens for windowClass (the window exists).
    // With askToShow it is also asked to show and raise its window.
    static bool FindInstance(const std::string& windowClass, bool askToShow);

private:
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
};

}  // namespace platform
