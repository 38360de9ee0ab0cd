#include "platform/AuthenticodeImage.h"

#include <algorithm>
#include <cstdint>

#include "platform/SignedDataRules.h"

namespace platform::codesign {

namespace {

constexpr const char* kSpcIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";
constexpr const char* kSpcPeImageDataOid = "1.3.6.1.4.1.311.2.1.15";
constexpr std::size_t kHashChunkSize = 64 * 1024;
constexpr std::uint32_t kWinCertificateRevision = 0x0200;
constexpr std::uint16_t kWinCertificateTypePkcsSignedData = 0x0002;

AnySequencePtr ParseSequence(const unsigned char* data, long size) {
    const unsigned char* cursor = data;
    AnySequencePtr sequence(d2i_ASN1_SEQUENCE_ANY(nullptr, &cursor, size));
    if (sequence && cursor != data + size) return nullptr;
    return sequence;
}

}  // namespace

std::optional<IndirectData> ParseIndirectData(PKCS7* p7, std::string& problem) {
    PKCS7* contents = p7->d.sign->contents;
    if (ObjectText(contents->type) != kSpcIndirectDataOid || contents->d.other == nullptr ||
        contents->d.other->type != V_ASN1_SEQUENCE) {
        problem = "signed content is not Authenticode data";
        return std::nullopt;
    }
    const ASN1_STRING* encoded = contents->d.other->value.sequence;
    AnySequencePtr outer = ParseSequence(encoded->data, encoded->length);
    if (!outer || sk_ASN1_TYPE_num(outer.get()) < 2) {
        problem = "Authenticode data unreadable";
        return std::nullopt;
    }
    const ASN1_TYPE* attribute = sk_ASN1_TYPE_value(outer.get(), 0);
    const ASN1_TYPE* digestInfo = sk_ASN1_TYPE_value(outer.get(), 1);
    if (attribute->type != V_ASN1_SEQUENCE || digestInfo->type != V_ASN1_SEQUENCE) {
        problem = "Authenticode data unreadable";
        return std::nullopt;
    }
    AnySequencePtr typeAndValue =
        ParseSequence(attribute->value.sequence->data, attribute->value.sequence->length);
    if (!typeAndValue || sk_ASN1_TYPE_num(typeAndValue.get()) < 1 ||
        sk_ASN1_TYPE_value(typeAndValue.get(), 0)->type != V_ASN1_OBJECT ||
        ObjectText(sk_ASN1_TYPE_value(typeAndValue.get(), 0)->value.object) != kSpcPeImageDataOid) {
        problem = "Authenticode data does not describe a PE image";
        return std::nullopt;
    }

    const unsigned char* cursor = digestInfo->value.sequence->data;
    const long digestInfoSize = digestInfo->value.sequence->length;
    SignatureInfoPtr signature(d2i_X509_SIG(nullptr, &cursor, digestInfoSize));
    if (!signature || cursor != digestInfo->value.sequence->data + digestInfoSize) {
        problem = "image digest unreadable";
        return std::nullopt;
    }
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* digest = nullptr;
    X509_SIG_get0(signature.get(), &algorithm, &digest);
    IndirectData data;
    data.digest = AcceptedDigest(OBJ_obj2nid(algorithm->algorithm));
    if (data.digest == nullptr) {
        problem = "image digest algorithm not accepted";
        return std::nullopt;
    }
    if (digest->length != EVP_MD_get_size(data.digest)) {
        problem = "image digest has the wrong length";
        return std::nullopt;
    }
    data.imageDigest.assign(digest->data, digest->data + digest->length);

    const auto total = DefiniteDerSize(encoded->data, static_cast<std::size_t>(encoded->length));
    if (!total) {
        problem = "Authenticode data unreadable";
        return std::nullopt;
    }
    const unsigned char* content = encoded->data;
    long contentSize = 0;
    int tag = 0;
    int objectClass = 0;
    ASN1_get_object(&content, &contentSize, &tag, &objectClass, encoded->length);
    data.signedContent = content;
    data.signedContentSize = contentSize;
    return data;
}

std::optional<std::vector<unsigned char>> ImageDigest(ReadOnlyFile& file, const PeImageLayout& layout,
                                                      const EVP_MD* algorithm) {
    DigestContextPtr context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1) return std::nullopt;
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {0, layout.checksumOffset},
        {layout.checksumOffset + 4, layout.securityEntryOffset},
        {layout.securityEntryOffset + 8, layout.certificateTableOffset},
    };
    std::vector<unsigned char> buffer(kHashChunkSize);
    for (const auto& [begin, end] : ranges) {
        for (std::uint64_t position = begin; position < end;) {
            const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kHashChunkSize, end - position));
            const long long got = file.ReadSome(position, buffer.data(), wanted);
            if (got <= 0) return std::nullopt;
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got));
            position += static_cast<std::uint64_t>(got);
        }
    }
    std::vector<unsigned char> digest(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) return std::nullopt;
    digest.resize(size);
    return digest;
}

std::optional<std::vector<Pkcs7Ptr>> SplitCertificateTable(const std::vector<unsigned char>& table,
                                                         std::string& problem) {
    std::vector<Pkcs7Ptr> signatures;
    std::size_t position = 0;
    while (position < table.size()) {
        const std::size_t left = table.size() - position;
        if (left < 8) {
            problem = "incomplete certificate entry";
            return std::nullopt;
        }
        const unsigned char* entry = table.data() + position;
        const std::uint32_t length = entry[0] | (entry[1] << 8) | (entry[2] << 16) |
                                     (static_cast<std::uint32_t>(entry[3]) << 24);
        const std::uint16_t revision = static_cast<std::uint16_t>(entry[4] | (entry[5] << 8));
        const std::uint16_t type = static_cast<std::uint16_t>(entry[6] | (entry[7] << 8));
        if (length < 8 || length > left) {
            problem = "certificate entry length out of range";
            return std::nullopt;
        }
        if (revision != kWinCertificateRevision || type != kWinCertificateTypePkcsSignedData) {
            problem = "unsupported certificate entry";
            return std::nullopt;
        }
        // The DER encoding states its own length; whatever follows is padding.
        const unsigned char* der = entry + 8;
        const auto derSize = DefiniteDerSize(der, length - 8);
        if (!derSize) {
            problem = "signature unreadable";
            return std::nullopt;
        }
        const std::size_t aligned = (static_cast<std::size_t>(length) + 7) & ~static_cast<std::size_t>(7);
        const std::size_t padded = std::min(aligned, left);
        if (padded - 8 - *derSize >= 8 ||
            std::any_of(der + *derSize, entry + padded, [](unsigned char c) { return c != 0; })) {
            problem = "data hidden in the certificate table";
            return std::nullopt;
        }
        Pkcs7Ptr p7 = ParseSignedData(der, *derSize);
        if (!p7) {
            problem = "signature unreadable: " + OpenSslErrorText();
            return std::nullopt;
        }
        signatures.push_back(std::move(p7));
        position += aligned;
    }
    return signatures;
}

}  // namespace platform::codesign
