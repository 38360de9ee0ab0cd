#pragma once
// Checks the code signature of a file with OpenSSL: the Authenticode
// signature of a PE image, or the appended PKCS#7 signature of any other
// file (see AppendedSignatureLayout.h). Both must chain to a trusted root
// and the signer must be allowed to sign code.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class SignatureStatus {
    Verified,
    NotSigned,         // no signature at all
    FileError,         // the file cannot be opened or read (errno in systemError)
    UnknownFormat,     // claims to be a PE image, but the headers are broken
    Malformed,         // a signature is there but cannot be read, or carries unsigned extra data
    DigestMismatch,    // the file is not what was signed (changed, or bytes added)
    BadSignature,      // the signature value does not match the signed data
    UntrustedRoot,     // the chain ends in a root that is not trusted
    IncompleteChain,   // no issuer found for some certificate
    Expired,           // a certificate was not valid at the time that counts
    WrongUsage,        // a certificate is not meant for code signing
    Disallowed,        // a certificate of the chain is explicitly rejected
    NotTrusted,        // the chain fails for another reason
    BadTimestamp,      // a time stamp is attached but does not verify
};

// A short English name of a status, for logs and test output.
const char* SignatureStatusName(SignatureStatus status);

struct SignatureVerdict {
    SignatureStatus status = SignatureStatus::NotSigned;
    std::string detail;   // one line saying what was found
    int systemError = 0;  // errno for FileError
    // Signing time proven by a verified time stamp; nullopt without one.
    std::optional<std::time_t> timestamp;
};

struct SignatureTrust {
    // PEM files, or folders whose files are PEM, holding the trusted roots.
    // A root written as a trusted certificate that rejects code signing
    // ("openssl x509 -addreject codeSigning") makes its chains Disallowed.
    std::vector<std::string> rootPaths;
    // Also trust the system's certificate store.
    bool useSystemStore = false;
    // The time certificates are checked at when no time stamp says
    // otherwise; nullopt is the current time. Tests pin it.
    std::optional<std::time_t> verificationTime;
};

class CodeSignatureVerifier {
public:
    explicit CodeSignatureVerifier(SignatureTrust trust);

    // Never throws; every problem is a status.
    SignatureVerdict Verify(const std::string& path) const;

private:
    SignatureTrust trust_;
};

}  // namespace platform
