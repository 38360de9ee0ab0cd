#include "reportsdk/CommonFieldStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/AsciiText.h"

namespace CommonFields {

namespace {

constexpr std::array<std::string_view, 32> kReservedNames = {
    "is_new",     "session_id",    "rnclid",         "cross_end_id", "uid",          "user_id",
    "email",      "phone",         "source_type",    "os",           "os_version",   "pid",
    "mac",        "model",         "brand",          "product",      "product_version",
    "site_id",    "web",           "browser",        "brower_language", "page_id",
    "last_page_id", "rf",          "goods_id",       "referer",      "channel",      "cart_session_id",
    "kit_type",   "tools_lang",    "tools_version",  "downloader_id"};

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

std::string CrossEndIdOfName(const std::string& fileName) {
    const auto underscore = fileName.rfind('_');
    const auto dot = fileName.rfind('.');
    if (underscore == std::string::npos || dot == std::string::npos || dot < underscore) return "";
    return fileName.substr(underscore + 1, dot - underscore - 1);
}

std::string CrossEndIdOfSpText(const std::string& text) {
    // A UTF-8 byte-order mark is not part of the first line.
    std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() <= 4) continue;
        const auto underscore = line.find('_');
        if (underscore == std::string::npos || line.find('.', underscore) == std::string::npos) continue;
        return CrossEndIdOfName(line);
    }
    return "";
}

std::string LookUpCrossEndId(int type, const std::string& executablePath) {
    if (type == 2) return CrossEndIdOfName(BaseName(executablePath));
    if (type != 1) return "";
    std::ifstream in(FolderOf(executablePath) + "SP.dat", std::ios::binary);
    if (!in) return "";
    std::ostringstream text;
    text << in.rdbuf();
    return CrossEndIdOfSpText(text.str());
}

bool IsReservedName(const std::string& name) {
    const std::string lower = platform::AsciiLower(name);
    return std::find(kReservedNames.begin(), kReservedNames.end(), lower) != kReservedNames.end();
}

Json::Value AllowedExtraMembers(const Json::Value& extra) {
    Json::Value allowed(Json::objectValue);
    if (!extra.isObject()) return allowed;
    for (const auto& name : extra.getMemberNames()) {
        if (!IsReservedName(name)) allowed[name] = extra[name];
    }
    return allowed;
}

}  // namespace CommonFields
