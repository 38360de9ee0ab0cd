#include "FuntionImpl.h"

#include <cstdio>
#include <sys/utsname.h>

#include "platform/ElfVersionNote.h"
#include "platform/RegistryStore.h"

namespace FuntionImpl {

namespace {

constexpr const char* kFirewallListKey =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    "StandardProfile\\AuthorizedApplications\\List";
constexpr const char* kFirewallEntryName = "Quenrick_steup1.0.0.1";
// E_ACCESSDENIED, what the firewall manager answers a caller without rights.
constexpr unsigned long kAccessDenied = 0x80070005UL;

}  // namespace

std::string GetFileVersionString(const std::string& path) {
    const auto info = platform::ReadVersionNote(path);
    if (!info) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", info->fileVersion[0], info->fileVersion[1],
                  info->fileVersion[2], info->fileVersion[3]);
    return text;
}

bool IsSixtyFourBitMachine(const std::string& machine) {
    return machine.find("64") != std::string::npos || machine == "s390x";
}

bool IsWow64() {
    utsname name{};
    if (uname(&name) != 0) return false;
    return IsSixtyFourBitMachine(name.machine);
}

int AuthorizeInFirewall(const std::string& modulePath) {
    using platform::RegistryHive;
    using platform::RegistryStore;
    if (!RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine)) {
        std::printf("get_LocalPolicy failed: 0x%08lx\n", kAccessDenied);
        std::printf("WindowsFirewallInitialize failed: 0x%08lx\n", kAccessDenied);
        return -1;
    }
    const auto entry = RegistryStore::ReadString(RegistryHive::LocalMachine, kFirewallListKey, modulePath);
    const bool enabled = entry && entry->find(":Enabled:") != std::string::npos;
    std::printf(enabled ? "Authorized application %s is enabled in the firewall.\n"
                        : "Authorized application %s is disabled in the firewall.\n",
                modulePath.c_str());
    if (!enabled) {
        const std::string record = modulePath + ":*:Enabled:" + kFirewallEntryName;
        if (RegistryStore::WriteString(RegistryHive::LocalMachine, kFirewallListKey, modulePath, record))
            std::printf("Authorized application %s is now enabled in the firewall.\n", modulePath.c_str());
        else
            std::printf("Add failed: 0x%08lx\n", kAccessDenied);
    }
    return 0;
}

}  // namespace FuntionImpl
