#include "FuntionImpl.h"

#include <cstdio>
#include <sys/utsname.h>

#include <easylogging++.h>

#include "SignatureTrustResult.h"
#include "platform/CodeSignatureVerifier.h"
#include "platform/ElfVersionNote.h"
#include "platform/LocalSettings.h"
#include "platform/RegistryStore.h"

namespace FuntionImpl {

namespace {

constexpr const char* kFirewallListKey =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    "StandardProfile\\AuthorizedApplications\\List";
constexpr const char* kFirewallEntryName = "Quenrick_steup1.0.0.1";
// E_ACCESSDENIED, what the firewall manager answers a caller without rights.
constexpr unsigned long kAccessDenied = 0x80070005UL;

// The CA file named in the settings; a relative name is taken from the
// settings file's folder, where the installer and its settings live.
std::string ConfiguredCaPath() {
    const std::string configured = platform::HostsValue("CaFile");
    if (configured.empty() || configured.front() == '/') return configured;
    const std::string settings = platform::SettingsFilePath();
    const auto slash = settings.rfind('/');
    return slash == std::string::npos ? configured : settings.substr(0, slash + 1) + configured;
}

}  // namespace

bool VerifyEmbeddedSignature(const std::string& path) {
    platform::SignatureTrust trust;
    if (const std::string caPath = ConfiguredCaPath(); !caPath.empty()) trust.rootPaths.push_back(caPath);
    trust.useSystemStore = true;
    const platform::SignatureVerdict verdict = platform::CodeSignatureVerifier(trust).Verify(path);
    const auto outcome = SignatureTrustResult::OutcomeOf(verdict);
    LOG(INFO) << " VerifyEmbeddedSignature result is " << SignatureTrustResult::ResultText(outcome.result) << ", "
              << SignatureTrustResult::MessageOf(outcome, path);
    const bool verified = verdict.status == platform::SignatureStatus::Verified && outcome.result == 0;
    if (!verified) LOG(INFO) << " VerifyEmbeddedSignature detail: " << verdict.detail;
    return verified;
}

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
