#include "platform/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), size_(other.size_) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        size_ = other.size_;
    }
    return *this;
}

void ReadOnlyFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    error_ = 0;
    size_ = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    // A folder or a device has no content to check.
    if (!S_ISREG(info.st_mode)) {
        error_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

long long ReadOnlyFile::ReadSome(std::uint64_t offset, void* buffer, std::size_t length) {
    if (fd_ < 0) return -1;
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) {
            error_ = errno;
            return -1;
        }
    }
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, std::size_t length, std::vector<unsigned char>& out) {
    if (offset > size_ || length > size_ - offset) return false;
    out.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const long long got = ReadSome(offset + done, out.data() + done, length - done);
        if (got <= 0) return false;  // shrank under us, or an I/O error
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace platform
