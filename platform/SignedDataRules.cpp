#include "platform/SignedDataRules.h"

#include <algorithm>
#include <cstdint>
#include <openssl/err.h>

namespace platform::codesign {

namespace {

constexpr const char* kRfc3161CounterSignatureOid = "1.3.6.1.4.1.311.3.3.1";
constexpr const char* kNestedSignatureOid = "1.3.6.1.4.1.311.2.4.1";

// The signature algorithm named in the signer info is not covered by the
// signature, and OpenSSL picks the algorithm from the key anyway; insist that
// the name agrees with the key and the digest.
bool SignatureAlgorithmFitsKey(PKCS7_SIGNER_INFO* signerInfo, X509* certificate) {
    X509_ALGOR* digest = nullptr;
    X509_ALGOR* signature = nullptr;
    PKCS7_SIGNER_INFO_get0_algs(signerInfo, nullptr, &digest, &signature);
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (digest == nullptr || signature == nullptr || key == nullptr) return false;
    const int keyType = EVP_PKEY_get_base_id(key);
    const int signatureNid = OBJ_obj2nid(signature->algorithm);
    int digestNid = NID_undef;
    int keyNid = NID_undef;
    if (OBJ_find_sigid_algs(signatureNid, &digestNid, &keyNid))
        return keyNid == keyType && (digestNid == NID_undef || digestNid == OBJ_obj2nid(digest->algorithm));
    return signatureNid == keyType;
}

}  // namespace

SignatureVerdict MakeVerdict(SignatureStatus status, std::string detail) {
    SignatureVerdict verdict;
    verdict.status = status;
    verdict.detail = std::move(detail);
    return verdict;
}

std::string OpenSslErrorText() {
    const unsigned long code = ERR_peek_last_error();
    if (code == 0) return "no further detail";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::string ObjectText(const ASN1_OBJECT* object) {
    char text[128];
    const int length = OBJ_obj2txt(text, sizeof text, object, 1);
    return length > 0 ? std::string(text, std::min<std::size_t>(length, sizeof text - 1)) : std::string();
}

std::string SubjectOf(X509* certificate) {
    if (certificate == nullptr) return "?";
    char text[256];
    X509_NAME_oneline(X509_get_subject_name(certificate), text, sizeof text);
    return text;
}

const EVP_MD* AcceptedDigest(int nid) {
    switch (nid) {
        case NID_sha1:
            return EVP_sha1();
        case NID_sha256:
            return EVP_sha256();
        case NID_sha384:
            return EVP_sha384();
        case NID_sha512:
            return EVP_sha512();
        default:
            return nullptr;
    }
}

std::optional<std::time_t> TimeOf(const ASN1_TIME* time) {
    std::tm fields{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &fields) != 1) return std::nullopt;
    return timegm(&fields);
}

std::optional<std::size_t> DefiniteDerSize(const unsigned char* data, std::size_t size) {
    if (size > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
    const unsigned char* cursor = data;
    long contentSize = 0;
    int tag = 0;
    int objectClass = 0;
    const int flags = ASN1_get_object(&cursor, &contentSize, &tag, &objectClass, static_cast<long>(size));
    constexpr int kError = 0x80;
    constexpr int kIndefinite = V_ASN1_CONSTRUCTED | 0x01;
    if ((flags & kError) != 0 || flags == kIndefinite) return std::nullopt;
    const std::size_t total = static_cast<std::size_t>(cursor - data) + static_cast<std::size_t>(contentSize);
    if (total > size) return std::nullopt;
    return total;
}

Pkcs7Ptr ParseSignedData(const unsigned char* data, std::size_t size) {
    if (size > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    const unsigned char* cursor = data;
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &cursor, static_cast<long>(size)));
    if (!p7 || cursor != data + size || !PKCS7_type_is_signed(p7.get()) || p7->d.sign == nullptr ||
        p7->d.sign->contents == nullptr)
        return nullptr;
    return p7;
}

std::optional<SignerParts> SoleSigner(PKCS7* p7, std::string& problem, bool cmsVersionAllowed) {
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7);
    if (sk_PKCS7_SIGNER_INFO_num(infos) != 1) {
        problem = "expected exactly one signer";
        return std::nullopt;
    }
    SignerParts parts;
    parts.info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
    X509_ALGOR* digest = nullptr;
    PKCS7_SIGNER_INFO_get0_algs(parts.info, nullptr, &digest, nullptr);
    if (digest == nullptr || AcceptedDigest(OBJ_obj2nid(digest->algorithm)) == nullptr) {
        problem = "signer digest not accepted";
        return std::nullopt;
    }
    // PKCS#7 v1.5 with issuer-and-serial signers is version 1 throughout
    // (time stamps, with their own content type, say 3 outside); the versions
    // are not covered by the signature, so pin them.
    const long version = ASN1_INTEGER_get(p7->d.sign->version);
    if ((version != 1 && !(cmsVersionAllowed && version == 3)) || ASN1_INTEGER_get(parts.info->version) != 1) {
        problem = "unexpected signed-data version";
        return std::nullopt;
    }
    if (sk_X509_CRL_num(p7->d.sign->crl) > 0) {
        problem = "unexpected revocation lists in the signature";
        return std::nullopt;
    }
    SignerStackPtr signers(PKCS7_get0_signers(p7, nullptr, 0));
    if (!signers || sk_X509_num(signers.get()) != 1) {
        problem = "signer certificate missing";
        ERR_clear_error();
        return std::nullopt;
    }
    parts.certificate = sk_X509_value(signers.get(), 0);
    if (!SignatureAlgorithmFitsKey(parts.info, parts.certificate)) {
        problem = "signature algorithm does not fit the signer key";
        return std::nullopt;
    }
    return parts;
}

UnsignedAttributes ExamineUnsignedAttributes(PKCS7_SIGNER_INFO* signerInfo, bool nestedAllowed) {
    UnsignedAttributes result;
    const auto refuse = [&result](std::string problem) {
        result.acceptable = false;
        result.problem = std::move(problem);
        return result;
    };
    ObjectPtr timestampOid(OBJ_txt2obj(kRfc3161CounterSignatureOid, 1));
    ObjectPtr nestedOid(OBJ_txt2obj(kNestedSignatureOid, 1));
    if (!timestampOid || !nestedOid) return refuse("out of memory");
    STACK_OF(X509_ATTRIBUTE)* attributes = signerInfo->unauth_attr;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
        const ASN1_OBJECT* type = X509_ATTRIBUTE_get0_object(attribute);
        const int count = X509_ATTRIBUTE_count(attribute);
        if (OBJ_cmp(type, timestampOid.get()) == 0) {
            ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
            if (result.timestampToken != nullptr || count != 1 || value == nullptr || value->type != V_ASN1_SEQUENCE)
                return refuse("unreadable time stamp attribute");
            result.timestampToken = value->value.sequence;
        } else if (nestedAllowed && OBJ_cmp(type, nestedOid.get()) == 0) {
            for (int v = 0; v < count; ++v) {
                ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, v);
                if (value == nullptr || value->type != V_ASN1_SEQUENCE) return refuse("unreadable nested signature");
                result.nestedSignatures.push_back(value->value.sequence);
            }
        } else {
            return refuse("unexpected unsigned attribute " + ObjectText(type));
        }
    }
    return result;
}

}  // namespace platform::codesign
