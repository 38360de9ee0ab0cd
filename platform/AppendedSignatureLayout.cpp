#include "platform/AppendedSignatureLayout.h"

#include <algorithm>

namespace platform {

namespace {

constexpr unsigned char kIdTypePkcs7 = 2;

AppendedSignatureLayout Broken(std::string problem) {
    AppendedSignatureLayout layout;
    layout.kind = AppendedSignatureLayout::Kind::Malformed;
    layout.problem = std::move(problem);
    return layout;
}

}  // namespace

AppendedSignatureLayout ParseAppendedSignatureLayout(std::span<const unsigned char> tail, std::uint64_t fileSize) {
    const std::size_t markerSize = kAppendedSignatureMarker.size();
    if (tail.size() > fileSize) return Broken("tail longer than the file");
    if (tail.size() < markerSize) return {};
    const auto marker = tail.last(markerSize);
    if (!std::equal(marker.begin(), marker.end(), kAppendedSignatureMarker.begin())) return {};
    if (tail.size() < kAppendedSignatureTailSize || fileSize < kAppendedSignatureTailSize)
        return Broken("signature record missing");

    const auto record = tail.last(kAppendedSignatureTailSize).first(kAppendedSignatureRecordSize);
    if (record[2] != kIdTypePkcs7) return Broken("signature record is not of the PKCS#7 kind");
    // PKCS#7 records leave every other field zero; anything else is not ours.
    if (record[0] != 0 || record[1] != 0 || record[3] != 0 || record[4] != 0 || record[5] != 0 ||
        record[6] != 0 || record[7] != 0)
        return Broken("unexpected fields in the signature record");

    const std::uint32_t size = (static_cast<std::uint32_t>(record[8]) << 24) |
                               (static_cast<std::uint32_t>(record[9]) << 16) |
                               (static_cast<std::uint32_t>(record[10]) << 8) | record[11];
    if (size == 0) return Broken("empty signature");
    if (size > kMaxAppendedSignatureSize) return Broken("signature block too large");
    if (size > fileSize - kAppendedSignatureTailSize) return Broken("signature longer than the file");

    AppendedSignatureLayout layout;
    layout.kind = AppendedSignatureLayout::Kind::Present;
    layout.signatureSize = size;
    layout.contentSize = fileSize - kAppendedSignatureTailSize - size;
    layout.signatureOffset = layout.contentSize;
    return layout;
}

}  // namespace platform
