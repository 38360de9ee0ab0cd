#pragma once
// The outcome of a package signature check in the terms the install flow
// logs and reports: a trust result code and the "last error" beside it, as
// the system's trust provider spells them, and the message for each.
#include <cstdint>
#include <string>

#include "platform/CodeSignatureVerifier.h"

namespace SignatureTrustResult {

// Result codes (HRESULT values, kept as the system defines them).
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kNoSignature = 0x800B0100;            // TRUST_E_NOSIGNATURE
inline constexpr std::uint32_t kSubjectFormUnknown = 0x800B0003;     // TRUST_E_SUBJECT_FORM_UNKNOWN
inline constexpr std::uint32_t kProviderUnknown = 0x800B0001;        // TRUST_E_PROVIDER_UNKNOWN
inline constexpr std::uint32_t kSubjectNotTrusted = 0x800B0004;      // TRUST_E_SUBJECT_NOT_TRUSTED
inline constexpr std::uint32_t kExplicitDistrust = 0x800B0111;       // TRUST_E_EXPLICIT_DISTRUST
inline constexpr std::uint32_t kSecuritySettings = 0x80092026;       // CRYPT_E_SECURITY_SETTINGS
inline constexpr std::uint32_t kBadDigest = 0x80096010;              // TRUST_E_BAD_DIGEST
inline constexpr std::uint32_t kBadSignature = 0x80090006;           // NTE_BAD_SIGNATURE
inline constexpr std::uint32_t kBadTimestamp = 0x80096005;           // TRUST_E_TIME_STAMP
inline constexpr std::uint32_t kExpired = 0x800B0101;                // CERT_E_EXPIRED
inline constexpr std::uint32_t kUntrustedRoot = 0x800B0109;          // CERT_E_UNTRUSTEDROOT
inline constexpr std::uint32_t kChaining = 0x800B010A;               // CERT_E_CHAINING
inline constexpr std::uint32_t kWrongUsage = 0x800B0110;             // CERT_E_WRONG_USAGE
inline constexpr std::uint32_t kAsn1BadTag = 0x8009310B;             // CRYPT_E_ASN1_BADTAG

struct TrustOutcome {
    std::uint32_t result = kNoSignature;
    std::uint32_t lastError = kNoSignature;
};

// How each verifier status is reported.
TrustOutcome OutcomeOf(const platform::SignatureVerdict& verdict);

// The message logged for a result (and its last error) about path.
std::string MessageOf(const TrustOutcome& outcome, const std::string& path);

// The result as the log prints it: the code read as a signed 32-bit number.
std::string ResultText(std::uint32_t result);

}  // namespace SignatureTrustResult
