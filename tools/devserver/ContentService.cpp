#include "ContentService.h"

#include <chrono>
#include <memory>

#include <openssl/evp.h>

#include "GeneratedBody.h"
#include "HexText.h"
#include "PackageHost.h"
#include "PictureMaker.h"
#include "ReceivedRequest.h"
#include "SliceBody.h"
#include "StreamBody.h"

namespace devserver {

namespace {

constexpr const char* kSalt = "Rv9dXq2LmT5sKe0B";
constexpr std::uint64_t kTwoGiB = 2ull << 30;

std::string Md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    return LowerHex(digest, length);
}

std::string Param(const httplib::Params& params, const std::string& name) {
    const auto found = params.find(name);
    return found == params.end() ? std::string() : found->second;
}

std::int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void JsonReply(httplib::Response& response, int status, const Json::Value& json) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    response.status = status;
    response.set_content(Json::writeString(writer, json), "application/json");
}

void Absolute(Json::Value& object, const char* member, const std::string& baseUrl) {
    if (!object.isObject() || !object[member].isString()) return;
    const std::string value = object[member].asString();
    if (!value.empty() && value[0] == '/') object[member] = baseUrl + value;
}

// The text after prefix up to the end, when path starts with prefix.
std::string After(const std::string& path, const std::string& prefix) {
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : std::string();
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string SignedQueryRefusal(const httplib::Params& params, const std::vector<std::string>& signedNames,
                               std::int64_t nowSeconds, int maxSkewSeconds) {
    std::string text;
    for (const std::string& name : signedNames) {
        if (params.find(name) == params.end()) return "missing " + name;
        text += (text.empty() ? "" : "&") + name + "=" + Param(params, name);
    }
    if (Md5Hex(text + kSalt) != Param(params, "verify")) return "bad verify";
    const std::string stamp = Param(params, "timestamp");
    if (stamp.empty() || stamp.size() > 18 || stamp.find_first_not_of("0123456789") != std::string::npos)
        return "bad timestamp";
    const std::int64_t skew = std::stoll(stamp) - nowSeconds;
    if (skew > maxSkewSeconds || -skew > maxSkewSeconds) return "stale timestamp";
    return {};
}

bool ContentService::Serve(const ReceivedRequest& received, httplib::Response& response, const Rule* rule,
                           const StreamFaults& faults) const {
    const std::string& path = received.request.path;
    if (path == "/api/v1/banners") {
        ServeBanners(received, response);
        return true;
    }
    if (path == "/api/v1/user_privacy_info") {
        ServeLinks(received, response);
        return true;
    }
    return ServePicture(received, response, rule, faults) || ServePage(received, response);
}

bool ContentService::Refused(const httplib::Request& request, const std::vector<std::string>& signedNames,
                             httplib::Response& response) const {
    const std::string refusal =
        SignedQueryRefusal(request.params, signedNames, NowSeconds(), catalog_.maxClockSkewSeconds);
    if (refusal.empty()) return false;
    Json::Value reply;
    reply["code"] = 403;
    reply["msg"] = refusal;
    JsonReply(response, 403, reply);
    return true;
}

void ContentService::ServeBanners(const ReceivedRequest& received, httplib::Response& response) const {
    if (Refused(received.request, {"lang_code", "parent_pid", "timestamp", "type"}, response)) return;
    Json::Value banners = catalog_.BannersFor(Param(received.request.params, "lang_code"));
    for (Json::Value& banner : banners) {
        Absolute(banner, "banner_url", received.baseUrl);
        Absolute(banner, "jump_url", received.baseUrl);
    }
    JsonReply(response, 200, banners);
}

void ContentService::ServeLinks(const ReceivedRequest& received, httplib::Response& response) const {
    if (Refused(received.request, {"parent_pid", "timestamp"}, response)) return;
    Json::Value links = catalog_.links;
    for (Json::Value& entry : links) {
        if (!entry.isObject() || !entry["urls"].isArray()) continue;
        for (Json::Value& url : entry["urls"]) Absolute(url, "url", received.baseUrl);
    }
    JsonReply(response, 200, links);
}

bool ContentService::ServePicture(const ReceivedRequest& received, httplib::Response& response, const Rule* rule,
                                  const StreamFaults& faults) const {
    const httplib::Request& request = received.request;
    if (request.method != "GET" && request.method != "HEAD") return false;
    const std::string name = After(request.path, "/content/pictures/");
    std::shared_ptr<BodySource> whole;
    std::string type = "image/png";
    if (name.ends_with(".png") && IsNumber(name.substr(0, name.size() - 4))) {
        whole = std::make_shared<GeneratedBody>(BannerPicture(std::stoi(name)), 0, GeneratedBody::Filler::Binary, "");
    } else if (name == "giant.png") {
        whole = std::make_shared<GeneratedBody>(GiantPicture(), 0, GeneratedBody::Filler::Binary, "");
    } else if (name == "broken.png") {
        whole = std::make_shared<GeneratedBody>(BrokenPicture(), 0, GeneratedBody::Filler::Binary, "");
    } else if (name == "2gib.bin") {
        whole = std::make_shared<GeneratedBody>("", kTwoGiB, GeneratedBody::Filler::Binary, "");
        type = "application/octet-stream";
    } else {
        return false;
    }
    ServeRanged(request, response, rule, faults, whole->Size(),
                [whole](std::uint64_t offset, std::uint64_t length) {
                    return std::make_shared<SliceBody>(whole, offset, length);
                },
                type);
    return true;
}

bool ContentService::ServePage(const ReceivedRequest& received, httplib::Response& response) const {
    const std::string& path = received.request.path;
    std::string title;
    if (const std::string n = After(path, "/content/jump/"); !n.empty()) title = "Banner " + n;
    else if (const std::string page = After(path, "/content/privacy/"); !page.empty()) title = "Privacy policy " + page;
    else if (const std::string page = After(path, "/content/terms/"); !page.empty()) title = "Licence terms " + page;
    else return false;
    // The page names what was asked for; the text is escaped, never markup.
    std::string escaped;
    for (char c : title) escaped += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
    response.status = 200;
    response.set_content("<!doctype html><title>" + escaped + "</title><h1>" + escaped + "</h1>\n",
                         "text/html; charset=utf-8");
    return true;
}

}  // namespace devserver
