#include "platform/CodeSignatureVerifier.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "platform/AppendedSignatureLayout.h"
#include "platform/PeImageLayout.h"
#include "platform/ReadOnlyFile.h"

namespace platform {

namespace {

template <auto FreeFunction>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const {
        FreeFunction(object);
    }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslDeleter<PKCS7_free>>;
using BioPtr = std::unique_ptr<BIO, OpenSslDeleter<BIO_free_all>>;
using StorePtr = std::unique_ptr<X509_STORE, OpenSslDeleter<X509_STORE_free>>;
using StoreContextPtr = std::unique_ptr<X509_STORE_CTX, OpenSslDeleter<X509_STORE_CTX_free>>;
using DigestContextPtr = std::unique_ptr<EVP_MD_CTX, OpenSslDeleter<EVP_MD_CTX_free>>;
using SignatureInfoPtr = std::unique_ptr<X509_SIG, OpenSslDeleter<X509_SIG_free>>;
using TstInfoPtr = std::unique_ptr<TS_TST_INFO, OpenSslDeleter<TS_TST_INFO_free>>;
using ObjectPtr = std::unique_ptr<ASN1_OBJECT, OpenSslDeleter<ASN1_OBJECT_free>>;

struct AnySequenceDeleter {
    void operator()(ASN1_SEQUENCE_ANY* sequence) const { sk_ASN1_TYPE_pop_free(sequence, ASN1_TYPE_free); }
};
using AnySequencePtr = std::unique_ptr<ASN1_SEQUENCE_ANY, AnySequenceDeleter>;

struct SignerStackDeleter {
    // The stack PKCS7_get0_signers returns borrows its certificates.
    void operator()(STACK_OF(X509) * signers) const { sk_X509_free(signers); }
};
using SignerStackPtr = std::unique_ptr<STACK_OF(X509), SignerStackDeleter>;

constexpr const char* kSpcIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";
constexpr const char* kSpcPeImageDataOid = "1.3.6.1.4.1.311.2.1.15";
constexpr const char* kRfc3161CounterSignatureOid = "1.3.6.1.4.1.311.3.3.1";
constexpr const char* kNestedSignatureOid = "1.3.6.1.4.1.311.2.4.1";

// Real certificate tables hold a few kilobytes; this bounds what a hostile
// header can make us read.
constexpr std::uint64_t kMaxCertificateTableSize = 16 * 1024 * 1024;
constexpr std::size_t kHashChunkSize = 64 * 1024;
constexpr std::uint32_t kWinCertificateRevision = 0x0200;
constexpr std::uint16_t kWinCertificateTypePkcsSignedData = 0x0002;

SignatureVerdict Result(SignatureStatus status, std::string detail) {
    SignatureVerdict verdict;
    verdict.status = status;
    verdict.detail = std::move(detail);
    return verdict;
}

SignatureVerdict FileProblem(int error, const std::string& what) {
    SignatureVerdict verdict = Result(SignatureStatus::FileError, what + ": " + std::strerror(error));
    verdict.systemError = error;
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

// Digests a signature may use; MD5 and anything unknown are refused.
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

// --- reading a file range through a BIO -------------------------------------

struct FileRange {
    ReadOnlyFile* file;
    std::uint64_t position;
    std::uint64_t end;
};

int FileRangeRead(BIO* bio, char* out, int length) {
    auto* range = static_cast<FileRange*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    if (range == nullptr || length <= 0) return 0;
    if (range->position >= range->end) return 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(length), range->end - range->position));
    const long long got = range->file->ReadSome(range->position, out, wanted);
    if (got <= 0) return -1;  // the file shrank or failed: the digest cannot match
    range->position += static_cast<std::uint64_t>(got);
    return static_cast<int>(got);
}

long FileRangeControl(BIO* bio, int command, long, void*) {
    auto* range = static_cast<FileRange*>(BIO_get_data(bio));
    switch (command) {
        case BIO_CTRL_EOF:
            return range == nullptr || range->position >= range->end;
        case BIO_CTRL_FLUSH:
            return 1;
        default:
            return 0;
    }
}

const BIO_METHOD* FileRangeMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "file range");
        if (created != nullptr) {
            BIO_meth_set_read(created, FileRangeRead);
            BIO_meth_set_ctrl(created, FileRangeControl);
        }
        return created;
    }();
    return method;
}

