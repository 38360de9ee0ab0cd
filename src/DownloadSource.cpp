#include "DownloadSource.h"

#include <algorithm>
#include <cctype>

#include "platform/LocalSettings.h"

bool IsCdnUrl(const std::string& address) {
    return address.find("//cdn.") != std::string::npos || address.find("//dl.") != std::string::npos;
}

std::string GetUrlHost(const std::string& address) {
    const auto firstDot = address.find('.');
    if (firstDot == std::string::npos) return "";
    const auto slashAfterDot = address.find('/', firstDot);
    if (slashAfterDot == std::string::npos) return "";
    const auto slashBeforeDot = address.rfind('/', firstDot);
    if (slashBeforeDot == std::string::npos) return "";
    std::string host = address.substr(slashBeforeDot + 1, slashAfterDot - slashBeforeDot - 1);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return host;
}

int GetHostType(const std::string& address) {
    const std::string host = GetUrlHost(address);
    if (host.size() < 2) return 10;
    if (host.starts_with("dl.") || host.starts_with("cdn.")) return 10;
    if (host.find("ali") != std::string::npos) return 12;
    const std::string mirror = platform::HostsValue("MirrorHost");
    if (!mirror.empty() && host == mirror) return 13;
    return 11;
}
