#pragma once
// A file opened for reading by offset, closed with the object. Used where a
// file must be inspected piecewise (headers, trailers, hashing in chunks)
// without loading it whole.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

    // Opens a regular file. On failure returns false and keeps errno in Error().
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    int Error() const { return error_; }
    // Size when the file was opened.
    std::uint64_t Size() const { return size_; }

    // Reads exactly length bytes at offset into out (resized). False when the
    // range lies outside the file or the read fails.
    bool ReadAt(std::uint64_t offset, std::size_t length, std::vector<unsigned char>& out);
    // Reads up to length bytes at offset into buffer; returns the count read,
    // 0 at the end of the file, -1 on error.
    long long ReadSome(std::uint64_t offset, void* buffer, std::size_t length);

private:
    void Close();

    int fd_ = -1;
    int error_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace platform
