#pragma once
// Whether a signer is trusted: the store of trusted roots, the chain check
// for code signing (and for time-stamping authorities), and time stamps.
#include <ctime>
#include <string>

#include "platform/CodeSignatureVerifier.h"
#include "platform/OpenSslHandles.h"

namespace platform::codesign {

// The trusted roots: the configured files and folders, and optionally the
// system store.
StorePtr BuildStore(const SignatureTrust& trust);

enum class ChainUse { CodeSigning, TimeStamping };

// Verifies the chain from signer to a trusted root at the given time, using
// the certificates shipped in the signature, and checks it is fit for the
// use: no certificate rejected for it, code-signing usage on every
// certificate that limits its usage, and nothing unused shipped.
SignatureVerdict CheckChain(X509_STORE* store, X509* signer, STACK_OF(X509) * shipped, std::time_t at, ChainUse use);

struct TimestampCheck {
    bool valid = false;
    std::time_t stampedAt = 0;
    std::string problem;
};
// A time stamp holds when it is a well-formed RFC 3161 token whose
// signature verifies, whose message imprint is the digest of exactly this
// signature value, and whose signer chains to a trusted root as a
// time-stamping authority at the stamped time.
TimestampCheck VerifyTimestamp(X509_STORE* store, PKCS7_SIGNER_INFO* signerInfo, const ASN1_STRING* encoded);

}  // namespace platform::codesign
