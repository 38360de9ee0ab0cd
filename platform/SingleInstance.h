#pragma once
// One wizard per product: a lock file (flock) in the private runtime folder
// stands for the named mutex, and an abstract Unix socket named after the
// window class lets a second instance ask the first to show itself. Only
// processes of the same user count: another user can neither hold our lock
// nor answer or ask through our socket name.
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
    // when another process holds it. When the lock file cannot be ours (a
    // symbolic link or someone else's file in its place, no runtime folder),
    // a lock under a private name is taken instead and Problem() says why.
    bool Acquire(const std::string& name);
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    const std::string& Problem() const { return problem_; }
    // The descriptor, so a crash handler can drop the lock with close().
    int Descriptor() const { return fd_; }

private:
    bool AcquirePrivateName(const std::string& name);

    int fd_ = -1;
    bool privateName_ = false;
    std::string path_;
    std::string problem_;
};

// The first instance listens on the window class's socket; onShowRequest
// runs on the listener thread whenever another instance asks.
class InstanceBeacon {
public:
    InstanceBeacon() = default;
    ~InstanceBeacon();
    InstanceBeacon(const InstanceBeacon&) = delete;
    InstanceBeacon& operator=(const InstanceBeacon&) = delete;

    // Requests from processes of other users are refused. When another
    // user took the name first, it listens under a private name instead and
    // Problem() says so.
    bool Listen(const std::string& windowClass, std::function<void()> onShowRequest);
    void Stop();
    const std::string& Problem() const { return problem_; }

    // True when an instance of this user listens for windowClass (the window
    // exists). With askToShow it is also asked to show and raise its window.
    // A listener of another user is no instance of ours: false, and
    // foreignListener (when given) names its uid.
    static bool FindInstance(const std::string& windowClass, bool askToShow,
                             std::string* foreignListener = nullptr);
    // The abstract socket name windowClass listens under in this session.
    static std::string SocketName(const std::string& windowClass);

private:
    int fd_ = -1;
    std::string problem_;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
};

}  // namespace platform
