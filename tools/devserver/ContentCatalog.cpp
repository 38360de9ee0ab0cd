#include "ContentCatalog.h"

#include <fstream>
#include <sstream>

namespace devserver {

namespace {

constexpr const char* kLanguageCodes[] = {"en", "ja", "zh-cn", "es", "de", "fr", "ru", "pt", "ar", "it",
                                          "zh-tw", "ko", "nl", "id", "tr", "hi", "th", "my", "se", "cz"};

Json::Value Link(const char* field, const std::string& url) {
    Json::Value link;
    link["field"] = field;
    link["url"] = url;
    return link;
}

}  // namespace

Json::Value ContentCatalog::BannersFor(const std::string& languageCode) const {
    auto found = banners.find(languageCode);
    if (found == banners.end()) found = banners.find("default");
    return found == banners.end() ? Json::Value(Json::arrayValue) : found->second;
}

ContentCatalog DefaultContentCatalog() {
    ContentCatalog catalog;
    Json::Value list(Json::arrayValue);
    for (int n = 1; n <= 3; ++n) {
        Json::Value banner;
        banner["banner_url"] = "/content/pictures/" + std::to_string(n) + ".png";
        banner["jump_url"] = "/content/jump/" + std::to_string(n);
        banner["prompt"] = "Zembra Morvanta " + std::to_string(n);
        banner["sort"] = n;
        list.append(banner);
    }
    catalog.banners["default"] = list;
    for (const char* code : kLanguageCodes) {
        Json::Value entry;
        entry["lang_code"] = code;
        entry["urls"].append(Link("p", std::string("/content/privacy/") + code + ".html"));
        entry["urls"].append(Link("tc", std::string("/content/terms/") + code + ".html"));
        catalog.links.append(entry);
    }
    return catalog;
}

std::optional<ContentCatalog> LoadContentCatalog(const std::string& path, std::string& error) {
    if (path.empty()) return DefaultContentCatalog();
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    Json::Value json;
    if (!Json::parseFromStream(Json::CharReaderBuilder(), in, &json, &error)) return std::nullopt;
    if (!json.isObject()) {
        error = "the content file is not an object";
        return std::nullopt;
    }
    ContentCatalog catalog;
    for (const auto& name : json.getMemberNames()) {
        const Json::Value& value = json[name];
        if (name == "banners" && value.isObject()) {
            for (const auto& code : value.getMemberNames()) {
                if (!value[code].isArray()) {
                    error = "banners." + code + " is not an array";
                    return std::nullopt;
                }
                catalog.banners[code] = value[code];
            }
        } else if (name == "links" && value.isArray()) {
            catalog.links = value;
        } else if (name == "maxClockSkewSeconds" && value.isInt()) {
            catalog.maxClockSkewSeconds = value.asInt();
        } else {
            error = "unknown or mistyped key: " + name;
            return std::nullopt;
        }
    }
    return catalog;
}

}  // namespace devserver
