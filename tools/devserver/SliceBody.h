#pragma once
// length bytes of another body from offset; bytes past its end read as zeros
// (a rule's surplus bytes).
#include <memory>

#include "BodySource.h"

namespace devserver {

class SliceBody : public BodySource {
public:
    SliceBody(std::shared_ptr<BodySource> whole, std::uint64_t offset, std::uint64_t length)
        : whole_(std::move(whole)), offset_(offset), length_(length) {}
    std::uint64_t Size() const override { return length_; }
    std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) override;

private:
    std::shared_ptr<BodySource> whole_;
    std::uint64_t offset_;
    std::uint64_t length_;
};

}  // namespace devserver
