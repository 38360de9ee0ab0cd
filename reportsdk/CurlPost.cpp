#include "reportsdk/CurlPost.h"

#include <curl/curl.h>
#include <memory>

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
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, AbortWhenAsked);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &shouldAbort);
    if (!proxy.empty()) curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());

    const CURLcode result = curl_easy_perform(handle);
    outcome.curlCode = result;
    outcome.errorText = curl_easy_strerror(result);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
    return outcome;
}
