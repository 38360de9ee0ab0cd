#include "support/MinidumpReader.h"

#include <cstring>
#include <elf.h>

#include "support/TempDir.h"

namespace testsupport {

namespace {

// Offsets of the documented records.
constexpr std::uint32_t kHeaderSize = 32;
constexpr std::uint32_t kDirectoryEntrySize = 12;
constexpr std::uint32_t kThreadSize = 48;
constexpr std::uint32_t kModuleSize = 108;
constexpr std::uint32_t kMemoryDescriptorSize = 16;
constexpr std::uint32_t kContextRspOffset = 152;
constexpr std::uint32_t kContextRipOffset = 248;
constexpr std::uint32_t kExceptionStreamType = 6;
constexpr std::uint32_t kThreadListStreamType = 3;
constexpr std::uint32_t kModuleListStreamType = 4;
constexpr std::uint32_t kMemoryListStreamType = 5;

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 0xf];
    }
    return text;
}

template <typename T>
bool ReadAt(const std::string& bytes, std::uint64_t offset, T& out) {
    if (offset + sizeof(T) > bytes.size()) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

}  // namespace

std::optional<MinidumpReader> MinidumpReader::Load(const std::string& path, std::string* error) {
    auto fail = [error](const std::string& why) -> std::optional<MinidumpReader> {
        if (error) *error = why;
        return std::nullopt;
    };
    MinidumpReader reader;
    reader.bytes_ = ReadFile(path);
    if (reader.bytes_.size() < kHeaderSize) return fail("shorter than a header");
    if (reader.U32(0) != 0x504d444du) return fail("no MDMP signature");
    const std::uint32_t count = *reader.U32(8);
    const std::uint32_t directory = *reader.U32(12);
    if (!reader.InBounds(directory, std::uint64_t{count} * kDirectoryEntrySize)) return fail("directory out of bounds");
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = directory + std::uint64_t{i} * kDirectoryEntrySize;
        Stream stream{*reader.U32(entry), *reader.U32(entry + 4), *reader.U32(entry + 8)};
        if (stream.type == 0 && stream.size == 0) continue;
        if (!reader.InBounds(stream.rva, stream.size)) return fail("stream " + std::to_string(stream.type) + " out of bounds");
        reader.streams_.push_back(stream);
    }
    return reader;
}

std::optional<std::uint32_t> MinidumpReader::U32(std::uint64_t offset) const {
    std::uint32_t value = 0;
    if (!ReadAt(bytes_, offset, value)) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> MinidumpReader::U64(std::uint64_t offset) const {
    std::uint64_t value = 0;
    if (!ReadAt(bytes_, offset, value)) return std::nullopt;
    return value;
}

std::optional<MinidumpReader::Stream> MinidumpReader::Find(std::uint32_t type) const {
    for (const Stream& stream : streams_)
        if (stream.type == type) return stream;
    return std::nullopt;
}

std::optional<MinidumpReader::Exception> MinidumpReader::ExceptionRecord() const {
    const auto stream = Find(kExceptionStreamType);
    if (!stream || stream->size < 168) return std::nullopt;
    Exception exception;
    exception.threadId = *U32(stream->rva);
    exception.code = *U32(stream->rva + 8);
    exception.flags = *U32(stream->rva + 12);
    exception.address = *U64(stream->rva + 24);
    exception.contextSize = *U32(stream->rva + 160);
    exception.contextRva = *U32(stream->rva + 164);
    return exception;
}

std::vector<MinidumpReader::Thread> MinidumpReader::Threads() const {
    std::vector<Thread> threads;
    const auto stream = Find(kThreadListStreamType);
    if (!stream || stream->size < 4) return threads;
    const std::uint32_t count = *U32(stream->rva);
    if (4 + std::uint64_t{count} * kThreadSize > stream->size) return threads;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = stream->rva + 4 + std::uint64_t{i} * kThreadSize;
        Thread thread;
        thread.threadId = *U32(at);
        thread.stack = Memory{*U64(at + 24), *U32(at + 32), *U32(at + 36)};
        thread.contextSize = *U32(at + 40);
        thread.contextRva = *U32(at + 44);
        threads.push_back(thread);
    }
    return threads;
}

