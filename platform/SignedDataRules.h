#pragma once
// What a PKCS#7 signed-data blob must look like before its signature is
// worth checking: one signer, accepted digests, pinned versions, nothing
// unsigned riding along. Shared by the Authenticode and the appended checks.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodeSignatureVerifier.h"
#include "platform/OpenSslHandles.h"

namespace platform::codesign {

SignatureVerdict MakeVerdict(SignatureStatus status, std::string detail);

// The most recent OpenSSL error as text, for details.
std::string OpenSslErrorText();
// Dotted text of an object identifier.
std::string ObjectText(const ASN1_OBJECT* object);
std::string SubjectOf(X509* certificate);
// The digest for an accepted algorithm (SHA-1, SHA-256/384/512), else nullptr.
const EVP_MD* AcceptedDigest(int nid);
std::optional<std::time_t> TimeOf(const ASN1_TIME* time);

// The size of the DER element at data (tag, length and content), when it has
// a definite length and fits within size bytes.
std::optional<std::size_t> DefiniteDerSize(const unsigned char* data, std::size_t size);
// Parses the whole of data as one PKCS#7 SignedData; nullptr on garbage or
// trailing bytes.
Pkcs7Ptr ParseSignedData(const unsigned char* data, std::size_t size);

struct SignerParts {
    PKCS7_SIGNER_INFO* info = nullptr;
    X509* certificate = nullptr;  // owned by the PKCS7 object
};
// Exactly one signer with an accepted digest and a fitting signature
// algorithm, whose certificate is shipped in the signature; versions pinned
// (3 allowed outside for time stamps); no revocation lists.
std::optional<SignerParts> SoleSigner(PKCS7* p7, std::string& problem, bool cmsVersionAllowed = false);

// What the unsigned attributes of a signer hold.
struct UnsignedAttributes {
    bool acceptable = true;
    std::string problem;
    const ASN1_STRING* timestampToken = nullptr;      // DER of the token, when present
    std::vector<const ASN1_STRING*> nestedSignatures;  // DER of each nested SignedData
};
// Only an RFC 3161 time stamp and (when allowed) nested signatures are
// accepted; anything else would be data riding along unsigned.
UnsignedAttributes ExamineUnsignedAttributes(PKCS7_SIGNER_INFO* signerInfo, bool nestedAllowed);

}  // namespace platform::codesign
