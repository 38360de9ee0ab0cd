#pragma once
// The appended signature layout of non-PE packages:
//   content ‖ PKCS#7 DER (detached, over content) ‖ 12-byte record ‖ marker
// where the record is {u8 algo, u8 hash, u8 id_type = 2, u8 signer_len,
// u8 key_id_len, u8 pad[3], be32 signature length} and the marker is
// "~Module signature appended~\n".
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view kAppendedSignatureMarker = "~Module signature appended~\n";
inline constexpr std::size_t kAppendedSignatureRecordSize = 12;
// The tail a reader needs: the record and the marker.
inline constexpr std::size_t kAppendedSignatureTailSize =
    kAppendedSignatureRecordSize + kAppendedSignatureMarker.size();
// Larger signature blocks are refused rather than read into memory.
inline constexpr std::uint32_t kMaxAppendedSignatureSize = 1024 * 1024;

struct AppendedSignatureLayout {
    enum class Kind {
        None,       // the file does not end with the marker
        Malformed,  // the marker is there but the record is not usable
        Present,
    };
    Kind kind = Kind::None;
    std::string problem;
    std::uint64_t contentSize = 0;      // the signed bytes are [0, contentSize)
    std::uint64_t signatureOffset = 0;  // == contentSize
    std::uint32_t signatureSize = 0;
};

// tail = the last bytes of the file (at most kAppendedSignatureTailSize;
// fewer when the file is shorter), fileSize = its full size.
AppendedSignatureLayout ParseAppendedSignatureLayout(std::span<const unsigned char> tail, std::uint64_t fileSize);

}  // namespace platform
