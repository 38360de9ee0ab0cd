#include "support/TestCertificates.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include "support/DevServer.h"

namespace testsupport {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

constexpr long kDay = 24L * 3600;
constexpr char kNulName[] = "localhost\0.wrong.example";

struct Issuer {
    Certificate certificate;
    Key key;
};

Issuer LoadTestRoot() {
    Issuer root;
    if (File file{std::fopen(TestTlsRoot().c_str(), "r")}) {
        root.certificate.reset(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
    }
    if (File file{std::fopen(TestTlsFile("ca-key.pem").c_str(), "r")}) {
        root.key.reset(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
    }
    return root;
}

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A DNS name with a NUL inside, which no configuration syntax can express.
bool AddNulDnsName(X509* certificate) {
    GENERAL_NAMES* names = GENERAL_NAMES_new();
    GENERAL_NAME* name = GENERAL_NAME_new();
    ASN1_IA5STRING* text = ASN1_IA5STRING_new();
    bool added = names && name && text && ASN1_STRING_set(text, kNulName, sizeof kNulName - 1) == 1;
    if (added) {
        GENERAL_NAME_set0_value(name, GEN_DNS, text);
        text = nullptr;
        added = sk_GENERAL_NAME_push(names, name) > 0;
        if (added) name = nullptr;
    }
    added = added && X509_add1_ext_i2d(certificate, NID_subject_alt_name, names, 0, X509V3_ADD_DEFAULT) == 1;
    ASN1_IA5STRING_free(text);
    GENERAL_NAME_free(name);
    GENERAL_NAMES_free(names);
    return added;
}

bool SetNames(X509* certificate, X509* issuer, CertificateKind kind) {
    X509_NAME* subject = X509_get_subject_name(certificate);
    if (kind == CertificateKind::NulInName) {
        const auto* common = reinterpret_cast<const unsigned char*>(kNulName);
        return X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, common, sizeof kNulName - 1, -1, 0) == 1 &&
               AddNulDnsName(certificate);
    }
    const bool wrong = kind == CertificateKind::WrongName;
    const auto* common = reinterpret_cast<const unsigned char*>(wrong ? "wrong.example" : "127.0.0.1");
    return X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, common, -1, -1, 0) == 1 &&
           AddExtension(certificate, issuer, NID_subject_alt_name,
                        wrong ? "DNS:wrong.example" : "IP:127.0.0.1,DNS:localhost");
}

bool Fill(X509* certificate, EVP_PKEY* key, const Issuer& root, CertificateKind kind) {
    const bool selfSigned = kind == CertificateKind::UnknownIssuer;
    X509* issuer = selfSigned ? certificate : root.certificate.get();
    EVP_PKEY* signingKey = selfSigned ? key : root.key.get();
    const bool expired = kind == CertificateKind::Expired;
    unsigned char serial[8];
    if (RAND_bytes(serial, sizeof serial) != 1) return false;
    serial[0] &= 0x7f;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    return serialSet && issuer && signingKey && X509_set_version(certificate, 2) == 1 &&
           X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -30 * kDay : -3600) &&
           X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -kDay : 30 * kDay) &&
           X509_set_pubkey(certificate, key) == 1 && SetNames(certificate, issuer, kind) &&
           X509_set_issuer_name(certificate, X509_get_subject_name(issuer)) == 1 &&
           AddExtension(certificate, issuer, NID_basic_constraints, "critical,CA:FALSE") &&
           X509_sign(certificate, signingKey, EVP_sha256()) > 0;
}

const char* KindName(CertificateKind kind) {
    switch (kind) {
        case CertificateKind::Trusted: return "trusted";
        case CertificateKind::UnknownIssuer: return "unknown-issuer";
        case CertificateKind::Expired: return "expired";
        case CertificateKind::WrongName: return "wrong-name";
        case CertificateKind::NulInName: return "nul-in-name";
    }
    return "certificate";
}

}  // namespace

CertificateFiles MakeServerCertificate(const std::string& folder, CertificateKind kind) {
    const Issuer root = LoadTestRoot();
    Key key(EVP_EC_gen("P-256"));
    Certificate certificate(X509_new());
    if (!key || !certificate || !Fill(certificate.get(), key.get(), root, kind)) return {};
    const CertificateFiles files{folder + "/" + KindName(kind) + ".pem", folder + "/" + KindName(kind) + "-key.pem"};
    File chain(std::fopen(files.chain.c_str(), "w"));
    File keyFile(std::fopen(files.key.c_str(), "w"));
    if (!chain || !keyFile || PEM_write_X509(chain.get(), certificate.get()) != 1 ||
        PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        return {};
    }
    return files;
}

bool PadCertificateChain(const std::string& chainPath, std::size_t bytes) {
    std::ifstream rootFile(TestTlsRoot(), std::ios::binary);
    const std::string root((std::istreambuf_iterator<char>(rootFile)), std::istreambuf_iterator<char>());
    if (root.empty()) return false;
    std::ofstream chain(chainPath, std::ios::binary | std::ios::app);
    for (std::size_t size = std::filesystem::file_size(chainPath); size < bytes; size += root.size()) chain << root;
    return static_cast<bool>(chain);
}

}  // namespace testsupport
