#include "SliceBody.h"

#include <algorithm>
#include <cstring>

namespace devserver {

std::size_t SliceBody::Read(std::uint64_t offset, char* buffer, std::size_t length) {
    if (offset >= length_) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, length_ - offset));
    const std::uint64_t from = offset_ + offset;
    const std::uint64_t available = from < whole_->Size() ? whole_->Size() - from : 0;
    std::size_t copied = 0;
    while (copied < length && copied < available) {
        const std::size_t got = whole_->Read(from + copied, buffer + copied, length - copied);
        if (got == 0) return copied;
        copied += got;
    }
    std::memset(buffer + copied, 0, length - copied);
    return length;
}

}  // namespace devserver