// The BIO borrows range, which must outlive it.
BioPtr NewFileRangeBio(FileRange& range) {
    const BIO_METHOD* method = FileRangeMethod();
    if (method == nullptr) return nullptr;
    BioPtr bio(BIO_new(method));
    if (bio) {
        BIO_set_data(bio.get(), &range);
        BIO_set_init(bio.get(), 1);
    }
    return bio;
}

// A read-only BIO over bytes that stay owned by the caller. PKCS7_verify
// copies a plain memory BIO and, in OpenSSL 3.0, leaks that copy on some
// error paths; a pass-through filter in front keeps it off that path.
BioPtr NewMemoryBio(const unsigned char* data, long size) {
    if (size < 0 || size > INT32_MAX) return nullptr;
    BioPtr memory(BIO_new_mem_buf(data, static_cast<int>(size)));
    BioPtr filter(BIO_new(BIO_f_null()));
    if (!memory || !filter) return nullptr;
    BIO_push(filter.get(), memory.release());
    return filter;
}

// --- trust ------------------------------------------------------------------

void LoadRootsFrom(X509_STORE* store, const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            if (entry.is_regular_file(error)) files.push_back(entry.path().string());
        }
        std::sort(files.begin(), files.end());
        // Files that are not PEM certificates are simply skipped.
        for (const auto& file : files) X509_STORE_load_file(store, file.c_str());
    } else {
        X509_STORE_load_file(store, path.c_str());
    }
    ERR_clear_error();
}

StorePtr BuildStore(const SignatureTrust& trust) {
    StorePtr store(X509_STORE_new());
    if (!store) return nullptr;
    for (const auto& path : trust.rootPaths) {
        if (!path.empty()) LoadRootsFrom(store.get(), path);
    }
    if (trust.useSystemStore) X509_STORE_set_default_paths(store.get());
    ERR_clear_error();
    return store;
}

SignatureStatus StatusOfChainError(int error) {
    switch (error) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return SignatureStatus::Expired;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return SignatureStatus::UntrustedRoot;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return SignatureStatus::IncompleteChain;
        case X509_V_ERR_CERT_REJECTED:
            return SignatureStatus::Disallowed;
        case X509_V_ERR_INVALID_PURPOSE:
            return SignatureStatus::WrongUsage;
        default:
            return SignatureStatus::NotTrusted;
    }
}

bool AllowsCodeSigning(X509* certificate) {
    const std::uint32_t usage = X509_get_extended_key_usage(certificate);
    // No extension at all means no restriction.
    return usage == UINT32_MAX || (usage & (XKU_CODE_SIGN | XKU_ANYEKU)) != 0;
}

enum class ChainUse { CodeSigning, TimeStamping };

// Every certificate a signature ships must belong to the chain that was
// verified: an unused one is unsigned data riding along.
bool ShipsOnlyChainCertificates(STACK_OF(X509) * shipped, STACK_OF(X509) * chain) {
    for (int i = 0; i < sk_X509_num(shipped); ++i) {
        X509* certificate = sk_X509_value(shipped, i);
        bool found = false;
        for (int j = 0; j < sk_X509_num(chain) && !found; ++j) found = X509_cmp(certificate, sk_X509_value(chain, j)) == 0;
        if (!found) return false;
    }
    return true;
}

