#include "platform/LocalSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/AsciiText.h"
#include "platform/Process.h"

namespace platform {

namespace {

struct HostDefault {
    const char* key;
    const char* value;
};

// Compiled-in service addresses; the settings file's Hosts section overrides each.
constexpr HostDefault kHostDefaults[] = {
    {"QueryGlobal", "https://cbs.quenrick.com"},
    {"QueryRegional", "https://cbs.quenrick.cn"},
    {"QueryTest", "http://cbs.quenrick.com"},
    {"Content", "https://content.quenrick.com"},
    {"ContentTest", "https://content-test.quenrick.com"},
    {"ErrorReport", "https://report.quenrick.com"},
    {"ErrorReportTest", "https://report-test.quenrick.com"},
    {"LogUpload", "https://logs.quenrick.com"},
    {"Collector", "https://collect.quenrick.com"},
    {"CollectorTest", "https://collect-test.quenrick.com"},
    {"GA4", "https://www.google-analytics.com"},
    {"GA4MeasurementId", "G-ZM7Q2K9R4X"},
    {"MirrorHost", "download.quenrick.net"},
    {"CaFile", ""},
    {"TlsCaFile", ""},
};

std::string CompiledDefault(std::string_view key) {
    for (const auto& entry : kHostDefaults) {
        if (AsciiLower(entry.key) == AsciiLower(key)) return entry.value;
    }
    return "";
}

}  // namespace

std::optional<IniFile> IniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile file;
    std::string section;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            section = AsciiLower(TrimBlanks(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) continue;
        const std::string key = AsciiLower(TrimBlanks(line.substr(0, equals)));
        // The first occurrence wins, as with the profile reader.
        file.sections_[section].emplace(key, std::string(TrimBlanks(line.substr(equals + 1))));
    }
    return file;
}

std::optional<std::string> IniFile::GetString(std::string_view section, std::string_view key) const {
    const auto found = sections_.find(AsciiLower(section));
    if (found == sections_.end()) return std::nullopt;
    const auto value = found->second.find(AsciiLower(key));
    if (value == found->second.end()) return std::nullopt;
    return value->second;
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = GetString(section, key);
    if (!value) return defaultValue;
    const char* text = value->c_str();
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text) return 0;
    // The profile reader answers 0 for negative values.
    if (number < 0) return 0;
    return number > 0x7fffffffL ? 0x7fffffff : static_cast<int>(number);
}

std::string SettingsFilePath() {
    if (const char* overridePath = std::getenv("ZEMBRA_SETTINGS_FILE"); overridePath && *overridePath)
        return overridePath;
    return CurrentExecutableDir() + "qk_downloader.cfg";
}

bool SettingsSwitchOn(std::string_view key) {
    const auto file = IniFile::Load(SettingsFilePath());
    return file && file->GetInt("Settings", key, 0) == 1;
}

bool IsTestEnv() { return SettingsSwitchOn("TestEnv"); }
bool IsAutoRun() { return SettingsSwitchOn("AutoRun"); }
bool IsCrashTest() { return SettingsSwitchOn("CrashTest"); }

std::string HostsValue(std::string_view key) {
    if (const auto file = IniFile::Load(SettingsFilePath())) {
        if (auto value = file->GetString("Hosts", key); value && !value->empty()) return *value;
    }
    return CompiledDefault(key);
}

std::string HostsFilePath(std::string_view key) {
    const std::string configured = HostsValue(key);
    if (configured.empty() || configured.front() == '/') return configured;
    const std::string settings = SettingsFilePath();
    const auto slash = settings.rfind('/');
    return slash == std::string::npos ? configured : settings.substr(0, slash + 1) + configured;
}

std::string ServiceBaseUrl(std::string_view key) {
    std::string base = HostsValue(key);
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

std::string HostOfBaseUrl(std::string_view baseUrl) {
    std::string_view rest = baseUrl;
    if (const auto scheme = rest.find("://"); scheme != std::string_view::npos) rest = rest.substr(scheme + 3);
    const auto end = rest.find_first_of(":/?#");
    return std::string(rest.substr(0, end));
}

}  // namespace platform
