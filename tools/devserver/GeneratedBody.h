#pragma once
// prefix, then fillerSize bytes made by a generator, then suffix: large or
// binary replies without holding them in memory.
#include <string>

#include "BodySource.h"

namespace devserver {

class GeneratedBody : public BodySource {
public:
    enum class Filler { Letters, Binary };
    GeneratedBody(std::string prefix, std::uint64_t fillerSize, Filler filler, std::string suffix);
    std::uint64_t Size() const override;
    std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) override;

private:
    std::string prefix_;
    std::uint64_t fillerSize_;
    Filler filler_;
    std::string suffix_;
};

// The n-th byte of the binary filler (deterministic, includes NUL and bytes >= 0x80).
char BinaryFillerByte(std::uint64_t n);

}  // namespace devserver
