#pragma once
// A small reader for Minidump files, written against the format's documented
// offsets (not the writer's structures), so tests can check what a crash
// left behind. Every accessor checks bounds and reports a broken file as
// "not there" rather than reading past the end.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class MinidumpReader {
public:
    struct Stream {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        std::uint32_t rva = 0;
    };
    struct Exception {
        std::uint32_t threadId = 0;
        std::uint32_t code = 0;   // the signal number
        std::uint32_t flags = 0;  // si_code
        std::uint64_t address = 0;
        std::uint32_t contextSize = 0;
        std::uint32_t contextRva = 0;
    };
    struct Memory {
        std::uint64_t start = 0;
        std::uint32_t size = 0;
        std::uint32_t rva = 0;
    };
    struct Thread {
        std::uint32_t threadId = 0;
        Memory stack;
        std::uint32_t contextSize = 0;
        std::uint32_t contextRva = 0;
    };
    struct Module {
        std::uint64_t base = 0;
        std::uint32_t size = 0;
        std::string name;
        std::string buildIdHex;  // from a "BpEL" CodeView record; "" when none
    };

    // nullopt when the file is missing or its header or directory is broken;
    // error() of a default object says why.
    static std::optional<MinidumpReader> Load(const std::string& path, std::string* error = nullptr);

    const std::vector<Stream>& streams() const { return streams_; }
    std::optional<Stream> Find(std::uint32_t type) const;
    std::uint32_t version() const { return U32(4).value_or(0); }

    std::optional<Exception> ExceptionRecord() const;
    std::vector<Thread> Threads() const;
    std::vector<Memory> MemoryList() const;
    std::vector<Module> Modules() const;
    // The instruction and stack pointers of an x86-64 thread context.
    std::optional<std::uint64_t> ContextRip(std::uint32_t contextRva) const;
    std::optional<std::uint64_t> ContextRsp(std::uint32_t contextRva) const;
    // The raw bytes of a stream (the Linux text streams).
    std::string StreamBytes(std::uint32_t type) const;
    const std::string& bytes() const { return bytes_; }

    std::optional<std::uint32_t> U32(std::uint64_t offset) const;
    std::optional<std::uint64_t> U64(std::uint64_t offset) const;

private:
    bool InBounds(std::uint64_t offset, std::uint64_t size) const { return offset + size <= bytes_.size(); }
    std::optional<std::string> Utf16String(std::uint32_t rva) const;

    std::string bytes_;
    std::vector<Stream> streams_;
};

// The GNU build id of an ELF file on disk, from its section headers, as
// lower-case hex; "" when it has none.
std::string BuildIdOfElfFile(const std::string& path);

}  // namespace testsupport
