#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/AlternateSignalStack.h"
#include "platform/Folders.h"

namespace platform {

namespace {

constexpr char kShowRequest = 'S';
constexpr char kPresenceProbe = 'P';
constexpr char kAcknowledge = 'K';
constexpr int kReplyTimeoutMs = 2000;

// Abstract socket names are shared by the whole machine, while windows are
// found only within one desktop session: the uid and the session's runtime
// folder keep one session's wizard from answering another's.
socklen_t BeaconAddress(const std::string& windowClass, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t session = std::hash<std::string>{}(RuntimeDir());
    const std::string name = "zembra-" + std::to_string(getuid()) + "-" + std::to_string(session) + "-" + windowClass;
    const std::size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

bool InstanceLock::Acquire(const std::string& name) {
    Release();
    const std::string path = RuntimeDir() + "/" + name + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

InstanceBeacon::~InstanceBeacon() { Stop(); }

bool InstanceBeacon::Listen(const std::string& windowClass, std::function<void()> onShowRequest) {
    Stop();
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    const socklen_t length = BeaconAddress(windowClass, address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    stopping_ = false;
    listener_ = std::thread([this, onShowRequest = std::move(onShowRequest)] {
        InstallThreadSignalStack();
        while (!stopping_) {
            if (!WaitReadable(fd_, 200)) continue;
            const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            char request = 0;
            if (WaitReadable(client, kReplyTimeoutMs) && read(client, &request, 1) == 1) {
                [[maybe_unused]] const ssize_t sent = write(client, &kAcknowledge, 1);
                if (request == kShowRequest && onShowRequest) onShowRequest();
            }
            close(client);
        }
    });
    return true;
}

void InstanceBeacon::Stop() {
    stopping_ = true;
    if (listener_.joinable()) listener_.join();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool InstanceBeacon::FindInstance(const std::string& windowClass, bool askToShow) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    const socklen_t length = BeaconAddress(windowClass, address);
    // A listener means the window exists; the answer only confirms the request arrived.
    const bool found = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    if (found) {
        const char request = askToShow ? kShowRequest : kPresenceProbe;
        char reply = 0;
        if (write(fd, &request, 1) == 1 && WaitReadable(fd, kReplyTimeoutMs)) {
            [[maybe_unused]] const ssize_t received = read(fd, &reply, 1);
        }
    }
    close(fd);
    return found;
}

}  // namespace platform
