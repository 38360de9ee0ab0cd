#pragma once
// A throw-away TLS identity made at start: an EC P-256 key and a self-signed
// certificate for 127.0.0.1 and localhost, valid for a month.
#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace devserver {

class SelfSignedCertificate {
public:
    // Generates the key and certificate; Valid() tells whether it worked.
    SelfSignedCertificate();

    bool Valid() const { return key_ && certificate_; }
    X509* Certificate() const { return certificate_.get(); }
    EVP_PKEY* Key() const { return key_.get(); }
    std::string CertificatePem() const;

private:
    struct KeyFree {
        void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    };
    struct CertificateFree {
        void operator()(X509* certificate) const { X509_free(certificate); }
    };
    std::unique_ptr<EVP_PKEY, KeyFree> key_;
    std::unique_ptr<X509, CertificateFree> certificate_;
};

}  // namespace devserver