SignatureVerdict CheckChain(X509_STORE* store, X509* signer, STACK_OF(X509) * shipped, std::time_t at,
                            ChainUse use) {
    StoreContextPtr context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store, signer, shipped) != 1)
        return Result(SignatureStatus::NotTrusted, "cannot set up chain verification");
    X509_STORE_CTX_set_time(context.get(), 0, at);
    // OpenSSL knows the time-stamping purpose; code signing is checked below.
    if (use == ChainUse::TimeStamping) X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_TIMESTAMP_SIGN);
    if (X509_verify_cert(context.get()) != 1) {
        const int error = X509_STORE_CTX_get_error(context.get());
        return Result(StatusOfChainError(error), std::string(X509_verify_cert_error_string(error)) + " (" +
                                                     SubjectOf(X509_STORE_CTX_get_current_cert(context.get())) + ")");
    }

    STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
    if (!ShipsOnlyChainCertificates(shipped, chain))
        return Result(SignatureStatus::Malformed, "a shipped certificate is not part of the chain");
    const int usageNid = use == ChainUse::CodeSigning ? NID_code_sign : NID_time_stamp;
    for (int i = 0; i < sk_X509_num(chain); ++i) {
        X509* certificate = sk_X509_value(chain, i);
        // Trust settings stored with a root (or intermediate) in the trust
        // file that exclude this use mark the whole chain as disallowed.
        if (X509_check_trust(certificate, usageNid, 0) == X509_TRUST_REJECTED)
            return Result(SignatureStatus::Disallowed, "rejected for this use: " + SubjectOf(certificate));
    }
    if (use == ChainUse::TimeStamping) return Result(SignatureStatus::Verified, "stamped by " + SubjectOf(signer));

    for (int i = 0; i < sk_X509_num(chain); ++i) {
        X509* certificate = sk_X509_value(chain, i);
        if (!AllowsCodeSigning(certificate))
            return Result(SignatureStatus::WrongUsage, "not valid for code signing: " + SubjectOf(certificate));
    }
    const std::uint32_t keyUsage = X509_get_key_usage(signer);
    if (keyUsage != UINT32_MAX && (keyUsage & KU_DIGITAL_SIGNATURE) == 0)
        return Result(SignatureStatus::WrongUsage, "signer key not usable for signatures: " + SubjectOf(signer));
    return Result(SignatureStatus::Verified, "signed by " + SubjectOf(signer));
}

std::optional<std::time_t> TimeOf(const ASN1_TIME* time) {
    std::tm fields{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &fields) != 1) return std::nullopt;
    return timegm(&fields);
}

// What the unsigned attributes of a signer hold. Only an RFC 3161 time
// stamp and (for PE images) nested signatures are accepted there: anything
// else would be data riding along in the signature without being signed.
struct UnsignedAttributes {
    bool acceptable = true;
    std::string problem;
    const ASN1_STRING* timestampToken = nullptr;      // DER of the token, when present
    std::vector<const ASN1_STRING*> nestedSignatures;  // DER of each nested SignedData
};

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

// --- signed data --------------------------------------------------------------

struct SignerParts {
    PKCS7_SIGNER_INFO* info = nullptr;
    X509* certificate = nullptr;
};

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

// Exactly one signer, with an accepted digest, whose certificate is shipped
// in the signature.
std::optional<SignerParts> SoleSigner(PKCS7* p7, std::string& problem, bool cmsVersionAllowed = false) {
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

// Parses the whole of data as one PKCS#7 SignedData; nullptr on garbage or
// trailing bytes.
Pkcs7Ptr ParseSignedData(const unsigned char* data, std::size_t size) {
    if (size > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    const unsigned char* cursor = data;
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &cursor, static_cast<long>(size)));
    if (!p7 || cursor != data + size || !PKCS7_type_is_signed(p7.get()) || p7->d.sign == nullptr ||
        p7->d.sign->contents == nullptr)
        return nullptr;
    return p7;
}

// The size of the DER element at data (tag, length and content), when it
// has a definite length and fits within size bytes.
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

struct TimestampCheck {
    bool valid = false;
    std::time_t stampedAt = 0;
    std::string problem;
};

