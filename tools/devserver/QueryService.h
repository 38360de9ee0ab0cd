#pragma once
// The download-information service: GET /queryDownloaderV2 answers with a
// <Downloader> element. A rule's "queryReply" picks the reply:
//   {"mode": "normal" | "malformed" | "noClosingTag" | "huge" | "binary" | "deep" | "empty",
//    "fields": {"Download_url": "...", "Md5": null, ...},   // normal/huge/noClosingTag
//    "size": N}                                             // huge, binary, deep
// A field set to null is left out; names the reply does not normally carry
// are appended. By default Download_url and Extra_download_url point at this
// server's package path, and Md5 and Filesize describe that file when it exists.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <json/json.h>

namespace httplib {
struct Request;
struct Response;
}

namespace devserver {

class PackageHost;
struct StreamFaults;

class QueryService {
public:
    QueryService(const PackageHost& packages, std::string packagePath)
        : packages_(packages), packagePath_(std::move(packagePath)) {}

    // baseUrl: "scheme://host:port" of the server the request came to.
    void Serve(const httplib::Request& request, httplib::Response& response, const Json::Value& replyRule,
               const std::string& baseUrl, const StreamFaults& faults);

    // The <Downloader> element's children in reply order, before overrides.
    std::vector<std::pair<std::string, std::string>> DefaultFields(const httplib::Request& request,
                                                                    const std::string& baseUrl);

private:
    // MD5 and size of the hosted package, cached by size and modification time.
    std::pair<std::string, std::int64_t> PackageFacts();

    const PackageHost& packages_;
    std::string packagePath_;
    std::mutex factsLock_;
    std::string factsKey_;
    std::pair<std::string, std::int64_t> facts_;
};

// <Downloader>...</Downloader> with the fields in order, null values left out.
std::string DownloaderElement(const std::vector<std::pair<std::string, std::string>>& fields,
                              const Json::Value& overrides);

}  // namespace devserver
