#pragma once
// Reading the content service's JSON replies: banner lists and per-language
// links. Every reply is untrusted, so size, nesting, element count and the
// type of every member are checked before use, and only web addresses are
// taken as addresses.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <json/json.h>

namespace contentreply {

// Larger replies are refused unread (a banner list is a few hundred bytes).
constexpr std::size_t kMaxReplyBytes = 1u << 20;
// Deeper nesting is refused before parsing (a links reply nests 4 deep).
constexpr int kMaxNestingDepth = 32;
// A banner list longer than this is refused as a whole.
constexpr std::size_t kMaxBanners = 10;
// Captions are cut to this many code points.
constexpr std::size_t kMaxPromptCodePoints = 512;
// Reply text shown in a log line is cut to this many bytes.
constexpr std::size_t kMaxLoggedReply = 512;

// Depth of nested arrays and objects, counted outside strings; counting
// stops once it passes limit.
int JsonNestingDepth(std::string_view text, int limit = kMaxNestingDepth);

struct ParsedReply {
    bool ok = false;
    Json::Value root;
    std::string error;  // why it was refused, for the log
};
// Parses a reply within the bounds above.
ParsedReply ParseReply(std::string_view text);
// A reply that mentions "code" must be an object whose "code" is 200.
bool CodeAccepted(std::string_view text, const Json::Value& root);
// The elements of the root: the root itself when it is an array, else none.
std::vector<Json::Value> ElementsOf(const Json::Value& root);

struct BannerEntry {
    std::string bannerUrl;
    std::string jumpUrl;
    std::string prompt;
    int sort = 0;
    bool sortValid = false;  // "sort" is an integer
};
// The members of one banner element; members of the wrong type are empty.
BannerEntry BannerEntryOf(const Json::Value& element);

struct LinkEntry {
    std::string field;  // "p" privacy policy, "tc" terms/licence
    std::string url;
};
struct LanguageLinks {
    std::string languageCode;
    std::vector<LinkEntry> urls;
};
LanguageLinks LanguageLinksOf(const Json::Value& element);

// The picture file's extension: the URL path's last segment from its last
// ".", when that is a dot and one to eight letters or digits; else "".
std::string PictureExtension(std::string_view url);
// True for an http:// or https:// address: the only kind fetched or opened.
bool IsWebAddress(std::string_view url);
// The reply as a log line shows it: at most kMaxLoggedReply bytes.
std::string LoggedReply(std::string_view text);

}  // namespace contentreply
