#include "FileBody.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace devserver {

FileBody::FileBody(int fd, std::uint64_t fileOffset, std::uint64_t length)
    : fd_(fd), fileOffset_(fileOffset), length_(length) {}

FileBody::~FileBody() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t FileBody::Read(std::uint64_t offset, char* buffer, std::size_t length) {
    if (offset >= length_) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, length_ - offset));
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, buffer + done, length - done,
                                    static_cast<off_t>(fileOffset_ + offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return 0;
        if (got == 0) {
            std::memset(buffer + done, 0, length - done);  // past the end of the file
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return length;
}

}  // namespace devserver
