#pragma once
// The Authenticode parts of a PE image: the signed image digest inside the
// signature, the digest of the image itself, and the certificate table.
#include <optional>
#include <string>
#include <vector>

#include "platform/OpenSslHandles.h"
#include "platform/PeImageLayout.h"
#include "platform/ReadOnlyFile.h"

namespace platform::codesign {

struct IndirectData {
    const EVP_MD* digest = nullptr;
    std::vector<unsigned char> imageDigest;
    // The SpcIndirectDataContent value without its tag and length: what the
    // signer's messageDigest attribute covers.
    const unsigned char* signedContent = nullptr;
    long signedContentSize = 0;
};
// The image digest an Authenticode signature carries; nullopt (with the
// problem) when the content is not Authenticode data for a PE image.
std::optional<IndirectData> ParseIndirectData(PKCS7* p7, std::string& problem);

// The Authenticode image digest: every byte before the certificate table
// except the CheckSum field and the security directory entry.
std::optional<std::vector<unsigned char>> ImageDigest(ReadOnlyFile& file, const PeImageLayout& layout,
                                                      const EVP_MD* algorithm);

// Splits the certificate table into its WIN_CERTIFICATE entries. Each entry
// must be one PKCS#7 blob followed by fewer than 8 zero bytes of padding, so
// nothing can hide in the table.
std::optional<std::vector<Pkcs7Ptr>> SplitCertificateTable(const std::vector<unsigned char>& table,
                                                         std::string& problem);

}  // namespace platform::codesign
