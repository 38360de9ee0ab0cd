#pragma once
// The user's proxy settings as this system states them: the proxy
// environment variables. The installer only logs them; its transfers do
// not use them.
#include <functional>
#include <string>

struct ProxySettings {
    std::string autoConfigUrl;  // auto_proxy: address of a proxy auto-configuration script
    std::string proxy;          // http_proxy / https_proxy, "http=...;https=..." when they differ
    std::string bypass;         // no_proxy

    // 3 with a bypass list, else 2 with a proxy, else 1 with an
    // auto-configuration address, else 0.
    int Kind() const;
};

using EnvironmentReader = std::function<std::string(const char* name)>;

// Lower-case names win over upper-case ones, as curl and wget read them.
ProxySettings ProxySettingsFrom(const EnvironmentReader& environment);
ProxySettings CurrentProxySettings();
