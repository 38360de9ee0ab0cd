#include "SignatureTrustResult.h"

#include <cerrno>
#include <cstdio>

namespace SignatureTrustResult {

namespace {

// A system error number as an HRESULT of the Win32 facility.
std::uint32_t FromSystemError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return 0x80070002;  // file not found
        case EACCES:
        case EPERM:
            return 0x80070005;  // access denied
        default:
            return 0x8007001E;  // read fault
    }
}

std::string WithPath(const char* format, const std::string& path) {
    const int size = std::snprintf(nullptr, 0, format, path.c_str());
    if (size <= 0) return format;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, path.c_str());
    text.resize(static_cast<std::size_t>(size));
    return text;
}

}  // namespace

TrustOutcome OutcomeOf(const platform::SignatureVerdict& verdict) {
    using platform::SignatureStatus;
    switch (verdict.status) {
        case SignatureStatus::Verified:
            return {kSuccess, 0};
        case SignatureStatus::NotSigned:
            return {kNoSignature, kNoSignature};
        case SignatureStatus::UnknownFormat:
            return {kNoSignature, kSubjectFormUnknown};
        case SignatureStatus::FileError:
            return {kNoSignature, FromSystemError(verdict.systemError)};
        case SignatureStatus::Malformed:
            return {kNoSignature, kAsn1BadTag};
        case SignatureStatus::DigestMismatch:
            return {kBadDigest, kBadDigest};
        case SignatureStatus::BadSignature:
            return {kBadSignature, kBadSignature};
        case SignatureStatus::UntrustedRoot:
            return {kUntrustedRoot, kUntrustedRoot};
        case SignatureStatus::IncompleteChain:
            return {kChaining, kChaining};
        case SignatureStatus::Expired:
            return {kExpired, kExpired};
        case SignatureStatus::WrongUsage:
            return {kWrongUsage, kWrongUsage};
        case SignatureStatus::Disallowed:
            return {kExplicitDistrust, kExplicitDistrust};
        case SignatureStatus::NotTrusted:
            return {kSubjectNotTrusted, kSubjectNotTrusted};
        case SignatureStatus::BadTimestamp:
            return {kBadTimestamp, kBadTimestamp};
    }
    return {kNoSignature, kAsn1BadTag};
}

std::string MessageOf(const TrustOutcome& outcome, const std::string& path) {
    switch (outcome.result) {
        case kSuccess:
            return WithPath("The file \"%s\" is signed and the signature was verified.", path);
        case kSecuritySettings:
            return "CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't explicitly "
                   "trusted by the admin and admin policy has disabled user trust. No signature, publisher or "
                   "timestamp errors.";
        case kSubjectNotTrusted:
            return "The signature is present, but not trusted.";
        case kNoSignature:
            if (outcome.lastError == kNoSignature || outcome.lastError == kSubjectFormUnknown ||
                outcome.lastError == kProviderUnknown)
                return WithPath("The file \"%s\" is not signed.", path);
            return WithPath("An unknown error occurred trying to verify the signature of the \"%s\" file.", path);
        case kExplicitDistrust:
            return "The signature is present, but specifically disallowed.";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "Error is: 0x%x.", static_cast<unsigned>(outcome.result));
            return text;
        }
    }
}

std::string ResultText(std::uint32_t result) {
    return std::to_string(static_cast<std::int32_t>(result));
}

}  // namespace SignatureTrustResult
