#include "reportsdk/Ga4Request.h"

#include <cstring>

namespace Ga4Request {

namespace {

bool PassesUnchanged(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return c != '\0' && std::strchr("!&'()*-.=_~", c) != nullptr;
}

}  // namespace

std::string PercentEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string encoded;
    encoded.reserve(text.size() * 3 / 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (PassesUnchanged(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        }
    }
    return encoded;
}

std::string ClientId(const std::string& volumeSerial, const std::string& macText) {
    std::string id = volumeSerial;
    for (const char c : macText) {
        if (c != ':') id += c;
    }
    return id;
}

std::string TextBetween(const std::string& text, const std::string& begin, const std::string& end) {
    const auto start = text.find(begin);
    if (start == std::string::npos) return "";
    const auto from = start + begin.size();
    const auto stop = text.find(end, from);
    if (stop == std::string::npos) return "";
    return text.substr(from, stop - from);
}

std::string CategoryOfTail(const std::string& encodedTail) {
    return TextBetween(encodedTail, "&ep.qk_category=", "&ep.qk_action=");
}

std::string ActionOfTail(const std::string& encodedTail) {
    return TextBetween(encodedTail, "&ep.qk_action=", "&ep.qk_label=");
}

std::string Url(const std::string& baseUrl, const std::string& clientId, const std::string& encodedTail) {
    return baseUrl + "/g/collect?v=2&cid=" + clientId + encodedTail;
}

}  // namespace Ga4Request
