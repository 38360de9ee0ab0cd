#include "platform/PinnedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

PinnedFile::~PinnedFile() {
    if (fd_ >= 0) close(fd_);
}

std::string PinnedFile::Open(const std::string& path) {
    if (fd_ >= 0) close(fd_);
    fd_ = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return errno == ELOOP ? "a symbolic link" : std::strerror(errno);
    struct stat info {};
    std::string problem;
    if (fstat(fd_, &info) != 0)
        problem = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        problem = "not a regular file";
    else if (info.st_uid != geteuid())
        problem = "owned by uid " + std::to_string(info.st_uid);
    else if (info.st_mode & (S_IWGRP | S_IWOTH))
        problem = "writable by group or others";
    if (!problem.empty()) {
        close(fd_);
        fd_ = -1;
    }
    return problem;
}

std::string PinnedFile::ContentPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

bool PinnedFile::MarkExecutable() const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0) return false;
    mode_t mode = info.st_mode | S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    if (mode != info.st_mode && fchmod(fd_, mode & 07777) != 0) return false;
    return fstat(fd_, &info) == 0 && (info.st_mode & S_IXUSR);
}

}  // namespace platform