// A time stamp holds when it is a well-formed RFC 3161 token whose
// signature verifies, whose message imprint is the digest of exactly this
// signature value, and whose signer chains to a trusted root as a
// time-stamping authority at the stamped time.
TimestampCheck VerifyTimestamp(X509_STORE* store, PKCS7_SIGNER_INFO* signerInfo, const ASN1_STRING* encoded) {
    TimestampCheck check;
    const auto refuse = [&check](std::string problem) {
        check.problem = std::move(problem);
        return check;
    };
    Pkcs7Ptr token = ParseSignedData(encoded->data, static_cast<std::size_t>(encoded->length));
    if (!token || OBJ_obj2nid(token->d.sign->contents->type) != NID_id_smime_ct_TSTInfo)
        return refuse("time stamp unreadable");
    std::string problem;
    const auto stamper = SoleSigner(token.get(), problem, true);
    if (!stamper) return refuse("time stamp: " + problem);
    if (sk_X509_ATTRIBUTE_num(stamper->info->unauth_attr) > 0) return refuse("time stamp carries unsigned data");

    TstInfoPtr info(PKCS7_to_TS_TST_INFO(token.get()));
    const auto stampedAt = info ? TimeOf(TS_TST_INFO_get_time(info.get())) : std::nullopt;
    if (!stampedAt) return refuse("time stamp unreadable");
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info.get());
    const X509_ALGOR* imprintAlgorithm = TS_MSG_IMPRINT_get_algo(imprint);
    const ASN1_OCTET_STRING* imprintDigest = TS_MSG_IMPRINT_get_msg(imprint);
    const EVP_MD* algorithm = imprintAlgorithm ? AcceptedDigest(OBJ_obj2nid(imprintAlgorithm->algorithm)) : nullptr;
    if (algorithm == nullptr || imprintDigest == nullptr) return refuse("time stamp digest not accepted");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    const ASN1_OCTET_STRING* signatureValue = signerInfo->enc_digest;
    if (EVP_Digest(signatureValue->data, static_cast<std::size_t>(signatureValue->length), digest, &digestSize,
                   algorithm, nullptr) != 1 ||
        static_cast<int>(digestSize) != imprintDigest->length ||
        std::memcmp(digest, imprintDigest->data, digestSize) != 0)
        return refuse("time stamp is for another signature");

    if (PKCS7_verify(token.get(), nullptr, nullptr, nullptr, nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
        return refuse("time stamp signature does not verify: " + OpenSslErrorText());
    const SignatureVerdict chain =
        CheckChain(store, stamper->certificate, token->d.sign->cert, *stampedAt, ChainUse::TimeStamping);
    if (chain.status != SignatureStatus::Verified) return refuse("time stamp authority: " + chain.detail);
    check.valid = true;
    check.stampedAt = *stampedAt;
    return check;
}

// --- Authenticode -------------------------------------------------------------

struct IndirectData {
    const EVP_MD* digest = nullptr;
    std::vector<unsigned char> imageDigest;
    // The SpcIndirectDataContent value without its tag and length: what the
    // signer's messageDigest attribute covers.
    const unsigned char* signedContent = nullptr;
    long signedContentSize = 0;
};

AnySequencePtr ParseSequence(const unsigned char* data, long size) {
    const unsigned char* cursor = data;
    AnySequencePtr sequence(d2i_ASN1_SEQUENCE_ANY(nullptr, &cursor, size));
    if (sequence && cursor != data + size) return nullptr;
    return sequence;
}

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

// The Authenticode image digest: every byte before the certificate table
// except the CheckSum field and the security directory entry.
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

// Splits the certificate table into its WIN_CERTIFICATE entries. Each entry
// must be one PKCS#7 blob followed by fewer than 8 zero bytes of padding, so
// nothing can hide in the table.
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

}  // namespace

const char* SignatureStatusName(SignatureStatus status) {
    switch (status) {
        case SignatureStatus::Verified:
            return "verified";
        case SignatureStatus::NotSigned:
            return "not signed";
        case SignatureStatus::FileError:
            return "file error";
        case SignatureStatus::UnknownFormat:
            return "unknown format";
        case SignatureStatus::Malformed:
            return "malformed signature";
        case SignatureStatus::DigestMismatch:
            return "digest mismatch";
        case SignatureStatus::BadSignature:
            return "bad signature";
        case SignatureStatus::UntrustedRoot:
            return "untrusted root";
        case SignatureStatus::IncompleteChain:
            return "incomplete chain";
        case SignatureStatus::Expired:
            return "expired";
        case SignatureStatus::WrongUsage:
            return "wrong usage";
        case SignatureStatus::Disallowed:
            return "disallowed";
        case SignatureStatus::NotTrusted:
            return "not trusted";
        case SignatureStatus::BadTimestamp:
            return "bad time stamp";
    }
    return "?";
}

CodeSignatureVerifier::CodeSignatureVerifier(SignatureTrust trust) : trust_(std::move(trust)) {}