std::vector<MinidumpReader::Memory> MinidumpReader::MemoryList() const {
    std::vector<Memory> ranges;
    const auto stream = Find(kMemoryListStreamType);
    if (!stream || stream->size < 4) return ranges;
    const std::uint32_t count = *U32(stream->rva);
    if (4 + std::uint64_t{count} * kMemoryDescriptorSize > stream->size) return ranges;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = stream->rva + 4 + std::uint64_t{i} * kMemoryDescriptorSize;
        const Memory memory{*U64(at), *U32(at + 8), *U32(at + 12)};
        if (InBounds(memory.rva, memory.size)) ranges.push_back(memory);
    }
    return ranges;
}

std::optional<std::string> MinidumpReader::Utf16String(std::uint32_t rva) const {
    const auto length = U32(rva);
    if (!length || !InBounds(rva + 4, *length)) return std::nullopt;
    std::string text;
    // Paths in the tests are ASCII; anything else is shown as "?".
    for (std::uint32_t i = 0; i + 1 < *length; i += 2) {
        const auto low = static_cast<unsigned char>(bytes_[rva + 4 + i]);
        const auto high = static_cast<unsigned char>(bytes_[rva + 4 + i + 1]);
        text += high == 0 && low < 0x80 ? static_cast<char>(low) : '?';
    }
    return text;
}

std::vector<MinidumpReader::Module> MinidumpReader::Modules() const {
    std::vector<Module> modules;
    const auto stream = Find(kModuleListStreamType);
    if (!stream || stream->size < 4) return modules;
    const std::uint32_t count = *U32(stream->rva);
    if (4 + std::uint64_t{count} * kModuleSize > stream->size) return modules;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = stream->rva + 4 + std::uint64_t{i} * kModuleSize;
        Module module;
        module.base = *U64(at);
        module.size = *U32(at + 8);
        module.name = Utf16String(*U32(at + 20)).value_or("");
        const std::uint32_t cvSize = *U32(at + 76);
        const std::uint32_t cvRva = *U32(at + 80);
        if (cvSize > 4 && InBounds(cvRva, cvSize) && U32(cvRva) == 0x4c457042u)
            module.buildIdHex = Hex(bytes_.substr(cvRva + 4, cvSize - 4));
        modules.push_back(module);
    }
    return modules;
}

std::optional<std::uint64_t> MinidumpReader::ContextRip(std::uint32_t contextRva) const {
    return U64(std::uint64_t{contextRva} + kContextRipOffset);
}

std::optional<std::uint64_t> MinidumpReader::ContextRsp(std::uint32_t contextRva) const {
    return U64(std::uint64_t{contextRva} + kContextRspOffset);
}

std::string MinidumpReader::StreamBytes(std::uint32_t type) const {
    const auto stream = Find(type);
    return stream ? bytes_.substr(stream->rva, stream->size) : std::string();
}

std::string BuildIdOfElfFile(const std::string& path) {
    const std::string file = ReadFile(path);
    Elf64_Ehdr header;
    if (!ReadAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return "";
    for (int i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!ReadAt(file, header.e_shoff + std::uint64_t(i) * header.e_shentsize, section)) return "";
        if (section.sh_type != SHT_NOTE) continue;
        std::uint64_t offset = section.sh_offset;
        const std::uint64_t end = section.sh_offset + section.sh_size;
        Elf64_Nhdr note;
        while (offset + sizeof note <= end && ReadAt(file, offset, note)) {
            const std::uint64_t name = offset + sizeof note;
            const std::uint64_t desc = name + ((note.n_namesz + 3) & ~3u);
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && file.compare(name, 3, "GNU") == 0 &&
                desc + note.n_descsz <= file.size())
                return Hex(file.substr(desc, note.n_descsz));
            offset = desc + ((note.n_descsz + 3) & ~3u);
        }
    }
    return "";
}

}  // namespace testsupport
