#pragma once
// Where the parts of a PE image that an Authenticode signature treats
// specially lie: the CheckSum field, the security directory entry and the
// certificate table it points to.
#include <cstdint>
#include <span>
#include <string>

namespace platform {

struct PeImageLayout {
    enum class Kind {
        NotPe,      // no "MZ" signature: some other kind of file
        Malformed,  // claims to be a PE image but its headers are broken
        Image,      // headers understood; the fields below are valid
    };
    Kind kind = Kind::NotPe;
    std::string problem;  // why Malformed, for the log

    bool pe32Plus = false;
    bool hasSecurityDirectory = false;  // false: the image cannot carry a signature
    std::uint64_t checksumOffset = 0;        // 4 bytes left out of the image hash
    std::uint64_t securityEntryOffset = 0;   // 8 bytes left out of the image hash
    std::uint64_t certificateTableOffset = 0;  // 0 with size 0: no table
    std::uint64_t certificateTableSize = 0;
};

// Headers must lie within this prefix of the file; real images keep them in
// the first page or two.
inline constexpr std::size_t kPeHeaderWindow = 64 * 1024;

// Parses the image headers from the first bytes of a file (up to
// kPeHeaderWindow) whose full size is fileSize. Directory values are copied
// as found; whether the table fits the file is for the caller to judge.
PeImageLayout ParsePeImageLayout(std::span<const unsigned char> prefix, std::uint64_t fileSize);

}  // namespace platform
