#pragma once
// Owning handles for the OpenSSL objects the signature checks use.
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

namespace platform::codesign {

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

}  // namespace platform::codesign