namespace {

class Verification {
public:
    Verification(const SignatureTrust& trust, ReadOnlyFile& file) : trust_(trust), file_(file) {}

    SignatureVerdict Run() {
        std::vector<unsigned char> prefix;
        const std::size_t prefixSize = static_cast<std::size_t>(std::min<std::uint64_t>(file_.Size(), kPeHeaderWindow));
        if (!file_.ReadAt(0, prefixSize, prefix)) return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const PeImageLayout layout = ParsePeImageLayout(prefix, file_.Size());
        switch (layout.kind) {
            case PeImageLayout::Kind::Malformed:
                return Result(SignatureStatus::UnknownFormat, "broken PE headers: " + layout.problem);
            case PeImageLayout::Kind::Image:
                return VerifyPeImage(layout);
            case PeImageLayout::Kind::NotPe:
                break;
        }
        return VerifyAppendedSignature();
    }

private:
    SignatureVerdict VerifyPeImage(const PeImageLayout& layout) {
        const std::uint64_t offset = layout.certificateTableOffset;
        const std::uint64_t size = layout.certificateTableSize;
        const std::uint64_t fileSize = file_.Size();
        if (!layout.hasSecurityDirectory || (offset == 0 && size == 0))
            return Result(SignatureStatus::NotSigned, "no certificate table");
        if (offset == 0 || size == 0) return Result(SignatureStatus::Malformed, "half-empty security directory");
        if (offset < layout.securityEntryOffset + 8)
            return Result(SignatureStatus::Malformed, "certificate table overlaps the headers");
        if (offset > fileSize || size > fileSize - offset)
            return Result(SignatureStatus::Malformed, "certificate table runs past the end of the file");
        if (size > kMaxCertificateTableSize) return Result(SignatureStatus::Malformed, "certificate table too large");
        if (offset + size != fileSize)
            return Result(SignatureStatus::DigestMismatch, std::to_string(fileSize - offset - size) +
                                                               " bytes after the certificate table are not signed");

        std::vector<unsigned char> table;
        if (!file_.ReadAt(offset, static_cast<std::size_t>(size), table))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        std::string problem;
        auto signatures = SplitCertificateTable(table, problem);
        if (!signatures) return Result(SignatureStatus::Malformed, problem);
        if (signatures->empty()) return Result(SignatureStatus::Malformed, "empty certificate table");

        // Every signature in the table must hold, not just the first.
        SignatureVerdict first;
        for (std::size_t i = 0; i < signatures->size(); ++i) {
            SignatureVerdict verdict = VerifyAuthenticode((*signatures)[i].get(), layout);
            if (verdict.status != SignatureStatus::Verified) return verdict;
            if (i == 0) first = std::move(verdict);
        }
        return first;
    }

