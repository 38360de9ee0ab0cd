#include "platform/PeImageLayout.h"

namespace platform {

namespace {

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::uint32_t kSecurityDirectoryIndex = 4;
constexpr std::size_t kDataDirectorySize = 8;

std::uint16_t Le16(std::span<const unsigned char> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Le32(std::span<const unsigned char> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

PeImageLayout Broken(std::string problem) {
    PeImageLayout layout;
    layout.kind = PeImageLayout::Kind::Malformed;
    layout.problem = std::move(problem);
    return layout;
}

}  // namespace

PeImageLayout ParsePeImageLayout(std::span<const unsigned char> prefix, std::uint64_t fileSize) {
    if (prefix.size() > fileSize) prefix = prefix.first(static_cast<std::size_t>(fileSize));
    if (prefix.size() < 2 || prefix[0] != 'M' || prefix[1] != 'Z') return {};
    if (prefix.size() < 0x40) return Broken("file too short for a DOS header");

    const std::uint32_t peOffset = Le32(prefix, 0x3C);
    // All arithmetic below stays within the prefix window, so no sum overflows.
    if (peOffset > prefix.size() || prefix.size() - peOffset < 4 + kCoffHeaderSize)
        return Broken("PE header offset outside the header window");
    if (prefix[peOffset] != 'P' || prefix[peOffset + 1] != 'E' || prefix[peOffset + 2] != 0 ||
        prefix[peOffset + 3] != 0)
        return Broken("no PE signature");

    const std::size_t coff = peOffset + 4;
    const std::uint16_t optionalHeaderSize = Le16(prefix, coff + 16);
    const std::size_t optional = coff + kCoffHeaderSize;
    if (prefix.size() - optional < optionalHeaderSize) return Broken("optional header outside the header window");
    if (optionalHeaderSize < 2) return Broken("optional header missing");

    PeImageLayout layout;
    const std::uint16_t magic = Le16(prefix, optional);
    if (magic == kPe32Magic) {
        layout.pe32Plus = false;
    } else if (magic == kPe32PlusMagic) {
        layout.pe32Plus = true;
    } else {
        return Broken("unknown optional header magic");
    }
    const std::size_t directoryCountAt = optional + (layout.pe32Plus ? 108 : 92);
    const std::size_t directoriesAt = optional + (layout.pe32Plus ? 112 : 96);
    const std::size_t securityAt = directoriesAt + kSecurityDirectoryIndex * kDataDirectorySize;
    layout.kind = PeImageLayout::Kind::Image;
    // An image without room for the security entry simply carries no signature.
    if (securityAt + kDataDirectorySize > optional + optionalHeaderSize) return layout;
    if (Le32(prefix, directoryCountAt) <= kSecurityDirectoryIndex) return layout;

    layout.hasSecurityDirectory = true;
    layout.checksumOffset = optional + 64;
    layout.securityEntryOffset = securityAt;
    layout.certificateTableOffset = Le32(prefix, securityAt);
    layout.certificateTableSize = Le32(prefix, securityAt + 4);
    return layout;
}

}  // namespace platform
