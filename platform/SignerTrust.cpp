#include "platform/SignerTrust.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <vector>

#include "platform/SignedDataRules.h"

namespace platform::codesign {

namespace {

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

}  // namespace

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

SignatureVerdict CheckChain(X509_STORE* store, X509* signer, STACK_OF(X509) * shipped, std::time_t at,
                            ChainUse use) {
    StoreContextPtr context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store, signer, shipped) != 1)
        return MakeVerdict(SignatureStatus::NotTrusted, "cannot set up chain verification");
    X509_STORE_CTX_set_time(context.get(), 0, at);
    // OpenSSL knows the time-stamping purpose; code signing is checked below.
    if (use == ChainUse::TimeStamping) X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_TIMESTAMP_SIGN);
    if (X509_verify_cert(context.get()) != 1) {
        const int error = X509_STORE_CTX_get_error(context.get());
        return MakeVerdict(StatusOfChainError(error), std::string(X509_verify_cert_error_string(error)) + " (" +
                                                     SubjectOf(X509_STORE_CTX_get_current_cert(context.get())) + ")");
    }

    STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
    if (!ShipsOnlyChainCertificates(shipped, chain))
        return MakeVerdict(SignatureStatus::Malformed, "a shipped certificate is not part of the chain");
    const int usageNid = use == ChainUse::CodeSigning ? NID_code_sign : NID_time_stamp;
    for (int i = 0; i < sk_X509_num(chain); ++i) {
        X509* certificate = sk_X509_value(chain, i);
        // Trust settings stored with a root (or intermediate) in the trust
        // file that exclude this use mark the whole chain as disallowed.
        if (X509_check_trust(certificate, usageNid, 0) == X509_TRUST_REJECTED)
            return MakeVerdict(SignatureStatus::Disallowed, "rejected for this use: " + SubjectOf(certificate));
    }
    if (use == ChainUse::TimeStamping) return MakeVerdict(SignatureStatus::Verified, "stamped by " + SubjectOf(signer));

    for (int i = 0; i < sk_X509_num(chain); ++i) {
        X509* certificate = sk_X509_value(chain, i);
        if (!AllowsCodeSigning(certificate))
            return MakeVerdict(SignatureStatus::WrongUsage, "not valid for code signing: " + SubjectOf(certificate));
    }
    const std::uint32_t keyUsage = X509_get_key_usage(signer);
    if (keyUsage != UINT32_MAX && (keyUsage & KU_DIGITAL_SIGNATURE) == 0)
        return MakeVerdict(SignatureStatus::WrongUsage, "signer key not usable for signatures: " + SubjectOf(signer));
    return MakeVerdict(SignatureStatus::Verified, "signed by " + SubjectOf(signer));
}

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

}  // namespace platform::codesign
