#include "platform/CurlOptions.h"

#include "platform/LocalSettings.h"

namespace platform {

namespace {
constexpr const char* kSystemRootsFolder = "/etc/ssl/certs";
}  // namespace

std::string CurlOptionSetter::FailureText() const {
    if (result_ == CURLE_OK) return {};
    return " curl option " + std::to_string(static_cast<int>(failedOption_)) +
           " refused: " + curl_easy_strerror(result_);
}

void SetSharedRequestOptions(CurlOptionSetter& options, Redirects redirects) {
    options.Set(CURLOPT_NOSIGNAL, 1L).KeepErrorDetails();
    if (redirects == Redirects::Follow) {
        options.Set(CURLOPT_FOLLOWLOCATION, 1L).Set(CURLOPT_MAXREDIRS, 5L);
    }
    // Every reply is trusted only from the server it was asked of: queries,
    // content links and report endpoints have no signature of their own.
    options.Set(CURLOPT_SSL_VERIFYPEER, 1L).Set(CURLOPT_SSL_VERIFYHOST, 2L);
    // Extra roots replace libcurl's bundle file, so the system's roots are
    // kept through its hashed folder.
    if (const std::string extraRoots = HostsFilePath("TlsCaFile"); !extraRoots.empty()) {
        options.Set(CURLOPT_CAINFO, extraRoots).Set(CURLOPT_CAPATH, kSystemRootsFolder);
    }
}

namespace {

bool IsTlsFailure(CURLcode result) {
    switch (result) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_CRL_BADFILE: return true;
        default: return false;
    }
}

}  // namespace

CurlOptionSetter::~CurlOptionSetter() {
    if (keepsErrorDetails_) curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, nullptr);
}

CurlOptionSetter& CurlOptionSetter::KeepErrorDetails() {
    Set(CURLOPT_ERRORBUFFER, errorDetails_);
    keepsErrorDetails_ = result_ == CURLE_OK;
    return *this;
}

std::string CurlOptionSetter::TlsFailureText(CURLcode transferResult) const {
    if (!IsTlsFailure(transferResult)) return {};
    char* url = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &url);
    std::string text = "TLS failure at " + HostOfBaseUrl(url ? url : "") + ": " + curl_easy_strerror(transferResult);
    if (keepsErrorDetails_ && errorDetails_[0] != '\0') text += std::string(" (") + errorDetails_ + ")";
    return text;
}

}  // namespace platform
