#pragma once
// What the content service answers: banner lists by language code and the
// per-language privacy and terms links, read from a JSON file:
//   {"banners": {"default": [{"banner_url": "/content/pictures/1.png", "jump_url": "...",
//                             "prompt": "...", "sort": 1}, ...],
//                "fr": [...]},
//    "links": [{"lang_code": "en", "urls": [{"field": "p", "url": "..."}, {"field": "tc", "url": "..."}]}],
//    "maxClockSkewSeconds": 300}
// Addresses that start with "/" are answered as addresses of this server.
// Without a file: three generated banners for every language and links to
// this server's pages for the twenty languages.
#include <map>
#include <optional>
#include <string>

#include <json/json.h>

namespace devserver {

struct ContentCatalog {
    std::map<std::string, Json::Value> banners;  // arrays by language code; "default" for the others
    Json::Value links{Json::arrayValue};
    int maxClockSkewSeconds = 300;  // a signed query older or newer than this is refused

    // The banner list for a language code ([] when there is none).
    Json::Value BannersFor(const std::string& languageCode) const;
};

ContentCatalog DefaultContentCatalog();
// The catalog of the file, or the default for an empty path; nullopt and
// an error text when the file is unreadable or not of the form above.
std::optional<ContentCatalog> LoadContentCatalog(const std::string& path, std::string& error);

}  // namespace devserver