    // A signature may carry further signatures over the same image; they must
    // all hold too. Nesting deeper than one level is refused.
    SignatureVerdict VerifyAuthenticode(PKCS7* p7, const PeImageLayout& layout, int depth = 0) {
        std::string problem;
        const auto indirect = ParseIndirectData(p7, problem);
        if (!indirect) return Result(SignatureStatus::Malformed, problem);
        const auto signer = SoleSigner(p7, problem);
        if (!signer) return Result(SignatureStatus::Malformed, problem);

        const auto digest = ImageDigest(file_, layout, indirect->digest);
        if (!digest) return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        if (*digest != indirect->imageDigest)
            return Result(SignatureStatus::DigestMismatch, "the image differs from what was signed");

        BioPtr content = NewMemoryBio(indirect->signedContent, indirect->signedContentSize);
        if (!content) return Result(SignatureStatus::BadSignature, "out of memory");
        if (PKCS7_verify(p7, nullptr, nullptr, content.get(), nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
            return Result(SignatureStatus::BadSignature, "signature does not verify: " + OpenSslErrorText());

        const UnsignedAttributes extras = ExamineUnsignedAttributes(signer->info, depth == 0);
        if (!extras.acceptable) return Result(SignatureStatus::Malformed, extras.problem);
        SignatureVerdict verdict = CheckSigner(p7, *signer, extras);
        for (const ASN1_STRING* encoded : extras.nestedSignatures) {
            if (verdict.status != SignatureStatus::Verified) break;
            Pkcs7Ptr nested = ParseSignedData(encoded->data, static_cast<std::size_t>(encoded->length));
            if (!nested) return Result(SignatureStatus::Malformed, "nested signature unreadable");
            SignatureVerdict inner = VerifyAuthenticode(nested.get(), layout, depth + 1);
            if (inner.status != SignatureStatus::Verified) {
                inner.detail = "nested signature: " + inner.detail;
                return inner;
            }
        }
        return verdict;
    }

    SignatureVerdict VerifyAppendedSignature() {
        const std::uint64_t fileSize = file_.Size();
        const std::size_t tailSize =
            static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kAppendedSignatureTailSize));
        std::vector<unsigned char> tail;
        if (!file_.ReadAt(fileSize - tailSize, tailSize, tail))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const AppendedSignatureLayout layout = ParseAppendedSignatureLayout(tail, fileSize);
        switch (layout.kind) {
            case AppendedSignatureLayout::Kind::None:
                return Result(SignatureStatus::NotSigned, "no signature");
            case AppendedSignatureLayout::Kind::Malformed:
                return Result(SignatureStatus::Malformed, layout.problem);
            case AppendedSignatureLayout::Kind::Present:
                break;
        }

        std::vector<unsigned char> der;
        if (!file_.ReadAt(layout.signatureOffset, layout.signatureSize, der))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        Pkcs7Ptr p7 = ParseSignedData(der.data(), der.size());
        if (!p7) return Result(SignatureStatus::Malformed, "signature unreadable: " + OpenSslErrorText());
        // The content must be the file itself, never a copy carried inside the signature.
        if (!PKCS7_type_is_data(p7->d.sign->contents) || !PKCS7_get_detached(p7.get()))
            return Result(SignatureStatus::Malformed, "signature is not detached");
        std::string problem;
        const auto signer = SoleSigner(p7.get(), problem);
        if (!signer) return Result(SignatureStatus::Malformed, problem);

        FileRange range{&file_, 0, layout.contentSize};
        BioPtr content = NewFileRangeBio(range);
        if (!content) return Result(SignatureStatus::BadSignature, "out of memory");
        if (PKCS7_verify(p7.get(), nullptr, nullptr, content.get(), nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
            return Result(SignatureStatus::DigestMismatch, "the content differs from what was signed");
        if (range.position != range.end)
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const UnsignedAttributes extras = ExamineUnsignedAttributes(signer->info, false);
        if (!extras.acceptable) return Result(SignatureStatus::Malformed, extras.problem);
        return CheckSigner(p7.get(), *signer, extras);
    }

    SignatureVerdict CheckSigner(PKCS7* p7, const SignerParts& signer, const UnsignedAttributes& extras) {
        StorePtr store = BuildStore(trust_);
        if (!store) return Result(SignatureStatus::NotTrusted, "out of memory");

        std::optional<std::time_t> stampedAt;
        if (extras.timestampToken != nullptr) {
            const TimestampCheck stamp = VerifyTimestamp(store.get(), signer.info, extras.timestampToken);
            if (!stamp.valid) return Result(SignatureStatus::BadTimestamp, stamp.problem);
            stampedAt = stamp.stampedAt;
        }
        // A valid time stamp fixes the moment the signer's certificates must
        // have been valid; without one, it is now.
        const std::time_t at = stampedAt ? *stampedAt : trust_.verificationTime.value_or(std::time(nullptr));
        SignatureVerdict verdict = CheckChain(store.get(), signer.certificate, p7->d.sign->cert, at, ChainUse::CodeSigning);
        verdict.timestamp = stampedAt;
        return verdict;
    }

    const SignatureTrust& trust_;
    ReadOnlyFile& file_;
};

}  // namespace

SignatureVerdict CodeSignatureVerifier::Verify(const std::string& path) const {
    ReadOnlyFile file;
    if (!file.Open(path)) return FileProblem(file.Error(), "cannot open " + path);
    ERR_clear_error();
    SignatureVerdict verdict = Verification(trust_, file).Run();
    // The error queue is per thread; leave nothing behind for other callers.
    ERR_clear_error();
    return verdict;
}

}  // namespace platform
