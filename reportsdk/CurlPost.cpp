#include "reportsdk/CurlPost.h"

#include <curl/curl.h>
#include <memory>

#include "platform/CurlOptions.h"

namespace {

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

int AbortWhenAsked(void* shouldAbort, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& ask = *static_cast<const std::function<bool()>*>(shouldAbort);
    return ask && ask() ? 1 : 0;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

PostOutcome CurlPost(const std::string& url, const std::string& body, const std::string& proxy,
                     const PostLimits& limits, const std::function<bool()>& shouldAbort) {
    PostOutcome outcome;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        outcome.curlCode = CURLE_FAILED_INIT;
        outcome.errorText = curl_easy_strerror(CURLE_FAILED_INIT);
        return outcome;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const char* header : {"User-Agent:PostmanRuntime/7.29.2", "Accept:*/*", "Accept-Encoding:gzip, deflate, br",
                               "Connection:keep-alive", "Content-Type:application/json; charset=utf-8"}) {
        curl_slist* longer = curl_slist_append(headers.get(), header);
        if (!longer) break;
        headers.release();
        headers.reset(longer);
    }
    std::string received;
    CURL* handle = easy.get();
    platform::CurlOptionSetter options(handle);
    options.Set(CURLOPT_URL, url)
        .Set(CURLOPT_POST, 1L)
        .Set(CURLOPT_POSTFIELDS, body.data())
        .Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()))
        .Set(CURLOPT_HTTPHEADER, headers.get())
        .Set(CURLOPT_HEADER, 1L);
    platform::SetSharedRequestOptions(options, platform::Redirects::Follow);
    options.Set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()))
        .Set(CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()))
        .Set(CURLOPT_WRITEFUNCTION, CollectBody)
        .Set(CURLOPT_WRITEDATA, &received)
        .Set(CURLOPT_NOPROGRESS, 0L)
        .Set(CURLOPT_XFERINFOFUNCTION, AbortWhenAsked)
        .Set(CURLOPT_XFERINFODATA, &shouldAbort);
    if (!proxy.empty()) options.Set(CURLOPT_PROXY, proxy);
    if (options.Result() != CURLE_OK) {
        outcome.curlCode = options.Result();
        outcome.errorText = options.FailureText();
        return outcome;
    }

    const CURLcode result = curl_easy_perform(handle);
    outcome.curlCode = result;
    // A refused certificate is told with its host and reason.
    outcome.errorText = options.TlsFailureText(result);
    if (outcome.errorText.empty()) outcome.errorText = curl_easy_strerror(result);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
    return outcome;
}
