#include "platform/FileFacts.h"

#include <limits>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {

std::string ParentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

SysResult<std::int64_t> FileSize(const std::string& path) {
    struct stat facts {};
    if (stat(path.c_str(), &facts) != 0) return SysResult<std::int64_t>::Failure(errno);
    return static_cast<std::int64_t>(facts.st_size);
}

SysResult<std::int64_t> FileSystemCapacity(const std::string& path) {
    struct statvfs facts {};
    if (statvfs(ParentFolder(path).c_str(), &facts) != 0) return SysResult<std::int64_t>::Failure(errno);
    const auto blocks = static_cast<unsigned long long>(facts.f_blocks);
    const auto blockSize = static_cast<unsigned long long>(facts.f_frsize);
    constexpr auto kMost = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    if (blockSize != 0 && blocks > kMost / blockSize) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * blockSize);
}

}  // namespace platform
