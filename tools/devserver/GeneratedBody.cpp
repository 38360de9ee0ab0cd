#include "GeneratedBody.h"

#include <algorithm>

namespace devserver {

GeneratedBody::GeneratedBody(std::string prefix, std::uint64_t fillerSize, Filler filler,
                             std::string suffix)
    : prefix_(std::move(prefix)), fillerSize_(fillerSize), filler_(filler), suffix_(std::move(suffix)) {}

std::uint64_t GeneratedBody::Size() const { return prefix_.size() + fillerSize_ + suffix_.size(); }

std::size_t GeneratedBody::Read(std::uint64_t offset, char* buffer, std::size_t length) {
    const std::uint64_t size = Size();
    if (offset >= size) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size - offset));
    const std::uint64_t fillerEnd = prefix_.size() + fillerSize_;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint64_t at = offset + i;
        if (at < prefix_.size()) {
            buffer[i] = prefix_[at];
        } else if (at < fillerEnd) {
            const std::uint64_t n = at - prefix_.size();
            buffer[i] = filler_ == Filler::Letters ? static_cast<char>('A' + n % 26) : BinaryFillerByte(n);
        } else {
            buffer[i] = suffix_[at - fillerEnd];
        }
    }
    return length;
}

char BinaryFillerByte(std::uint64_t n) {
    // A mixing function of the position: reproducible without state.
    std::uint64_t x = n * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 32;
    return static_cast<char>(x & 0xff);
}

}  // namespace devserver
