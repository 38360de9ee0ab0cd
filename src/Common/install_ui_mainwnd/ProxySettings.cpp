#include "Common/install_ui_mainwnd/ProxySettings.h"

#include <cctype>
#include <cstdlib>

#include "platform/AsciiText.h"

namespace {

std::string Variable(const EnvironmentReader& environment, const std::string& lowerName) {
    std::string value = environment(lowerName.c_str());
    return value.empty() ? environment(platform::AsciiUpper(lowerName).c_str()) : value;
}

}  // namespace

int ProxySettings::Kind() const {
    if (!bypass.empty()) return 3;
    if (!proxy.empty()) return 2;
    if (!autoConfigUrl.empty()) return 1;
    return 0;
}

ProxySettings ProxySettingsFrom(const EnvironmentReader& environment) {
    ProxySettings settings;
    settings.autoConfigUrl = Variable(environment, "auto_proxy");
    const std::string http = Variable(environment, "http_proxy");
    const std::string https = Variable(environment, "https_proxy");
    if (http.empty() || https.empty() || http == https)
        settings.proxy = http.empty() ? https : http;
    else
        settings.proxy = "http=" + http + ";https=" + https;
    settings.bypass = Variable(environment, "no_proxy");
    return settings;
}

ProxySettings CurrentProxySettings() {
    return ProxySettingsFrom([](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    });
}
