#include "SelfSignedCertificate.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

namespace devserver {

namespace {

constexpr long kValiditySeconds = 30L * 24 * 3600;

bool AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool FillCertificate(X509* certificate, EVP_PKEY* key) {
    unsigned char serial[8];
    if (RAND_bytes(serial, sizeof serial) != 1) return false;
    serial[0] &= 0x7f;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    if (!serialSet) return false;

    X509_NAME* name = X509_get_subject_name(certificate);
    const auto* commonName = reinterpret_cast<const unsigned char*>("127.0.0.1");
    return X509_set_version(certificate, 2) == 1 &&
           X509_gmtime_adj(X509_getm_notBefore(certificate), -3600) != nullptr &&
           X509_gmtime_adj(X509_getm_notAfter(certificate), kValiditySeconds) != nullptr &&
           X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) == 1 &&
           X509_set_issuer_name(certificate, name) == 1 && X509_set_pubkey(certificate, key) == 1 &&
           AddExtension(certificate, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
           AddExtension(certificate, NID_basic_constraints, "critical,CA:FALSE") &&
           X509_sign(certificate, key, EVP_sha256()) > 0;
}

}  // namespace

SelfSignedCertificate::SelfSignedCertificate() {
    key_.reset(EVP_EC_gen("P-256"));
    if (!key_) return;
    certificate_.reset(X509_new());
    if (certificate_ && !FillCertificate(certificate_.get(), key_.get())) certificate_.reset();
}

std::string SelfSignedCertificate::CertificatePem() const {
    if (!Valid()) return {};
    BIO* memory = BIO_new(BIO_s_mem());
    if (memory == nullptr) return {};
    std::string pem;
    if (PEM_write_bio_X509(memory, certificate_.get()) == 1) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(memory, &data);
        if (size > 0) pem.assign(data, static_cast<std::size_t>(size));
    }
    BIO_free(memory);
    return pem;
}

}  // namespace devserver
