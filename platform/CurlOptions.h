#pragma once
// Setting libcurl options with every result checked, and the options that
// every request of the installer shares, set in one place.
#include <string>
#include <type_traits>

#include <curl/curl.h>

namespace platform {

// Sets options on one easy handle and keeps the first failure: a request
// sets its whole block, then asks Result() once before it performs.
class CurlOptionSetter {
public:
    explicit CurlOptionSetter(CURL* handle) : handle_(handle) {}
    // The handle forgets the error buffer, which goes away with this object.
    ~CurlOptionSetter();
    CurlOptionSetter(const CurlOptionSetter&) = delete;
    CurlOptionSetter& operator=(const CurlOptionSetter&) = delete;

    template <typename Value>
    CurlOptionSetter& Set(CURLoption option, Value value) {
        // libcurl reads numbers as long (or curl_off_t); an int or a bool
        // passed through its variable arguments would be read wrongly.
        static_assert(!std::is_same_v<Value, int> && !std::is_same_v<Value, bool>,
                      "pass numeric options as long");
        if (result_ == CURLE_OK) {
            result_ = curl_easy_setopt(handle_, option, value);
            if (result_ != CURLE_OK) failedOption_ = option;
        }
        return *this;
    }
    CurlOptionSetter& Set(CURLoption option, const std::string& text) { return Set(option, text.c_str()); }

    // CURLE_OK, or the result of the first option that was refused.
    CURLcode Result() const { return result_; }
    // " curl option 10002 refused: <libcurl's text>" for the log.
    std::string FailureText() const;

    // Gives libcurl a buffer for the details of a failed transfer.
    CurlOptionSetter& KeepErrorDetails();
    // For a transfer that failed in its TLS set-up: "TLS failure at <host>:
    // <libcurl's text> (<its details>)"; "" for any other result.
    std::string TlsFailureText(CURLcode transferResult) const;

private:
    CURL* handle_;
    CURLcode result_ = CURLE_OK;
    CURLoption failedOption_{};
    bool keepsErrorDetails_ = false;
    char errorDetails_[CURL_ERROR_SIZE] = {};
};

enum class Redirects { Follow, Refuse };

// The options every request shares: no signals (requests run on many
// threads), redirects followed at most five times when asked, and the
// server's certificate and host name checked against the system's roots plus
// those of the file named by Hosts/TlsCaFile; libcurl's details of a failure
// are kept (TlsFailureText).
void SetSharedRequestOptions(CurlOptionSetter& options, Redirects redirects);

}  // namespace platform
