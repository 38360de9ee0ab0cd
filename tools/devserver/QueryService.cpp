#include "QueryService.h"

#include <fcntl.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "GeneratedBody.h"
#include "HexText.h"
#include "StreamBody.h"
#include "PackageHost.h"

namespace devserver {

namespace {

constexpr std::uint64_t kDefaultHugeSize = 32u << 20;
constexpr std::uint64_t kDefaultBinarySize = 1u << 20;
constexpr std::uint64_t kDefaultDepth = 100000;

std::string XmlEscape(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '&': escaped += "&amp;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string Md5OfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    std::string buffer(1 << 20, '\0');
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
        EVP_DigestUpdate(context, buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    EVP_MD_CTX_free(context);
    if (got < 0) return {};
    return LowerHex(digest, size);
}

std::uint64_t SizeOption(const Json::Value& replyRule, std::uint64_t fallback) {
    const Json::Value& size = replyRule["size"];
    return size.isUInt64() ? size.asUInt64() : fallback;
}

std::string ReplyDocument(const std::string& downloader) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Response>\r\n<Status>0</Status>\r\n" + downloader +
           "\r\n</Response>\r\n";
}

}  // namespace

std::string DownloaderElement(const std::vector<std::pair<std::string, std::string>>& fields,
                              const Json::Value& overrides) {
    std::string xml = "<Downloader>\r\n";
    auto element = [&xml](const std::string& name, const std::string& value) {
        xml += "<" + name + ">" + XmlEscape(value) + "</" + name + ">\r\n";
    };
    for (const auto& [name, value] : fields) {
        if (!overrides.isMember(name)) {
            element(name, value);
        } else if (!overrides[name].isNull()) {
            element(name, overrides[name].isString() ? overrides[name].asString() : overrides[name].toStyledString());
        }
    }
    for (const auto& name : overrides.getMemberNames()) {
        const bool known = std::any_of(fields.begin(), fields.end(), [&](const auto& f) { return f.first == name; });
        if (!known && overrides[name].isString()) element(name, overrides[name].asString());
    }
    return xml + "</Downloader>";
}

std::pair<std::string, std::int64_t> QueryService::PackageFacts() {
    const auto path = packages_.LocalPath(packagePath_);
    if (!path) return {"", 0};
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0) return {"", 0};
    const std::string key = *path + ":" + std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) +
                            "." + std::to_string(info.st_mtim.tv_nsec);
    std::lock_guard guard(factsLock_);
    if (key != factsKey_) {
        facts_ = {Md5OfFile(*path), static_cast<std::int64_t>(info.st_size)};
        factsKey_ = key;
    }
    return facts_;
}

std::vector<std::pair<std::string, std::string>> QueryService::DefaultFields(const httplib::Request& request,
                                                                             const std::string& baseUrl) {
    const auto [md5, size] = PackageFacts();
    const std::string packageUrl = baseUrl + packagePath_;
    const std::string downloaderId = request.has_param("SoftWareID") ? request.get_param_value("SoftWareID") : "499";
    const std::string siteId = request.has_param("SiteID") ? request.get_param_value("SiteID") : "412";
    return {
        {"Downloader_id", downloaderId},
        {"Software_id", "0"},
        {"Site_id", siteId},
        {"Software_name", "Zembra Morvanta"},
        {"Software_version", "1.0.0.0"},
        {"Process_name", "ZembraMorvanta.exe"},
        {"Install_url", ""},
        {"Download_url", packageUrl},
        {"Banner_url", ""},
        {"Licensefile_url", ""},
        {"Md5", md5},
        {"Filesize", std::to_string(size)},
        {"Extra_download_url", packageUrl},
        {"Cnet_download_url", ""},
        {"Md5_extra", ""},
        {"Downloader_type", "1"},
        {"Downloader_config", "0"},
        {"Slice_num", "0"},
        {"Slice_size", "0"},
        {"Additional_time", "0"},
        {"Back_running", "0"},
    };
}

void QueryService::Serve(const httplib::Request& request, httplib::Response& response,
                         const Json::Value& replyRule, const std::string& baseUrl, const StreamFaults& faults) {
    const std::string mode = replyRule.isObject() ? replyRule.get("mode", "normal").asString() : "normal";
    const Json::Value overrides = replyRule.isObject() ? replyRule["fields"] : Json::Value();
    const std::string contentType = "text/xml; charset=utf-8";
    auto send = [&](std::string prefix, std::uint64_t filler, GeneratedBody::Filler kind, std::string suffix) {
        StreamBody(response, std::make_shared<GeneratedBody>(std::move(prefix), filler, kind, std::move(suffix)),
                   contentType, faults);
    };
    response.status = 200;
    const std::string downloader = DownloaderElement(DefaultFields(request, baseUrl), overrides);
    if (mode == "malformed") {
        // Both tags are present but the element inside is broken.
        send("<Response><Downloader><Downloader_id>499</Download_url><Site_id>412</Downloader></Response>", 0,
             GeneratedBody::Filler::Letters, "");
    } else if (mode == "noClosingTag") {
        send(ReplyDocument(downloader.substr(0, downloader.size() - std::string("</Downloader>").size())), 0,
             GeneratedBody::Filler::Letters, "");
    } else if (mode == "huge") {
        send("<Response><!-- ", SizeOption(replyRule, kDefaultHugeSize), GeneratedBody::Filler::Letters,
             " -->" + ReplyDocument(downloader));
    } else if (mode == "binary") {
        send("", SizeOption(replyRule, kDefaultBinarySize), GeneratedBody::Filler::Binary, "");
    } else if (mode == "deep") {
        const std::uint64_t depth = std::min<std::uint64_t>(SizeOption(replyRule, kDefaultDepth), 10'000'000);
        std::string open;
        std::string close;
        for (std::uint64_t i = 0; i < depth; ++i) open += "<a>";
        for (std::uint64_t i = 0; i < depth; ++i) close += "</a>";
        send("<Downloader>" + open, 0, GeneratedBody::Filler::Letters, close + "</Downloader>");
    } else if (mode == "empty") {
        send("", 0, GeneratedBody::Filler::Letters, "");
    } else {
        send(ReplyDocument(downloader), 0, GeneratedBody::Filler::Letters, "");
    }
}

}  // namespace devserver
