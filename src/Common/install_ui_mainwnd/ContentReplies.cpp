#include "Common/install_ui_mainwnd/ContentReplies.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "CConfigure.h"
#include "platform/AsciiText.h"

namespace contentreply {

namespace {

std::string TextMember(const Json::Value& object, const char* name) {
    const Json::Value& member = object[name];
    return member.isString() ? member.asString() : std::string();
}

}  // namespace

int JsonNestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

ParsedReply ParseReply(std::string_view text) {
    ParsedReply parsed;
    if (text.size() > kMaxReplyBytes) {
        parsed.error = "reply of " + std::to_string(text.size()) + " bytes, more than " +
                       std::to_string(kMaxReplyBytes);
        return parsed;
    }
    if (JsonNestingDepth(text) > kMaxNestingDepth) {
        parsed.error = "nested deeper than " + std::to_string(kMaxNestingDepth) + " levels";
        return parsed;
    }
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = kMaxNestingDepth + 1;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        parsed.ok = reader->parse(text.data(), text.data() + text.size(), &parsed.root, &parsed.error);
    } catch (const std::exception& error) {
        parsed.ok = false;
        parsed.error = error.what();
    }
    if (!parsed.ok && parsed.error.empty()) parsed.error = "not JSON";
    return parsed;
}

bool CodeAccepted(std::string_view text, const Json::Value& root) {
    if (text.find("\"code\"") == std::string_view::npos) return true;
    if (!root.isObject()) return false;
    const Json::Value& code = root["code"];
    return code.isIntegral() && code.asLargestInt() == 200;
}

std::vector<Json::Value> ElementsOf(const Json::Value& root) {
    std::vector<Json::Value> elements;
    if (!root.isArray()) return elements;
    for (const Json::Value& element : root) elements.push_back(element);
    return elements;
}

BannerEntry BannerEntryOf(const Json::Value& element) {
    BannerEntry entry;
    if (!element.isObject()) return entry;
    entry.bannerUrl = TextMember(element, "banner_url");
    entry.jumpUrl = TextMember(element, "jump_url");
    entry.prompt = BoundedUtf8(TextMember(element, "prompt"), kMaxPromptCodePoints);
    const Json::Value& sort = element["sort"];
    entry.sortValid = sort.isInt();
    entry.sort = entry.sortValid ? sort.asInt() : 0;
    return entry;
}

LanguageLinks LanguageLinksOf(const Json::Value& element) {
    LanguageLinks links;
    if (!element.isObject()) return links;
    links.languageCode = TextMember(element, "lang_code");
    const Json::Value& urls = element["urls"];
    if (!urls.isArray()) return links;
    for (const Json::Value& entry : urls) {
        if (entry.isObject()) links.urls.push_back({TextMember(entry, "field"), TextMember(entry, "url")});
        else links.urls.push_back({});
    }
    return links;
}

std::string PictureExtension(std::string_view url) {
    // The path ends at a query or fragment; the name is its last segment.
    url = url.substr(0, url.find_first_of("?#"));
    const auto scheme = url.find("://");
    const auto pathStart = scheme == std::string_view::npos ? 0 : url.find('/', scheme + 3);
    if (pathStart == std::string_view::npos) return {};
    const std::string_view name = url.substr(url.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view extension = name.substr(dot + 1);
    if (extension.empty() || extension.size() > 8) return {};
    for (char c : extension) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return {};
    }
    return "." + std::string(extension);
}

bool IsWebAddress(std::string_view url) {
    const std::string lower = platform::AsciiLower(url.substr(0, 8));
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

std::string LoggedReply(std::string_view text) {
    if (text.size() <= kMaxLoggedReply) return std::string(text);
    return BoundedUtf8(text.substr(0, kMaxLoggedReply), kMaxLoggedReply) + "... (" + std::to_string(text.size()) +
           " bytes)";
}

}  // namespace contentreply
