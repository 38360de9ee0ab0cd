#pragma once
// One analytics POST over libcurl with the library's fixed headers.
#include <chrono>
#include <functional>
#include <string>

struct PostOutcome {
    int curlCode = 0;       // libcurl result
    std::string errorText;  // its text
    long status = 0;        // HTTP status, 0 without a response
};

struct PostLimits {
    // A collector that does not answer must not hold the sender thread, nor a
    // caller that waits for delivery: every request ends after these at the
    // latest (the payloads are a few kilobytes).
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds totalTimeout{15000};
};

// POSTs body to url. proxy "" means none. shouldAbort is asked while the
// transfer runs; true ends it at once (shutdown).
PostOutcome CurlPost(const std::string& url, const std::string& body, const std::string& proxy,
                     const PostLimits& limits, const std::function<bool()>& shouldAbort);
