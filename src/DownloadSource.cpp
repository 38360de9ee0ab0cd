#include "DownloadSource.h"

#include <algorithm>
#include <cctype>

#include <easylogging++.h>

#include "CLibcurlTool.h"
#include "platform/AsciiText.h"
#include "platform/LocalSettings.h"
#include "platform/RegistryStore.h"

namespace {

constexpr const char* kUninstallKey = "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kCounterValue = "RequestTooMuchTimes";
constexpr const char* kErrorReportPath = "/api/exception/send";
// The report bodies were built in buffers of these sizes, terminator included.
constexpr std::size_t kRedirectBodyBuffer = 2048;
constexpr std::size_t kVerificationBodyBuffer = 1024;

// The longest prefix of at most limit bytes that does not end inside a
// UTF-8 character.
std::string Utf8Prefix(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string CodeWithSource(const char* stem, int loadSource) { return stem + std::to_string(loadSource); }

}  // namespace

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
    return platform::AsciiLower(address.substr(slashBeforeDot + 1, slashAfterDot - slashBeforeDot - 1));
}

int GetHostType(const std::string& address) {
    const std::string host = GetUrlHost(address);
    if (host.size() < 2) return 10;
    if (host.starts_with("dl.") || host.starts_with("cdn.")) return 10;
    if (host.find("ali") != std::string::npos) return 12;
    const std::string mirror = platform::AsciiLower(platform::HostsValue("MirrorHost"));
    if (!mirror.empty() && host == mirror) return 13;
    return 11;
}

namespace {

long long CounterValue(std::string_view counter) {
    long long value = 0;
    for (const char c : counter) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = std::min(value * 10 + (c - '0'), 1000000LL);
    }
    return value;
}

}  // namespace

bool CounterForbidsCdn(std::string_view counter) { return CounterValue(counter) > 3; }

std::string NextRequestCounter(std::string_view counter) {
    const long long value = CounterValue(counter);
    // One character holds the count; past 9 it stays 9 rather than turning
    // into a character that reads as 0.
    if (value < 1) return "1";
    return std::string(1, static_cast<char>('0' + std::min(value + 1, 9LL)));
}

bool AddDownloadRequestCount(const std::string& softwareName) {
    using platform::RegistryHive;
    using platform::RegistryStore;
    const std::string key = kUninstallKey + softwareName;
    std::string stored;
    if (RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine))
        stored = RegistryStore::ReadString(RegistryHive::LocalMachine, key, kCounterValue).value_or("");
    return RegistryStore::WriteString(RegistryHive::LocalMachine, key, kCounterValue, NextRequestCounter(stored));
}

bool isForbidCDN(const std::string& softwareName) {
    using platform::RegistryHive;
    using platform::RegistryStore;
    if (!RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine)) return false;
    const auto counter = RegistryStore::ReadString(RegistryHive::LocalMachine, kUninstallKey + softwareName, kCounterValue);
    return counter && CounterForbidsCdn(*counter);
}

std::string CheckRemotePath(const std::vector<std::string>& candidates, const std::string& softwareName) {
    LOG(INFO) << " isForbidCDN: " << (isForbidCDN(softwareName) ? 1 : 0);
    const auto chosen = std::find_if(candidates.begin(), candidates.end(),
                                     [](const std::string& candidate) { return !IsCdnUrl(candidate); });
    if (chosen == candidates.end()) {
        LOG(INFO) << " checkRemotePath fail: " << -1;
        return "";
    }
    LOG(INFO) << " UrlUsed: " << *chosen;
    return *chosen;
}

std::string Md5AndHashFailCode(int loadSource) { return CodeWithSource("MD5_Hash_Check_Fail_Cfg", loadSource); }
std::string Md5FailCode(int loadSource) { return CodeWithSource("MD5_Check_Fail_Cfg", loadSource); }
std::string HashFailCode(int loadSource) { return CodeWithSource("Hash_Check_Fail_Cfg", loadSource); }

std::string ErrorReportBody(int pid, const std::string& exceptionCode, const std::string& firstDetail,
                            const std::string& secondDetail) {
    const std::size_t buffer =
        exceptionCode == kRedirectReportCode ? kRedirectBodyBuffer : kVerificationBodyBuffer;
    const std::string body = "pid=" + std::to_string(pid) + "&type=2&exception_code=" + exceptionCode +
                             "&other=" + firstDetail + "," + secondDetail;
    return Utf8Prefix(body, buffer - 1);
}

std::string ErrorReportEndpoint() {
    const bool test = platform::SettingsSwitchOn("TestEnv");
    return platform::ServiceBaseUrl(test ? "ErrorReportTest" : "ErrorReport") + kErrorReportPath;
}

int SendErrorReport(int pid, const std::string& exceptionCode, const std::string& firstDetail,
                    const std::string& secondDetail) {
    const std::string body = ErrorReportBody(pid, exceptionCode, firstDetail, secondDetail);
    std::string reply;
    // A fresh transfer handle for every report.
    const int result = CLibcurlTool().HttpPost(ErrorReportEndpoint(), body, &reply, "");
    const char* which = exceptionCode == kRedirectReportCode ? " Send error report1, response is "
                                                              : " Send error report2, response is ";
    LOG(INFO) << which << reply << ", return " << result;
    return result;
}
