#include "platform/CurlOptions.h"

namespace platform {

std::string CurlOptionSetter::FailureText() const {
    if (result_ == CURLE_OK) return {};
    return " curl option " + std::to_string(static_cast<int>(failedOption_)) +
           " refused: " + curl_easy_strerror(result_);
}

void SetSharedRequestOptions(CurlOptionSetter& options, Redirects redirects) {
    options.Set(CURLOPT_NOSIGNAL, 1L);
    if (redirects == Redirects::Follow) {
        options.Set(CURLOPT_FOLLOWLOCATION, 1L).Set(CURLOPT_MAXREDIRS, 5L);
    }
    // Packages are verified by their signature and checksum, not by the
    // connection they came over.
    options.Set(CURLOPT_SSL_VERIFYPEER, 0L).Set(CURLOPT_SSL_VERIFYHOST, 0L);
}

}  // namespace platform
