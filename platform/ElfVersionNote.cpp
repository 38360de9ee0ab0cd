#include "platform/ElfVersionNote.h"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr char kNoteName[] = "ZembraVersion";
constexpr std::uint32_t kNoteType = 1;
// Note sections beyond this size are not version notes; reading stops there.
constexpr std::uint64_t kMaxNoteSection = 1 << 20;

class FileReader {
public:
    explicit FileReader(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileReader() {
        if (fd_ >= 0) close(fd_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Ok() const { return fd_ >= 0; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) const {
        return pread(fd_, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }

private:
    int fd_;
};

struct NoteSection {
    std::uint64_t offset;
    std::uint64_t size;
};

template <typename Ehdr, typename Shdr>
std::vector<NoteSection> NoteSectionsOf(const FileReader& file) {
    Ehdr header{};
    std::vector<NoteSection> sections;
    if (!file.Read(0, &header, sizeof header) || header.e_shentsize != sizeof(Shdr)) return sections;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Shdr section{};
        if (!file.Read(header.e_shoff + static_cast<std::uint64_t>(i) * sizeof(Shdr), &section, sizeof section))
            break;
        if (section.sh_type == SHT_NOTE && section.sh_size <= kMaxNoteSection)
            sections.push_back({section.sh_offset, section.sh_size});
    }
    return sections;
}

std::uint32_t Align4(std::uint32_t value) { return (value + 3u) & ~3u; }

// Splits the descriptor: four u16 numbers, then NUL-terminated texts.
std::optional<VersionInfo> ParseDescriptor(const unsigned char* data, std::size_t size) {
    VersionInfo info;
    if (size < 8) return std::nullopt;
    for (int i = 0; i < 4; ++i) info.fileVersion[i] = static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    std::string* fields[] = {&info.productName, &info.productVersion, &info.copyright, &info.description};
    std::size_t position = 8;
    for (std::string* field : fields) {
        const void* end = position < size ? std::memchr(data + position, 0, size - position) : nullptr;
        const std::size_t length = end ? static_cast<const unsigned char*>(end) - (data + position) : size - position;
        if (position < size) field->assign(reinterpret_cast<const char*>(data + position), length);
        position += length + 1;
    }
    return info;
}

std::optional<VersionInfo> FindVersionNote(const std::vector<unsigned char>& notes) {
    std::size_t position = 0;
    while (position + 12 <= notes.size()) {
        std::uint32_t nameSize, descSize, type;
        std::memcpy(&nameSize, &notes[position], 4);
        std::memcpy(&descSize, &notes[position + 4], 4);
        std::memcpy(&type, &notes[position + 8], 4);
        const std::size_t nameStart = position + 12;
        const std::size_t descStart = nameStart + Align4(nameSize);
        if (nameSize > notes.size() || descSize > notes.size() || descStart + descSize > notes.size()) break;
        if (type == kNoteType && nameSize == sizeof kNoteName &&
            std::memcmp(&notes[nameStart], kNoteName, sizeof kNoteName) == 0)
            return ParseDescriptor(&notes[descStart], descSize);
        position = descStart + Align4(descSize);
    }
    return std::nullopt;
}

}  // namespace

std::optional<VersionInfo> ReadVersionNote(const std::string& path) {
    FileReader file(path);
    if (!file.Ok()) return std::nullopt;
    unsigned char ident[EI_NIDENT];
    if (!file.Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
    if (ident[EI_DATA] != ELFDATA2LSB) return std::nullopt;
    const auto sections = ident[EI_CLASS] == ELFCLASS64 ? NoteSectionsOf<Elf64_Ehdr, Elf64_Shdr>(file)
                                                        : NoteSectionsOf<Elf32_Ehdr, Elf32_Shdr>(file);
    for (const NoteSection& section : sections) {
        std::vector<unsigned char> notes(section.size);
        if (!file.Read(section.offset, notes.data(), notes.size())) continue;
        if (auto info = FindVersionNote(notes)) return info;
    }
    return std::nullopt;
}

}  // namespace platform
