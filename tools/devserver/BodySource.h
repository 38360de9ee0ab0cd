#pragma once
// A reply body that is streamed rather than held in memory.
#include <cstddef>
#include <cstdint>

namespace devserver {

class BodySource {
public:
    virtual ~BodySource() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies up to length bytes from offset into buffer; returns the count (0 = failure).
    virtual std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) = 0;
};

}  // namespace devserver
