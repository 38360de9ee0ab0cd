#pragma once
// length bytes of an open file from fileOffset; bytes past the file's end read as zeros.
#include "BodySource.h"

namespace devserver {

class FileBody : public BodySource {
public:
    // Takes ownership of fd.
    FileBody(int fd, std::uint64_t fileOffset, std::uint64_t length);
    ~FileBody() override;
    FileBody(const FileBody&) = delete;
    FileBody& operator=(const FileBody&) = delete;
    std::uint64_t Size() const override { return length_; }
    std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) override;

private:
    int fd_;
    std::uint64_t fileOffset_;
    std::uint64_t length_;
};

}  // namespace devserver
