#include "platform/FileLock.h"

#include "platform/DesktopUserFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FileLock::FileLock(std::string path) : path_(std::move(path)) {}

FileLock::~FileLock() {
    Unlock();
    if (fd_ >= 0) close(fd_);
}

bool FileLock::Open() {
    if (fd_ >= 0) return true;
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) HandToDesktopUser(path_);
    return fd_ >= 0;
}

bool FileLock::Lock(bool exclusive, bool wait) {
    if (!Open()) return false;
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    int result;
    do {
        result = flock(fd_, operation);
    } while (result != 0 && errno == EINTR);
    // A failed conversion has already given up the lock held before.
    held_ = result == 0;
    return held_;
}

void FileLock::Unlock() {
    if (fd_ >= 0 && held_) flock(fd_, LOCK_UN);
    held_ = false;
}

}  // namespace platform
