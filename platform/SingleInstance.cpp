#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/AlternateSignalStack.h"
#include "platform/Folders.h"
#include "platform/PrivateFolder.h"

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
    const std::string name = InstanceBeacon::SocketName(windowClass);
    const std::size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// The uid of the process at the other end of a Unix socket; -1 when unknown.
long long PeerUid(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return -1;
    return credentials.uid;
}

bool SameUser(int fd) { return PeerUid(fd) == static_cast<long long>(geteuid()); }

std::string RandomSuffix() {
    unsigned value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) value = static_cast<unsigned>(getpid());
    return std::to_string(getpid()) + "-" + std::to_string(value);
}

// Opens the lock file itself (never through a symbolic link) and accepts it
// only as a regular file of ours that nobody else may write.
int OpenOwnLockFile(const std::string& path, std::string& problem) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = path + " is " + (errno == ELOOP ? std::string("a symbolic link") : std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH))) {
        problem = path + " is not a private file of this user";
        close(fd);
        return -1;
    }
    return fd;
}

int BoundSocket(const std::string& windowClass) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    const socklen_t length = BeaconAddress(windowClass, address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
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
    problem_.clear();
    const std::string folder = RuntimeDir();
    if (folder.empty()) {
        problem_ = "no private runtime folder";
        return AcquirePrivateName(name);
    }
    const std::string path = folder + "/" + name + ".lock";
    const int fd = OpenOwnLockFile(path, problem_);
    if (fd < 0) return AcquirePrivateName(name);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return false;
        problem_ = path + " cannot be locked: " + std::strerror(error);
        return AcquirePrivateName(name);
    }
    fd_ = fd;
    path_ = path;
    return true;
}

// Nobody else can reach a fresh name in our private folder: the run goes on
// without guarding against a second wizard rather than ending unseen.
bool InstanceLock::AcquirePrivateName(const std::string& name) {
    const std::string folder = PrivateTempFolder();
    if (folder.empty()) {
        problem_ += "; no private folder for a lock, going on without one";
        return true;
    }
    std::string pattern = folder + "/" + name + "-" + RandomSuffix() + "-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0) close(fd);
        problem_ += "; no private lock could be taken, going on without one";
        return true;
    }
    fd_ = fd;
    path_ = path.data();
    problem_ += "; using the private lock " + path_;
    privateName_ = true;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    if (privateName_) unlink(path_.c_str());
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
    privateName_ = false;
}

InstanceBeacon::~InstanceBeacon() { Stop(); }

std::string InstanceBeacon::SocketName(const std::string& windowClass) {
    const std::size_t session = std::hash<std::string>{}(RuntimeDir());
    return "zembra-" + std::to_string(getuid()) + "-" + std::to_string(session) + "-" + windowClass;
}

bool InstanceBeacon::Listen(const std::string& windowClass, std::function<void()> onShowRequest) {
    Stop();
    problem_.clear();
    int fd = BoundSocket(windowClass);
    if (fd < 0 && errno == EADDRINUSE) {
        const std::string privateName = windowClass + "-" + RandomSuffix();
        problem_ = "the beacon name " + windowClass + " is taken, listening as " + privateName;
        fd = BoundSocket(privateName);
    }
    if (fd < 0) return false;
    fd_ = fd;
    stopping_ = false;
    listener_ = std::thread([this, onShowRequest = std::move(onShowRequest)] {
        InstallThreadSignalStack();
        while (!stopping_) {
            if (!WaitReadable(fd_, 200)) continue;
            const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            if (!SameUser(client)) {
                close(client);
                continue;
            }
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

bool InstanceBeacon::FindInstance(const std::string& windowClass, bool askToShow, std::string* foreignListener) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    const socklen_t length = BeaconAddress(windowClass, address);
    // A listener of this user means the window exists; the answer only
    // confirms the request arrived.
    bool found = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    if (found && !SameUser(fd)) {
        if (foreignListener) *foreignListener = "uid " + std::to_string(PeerUid(fd));
        found = false;
    }
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
