#pragma once
// Server certificates for TLS tests, issued by the build's test CA
// (TestTlsRoot()) unless the kind says otherwise, each with a fresh P-256 key.
#include <cstddef>
#include <string>

namespace testsupport {

enum class CertificateKind {
    Trusted,        // for 127.0.0.1 and localhost, valid now
    UnknownIssuer,  // self-signed: no trusted root issued it
    Expired,        // ended yesterday
    WrongName,      // for wrong.example only
    NulInName,      // "localhost\0.wrong.example" as name and common name
};

struct CertificateFiles {
    std::string chain;  // PEM: the certificate (and what PadCertificateChain adds)
    std::string key;    // PEM private key
};

// Writes <folder>/<kind>.pem and <kind>-key.pem; empty paths when OpenSSL failed.
CertificateFiles MakeServerCertificate(const std::string& folder, CertificateKind kind);

// Appends copies of the test root to the chain until it holds at least bytes.
bool PadCertificateChain(const std::string& chainPath, std::size_t bytes);

}  // namespace testsupport
