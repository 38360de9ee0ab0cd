#pragma once
// A small key/value store standing in for the registry: HKLM in
// /var/lib/zembra/registry.json, HKCU in $XDG_CONFIG_HOME/zembra/registry.json
// ($ZEMBRA_REGISTRY_DIR/{hklm,hkcu}.json overrides both). Keys are paths such
// as "SOFTWARE\Quenrick\Downloader2.5.0" compared case-insensitively; values
// are texts. Writes are atomic under a file lock.
#include <optional>
#include <string>

namespace platform {

enum class RegistryHive { LocalMachine, CurrentUser };

class RegistryStore {
public:
    // Path of the file backing a hive.
    static std::string FileOf(RegistryHive hive);
    // "Open with all access": true when the hive file (or its folder, if the
    // file does not exist yet) is writable by this process.
    static bool CanOpenForAllAccess(RegistryHive hive);
    static std::optional<std::string> ReadString(RegistryHive hive, const std::string& key,
                                                 const std::string& valueName);
    static bool WriteString(RegistryHive hive, const std::string& key, const std::string& valueName,
                            const std::string& value);
    static bool DeleteValue(RegistryHive hive, const std::string& key, const std::string& valueName);
    static bool KeyExists(RegistryHive hive, const std::string& key);
};

}  // namespace platform
