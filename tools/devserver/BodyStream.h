#pragma once
// Reply bodies that are streamed rather than held in memory: file ranges,
// generated filler and plain text, sent in large chunks with the stream
// faults of a rule (drop after N bytes, a stall, a rate limit).
#include <cstdint>
#include <memory>
#include <string>

namespace httplib {
struct Response;
}

namespace devserver {

class BodySource {
public:
    virtual ~BodySource() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies up to length bytes from offset into buffer; returns the count (0 = failure).
    virtual std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) = 0;
};

// length bytes of an open file from fileOffset; bytes past the file's end read as zeros.
class FileBody : public BodySource {
public:
    // Takes ownership of fd.
    FileBody(int fd, std::uint64_t fileOffset, std::uint64_t length);
    ~FileBody() override;
    std::uint64_t Size() const override { return length_; }
    std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length) override;

private:
    int fd_;
    std::uint64_t fileOffset_;
    std::uint64_t length_;
};

// prefix, then fillerSize bytes made by a generator, then suffix.
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

struct StreamFaults {
    std::int64_t dropAfterBytes = -1;
    std::int64_t stallAfterBytes = -1;
    int stallMs = 0;
    bool closeAfterStall = false;
    std::int64_t rateBytesPerSecond = 0;
};

// Makes the response send the source with a Content-Length of its size.
void StreamBody(httplib::Response& response, std::shared_ptr<BodySource> source,
                const std::string& contentType, const StreamFaults& faults);

// The n-th byte of the binary filler (deterministic, includes NUL and bytes >= 0x80).
char BinaryFillerByte(std::uint64_t n);

}  // namespace devserver
