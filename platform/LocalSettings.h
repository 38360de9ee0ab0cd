#pragma once
// The local settings file "qk_downloader.cfg" beside the executable: an INI
// file with the switches of section "Settings" and the service base addresses
// of section "Hosts". The installer never writes it; every reader opens it
// afresh so a switch can be flipped while the program runs.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A parsed INI ("profile") file. Section and key names compare
// case-insensitively, as the Windows profile reader does.
class IniFile {
public:
    static std::optional<IniFile> Load(const std::string& path);
    static IniFile Parse(std::string_view text);

    // Profile-integer rules: optional sign and leading decimal digits,
    // defaultValue when the key is missing or holds no number.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;

private:
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

// Full path of the settings file: the executable's folder + "qk_downloader.cfg".
// ZEMBRA_SETTINGS_FILE overrides it (tests).
std::string SettingsFilePath();

// True only when the file exists and Settings/<key> is exactly 1.
bool SettingsSwitchOn(std::string_view key);
// The three switches: test back-ends, unattended mode, crash on install click.
bool IsTestEnv();
bool IsAutoRun();
bool IsCrashTest();

// Base address ("scheme://host[:port]", no path) of a service: Hosts/<key>
// from the settings file when present, else the compiled default.
std::string ServiceBaseUrl(std::string_view key);
// A non-address value of section Hosts (GA4MeasurementId, MirrorHost, CaFile).
std::string HostsValue(std::string_view key);
// A file named in section Hosts (CaFile, TlsCaFile); a relative name is
// taken from the settings file's folder. "" when the key is not set.
std::string HostsFilePath(std::string_view key);
// The host part of a base address ("https://a.b:8443" -> "a.b").
std::string HostOfBaseUrl(std::string_view baseUrl);

}  // namespace platform
