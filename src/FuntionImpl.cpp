#include "FuntionImpl.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <easylogging++.h>

#include "SignatureTrustResult.h"
#include "SingleUserLog.h"
#include "platform/AsciiText.h"
#include "platform/CodeSignatureVerifier.h"
#include "platform/ElfVersionNote.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"
#include "platform/OsRelease.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"

namespace FuntionImpl {

namespace {

constexpr const char* kFirewallListKey =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    "StandardProfile\\AuthorizedApplications\\List";
constexpr const char* kFirewallEntryName = "Quenrick_steup1.0.0.1";
// E_ACCESSDENIED, what the firewall manager answers a caller without rights.
constexpr unsigned long kAccessDenied = 0x80070005UL;

using platform::RegistryHive;
using platform::RegistryStore;

constexpr const char* kNetFrameworkKey = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";
constexpr const char* kCurrentVersionKey32 = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
// Registry values are read into buffers of this many characters, terminator included.
constexpr std::size_t kRegistryValueBuffer = 260;
// Module paths were read into a buffer of this many characters.
constexpr std::size_t kModulePathBuffer = 260;
// NetFrameCheck.db lines were read in pieces of at most this many characters.
constexpr std::size_t kDatabaseLineLimit = 1023;
constexpr int kDiskFull = 112;

// The path without its enclosing double quotes.
std::string Unquoted(const std::string& quoted) {
    std::string path = quoted;
    if (!path.empty() && path.front() == '"') path.erase(0, 1);
    if (!path.empty() && path.back() == '"') path.pop_back();
    return path;
}

// The folder part of a path, separator included; "" without one.
std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

std::string FileNameOf(const std::string& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

void ReportStartFailure(int error) {
    CSingleUserLog::GetInstance().AddUserLogEvent("Other", "StartWindowError", std::to_string(error), false);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Reads a small text file; "" when missing. Bounded, as these files are
// read from places anyone could write.
std::string ReadSmallFile(const std::string& path, std::size_t limit = 64 * 1024) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// --- UTF-8 ------------------------------------------------------------------

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at text[position] and moves past it. An invalid
// sequence gives U+FFFD and consumes only its longest valid-looking start,
// so the next character is not swallowed.
char32_t DecodeUtf8(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<unsigned char>(text[position++]);
    if (lead < 0x80) return lead;
    int continuation = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return kReplacement;
    }
    for (int i = 0; i < continuation; ++i) {
        if (position >= text.size()) return kReplacement;
        const auto next = static_cast<unsigned char>(text[position]);
        if (next < low || next > high) return kReplacement;
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (next & 0x3F);
        ++position;
    }
    return value;
}

void AppendUtf8(char32_t value, std::string& out) {
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = kReplacement;
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

// --- NetFrameCheck.db -----------------------------------------------------------

// Reads the file line by line in pieces of at most
// kDatabaseLineLimit characters, so a huge line costs no more than a long file.
template <typename Visit>
void ForEachDatabaseLine(std::istream& in, Visit visit) {
    std::string piece;
    char c = 0;
    bool more = true;
    while (more) {
        piece.clear();
        more = false;
        while (in.get(c)) {
            piece += c;
            if (c == '\n' || piece.size() >= kDatabaseLineLimit) {
                more = true;
                break;
            }
        }
        if (piece.empty()) break;
        while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r')) piece.pop_back();
        if (!visit(piece)) return;
    }
}

// The leading decimal digits of one version part, bounded so a long run of
// digits cannot overflow.
long long VersionPartValue(std::string_view part) {
    long long value = 0;
    for (const char c : part) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = std::min<long long>(value * 10 + (c - '0'), 1000000000000LL);
    }
    return value;
}

std::array<long long, 4> VersionParts(std::string_view version) {
    std::array<long long, 4> parts{};
    for (std::size_t index = 0; index < parts.size() && !version.empty(); ++index) {
        const auto dot = version.find('.');
        parts[index] = VersionPartValue(version.substr(0, dot));
        version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    }
    return parts;
}

// --- processes ------------------------------------------------------------------

// The names a process of the file may show: the file's own name and the
// temporary copy's (the last three characters replaced by "tmp").
struct ProcessNames {
    std::string name;
    std::string temporaryName;
};

ProcessNames ProcessNamesOf(const std::string& path) {
    ProcessNames names;
    names.name = platform::AsciiLower(FileNameOf(path));
    if (names.name.size() >= 3) names.temporaryName = names.name.substr(0, names.name.size() - 3) + "tmp";
    return names;
}

// The kernel keeps only the first 15 bytes of a program name; the full name
// comes from the executable's path when that can be read.
bool RunsNamed(const platform::ProcessInfo& process, const ProcessNames& names) {
    constexpr std::size_t kCommLength = 15;
    const std::string executableName = platform::AsciiLower(FileNameOf(process.executable));
    const std::string shortName = platform::AsciiLower(process.name);
    for (const std::string* wanted : {&names.name, &names.temporaryName}) {
        if (wanted->empty()) continue;
        if (!executableName.empty() && executableName == *wanted) return true;
        if (executableName.empty() && shortName == wanted->substr(0, kCommLength)) return true;
    }
    return false;
}

}  // namespace

int StartTargetMainExe(const std::string& quotedPath, bool direct) {
    const std::string path = Unquoted(quotedPath);
    platform::SpawnOptions options;
    options.workingDirectory = FolderOf(path);
    // The product outlives the installer and is never waited for. Started
    // either way, it runs as the desktop user, never as root.
    options.detached = true;
    options.runAsUser = platform::DesktopUserOfRootProcess();
    if (direct) {
        // Asking first gives the exact reason a start would fail with.
        if (::access(path.c_str(), X_OK) != 0 || platform::SpawnProcess({path}, options) < 0) {
            const int error = errno != 0 ? errno : EINVAL;
            char text[64];
            std::snprintf(text, sizeof text, "CreateProcess failed3 (%d)", error);
            LOG(INFO) << text;
            ReportStartFailure(error);
            return -1;
        }
        return 0;
    }
    if (!IsRegularFile(path)) {
        LOG(INFO) << " CreateProcess failed1 (" << 2 << ")";
        ReportStartFailure(2);
        return -1;
    }
    if (::access(path.c_str(), X_OK) != 0 || platform::SpawnProcess({path}, options) < 0) {
        const int error = errno != 0 ? errno : EINVAL;
        LOG(INFO) << " CreateProcess failed2 (" << error << ")";
        ReportStartFailure(error);
        return -1;
    }
    return 0;
}

int FindProcessByFullPath(const std::string& path) {
    const ProcessNames names = ProcessNamesOf(path);
    const std::string full = platform::AsciiLower(path);
    const std::vector<platform::ProcessInfo> processes = platform::ListProcesses();
    if (processes.empty()) return -2;
    const pid_t self = ::getpid();
    int result = -1;
    for (const auto& process : processes) {
        if (!RunsNamed(process, names)) continue;
        LOG(INFO) << " Find proc: " << process.pid;
        if (process.pid == self) continue;
        // Only a process we may signal can be ended; others are left alone.
        if (::kill(process.pid, 0) != 0) continue;
        const std::string module = process.executable.substr(0, kModulePathBuffer - 1);
        LOG(INFO) << " Get proc info: " << module.size() << ", " << module.size();
        const std::string lowered = platform::AsciiLower(module);
        if (module.empty() || (lowered != full && lowered.find(".tmp") == std::string::npos)) continue;
        result = process.pid;
        const bool ended = platform::TerminateProcess(process.pid);
        LOG(INFO) << " Kill proc: " << (ended ? 1 : 0) << ", " << (ended ? 0 : errno);
    }
    return result;
}

bool VerifyEmbeddedSignature(const std::string& path) { return VerifyEmbeddedSignature(path, path); }

bool VerifyEmbeddedSignature(const std::string& path, const std::string& contentPath) {
    platform::SignatureTrust trust;
    if (const std::string caPath = platform::HostsFilePath("CaFile"); !caPath.empty()) trust.rootPaths.push_back(caPath);
    trust.useSystemStore = true;
    const platform::SignatureVerdict verdict = platform::CodeSignatureVerifier(trust).Verify(contentPath);
    const auto outcome = SignatureTrustResult::OutcomeOf(verdict);
    LOG(INFO) << " VerifyEmbeddedSignature result is " << SignatureTrustResult::ResultText(outcome.result) << ", "
              << SignatureTrustResult::MessageOf(outcome, path);
    const bool verified = verdict.status == platform::SignatureStatus::Verified && outcome.result == 0;
    if (!verified) LOG(INFO) << " VerifyEmbeddedSignature detail: " << verdict.detail;
    return verified;
}

std::string ReadNeededNetFrameworkVersion(const std::string& databasePath) {
    std::ifstream in(databasePath, std::ios::binary);
    if (!in) return "";
    std::string needed;
    bool inSettings = false;
    bool first = true;
    ForEachDatabaseLine(in, [&](std::string line) {
        // A byte order mark would hide the first section name.
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        if (line.size() < 3) return true;
        if (line.find("[Text]") != std::string::npos) return false;
        if (line.find("[Settings]") != std::string::npos) {
            inSettings = true;
            return true;
        }
        const auto equals = line.find('=');
        if (!inSettings || equals == std::string::npos || equals == 0) return true;
        if (platform::TrimBlanks(std::string_view(line).substr(0, equals)) != "NetFrameworkVersion") return true;
        needed = std::string(platform::TrimBlanks(std::string_view(line).substr(equals + 1)));
        return false;
    });
    return AnsiToUtf8(needed);
}

int CompareVersionTexts(std::string_view a, std::string_view b) {
    const auto left = VersionParts(a);
    const auto right = VersionParts(b);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

bool WillShowNetFrameCheck(const std::string& directory) {
    const bool separated = !directory.empty() && (directory.back() == '/' || directory.back() == '\\');
    const std::string needed =
        ReadNeededNetFrameworkVersion(directory + (separated ? "" : "/") + "NetFrameCheck.db");
    const std::string installed =
        RegistryStore::ReadString(RegistryHive::LocalMachine, kNetFrameworkKey, "Version").value_or("");
    LOG(INFO) << " LocalNetFrame: " << installed << ", NeedNetFrame: " << needed;
    if (needed.empty()) return false;
    return CompareVersionTexts(installed, needed) < 0;
}

std::string GetFileVersionString(const std::string& path) {
    const auto info = platform::ReadVersionNote(path);
    if (!info) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", info->fileVersion[0], info->fileVersion[1],
                  info->fileVersion[2], info->fileVersion[3]);
    return text;
}

FileProductInfo GetFileProductInfo(const std::string& path) {
    const auto info = platform::ReadVersionNote(path);
    if (!info) return {};
    return {AnsiToUtf8(info->productName), AnsiToUtf8(info->productVersion), AnsiToUtf8(info->copyright),
            AnsiToUtf8(info->description)};
}

std::string GetOsNameAndVersion(float& versionNumber) {
    versionNumber = 10.0f;
    return platform::OsDisplayName(platform::ReadOsRelease());
}

bool IsWindows11() {
    if (!RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine)) return false;
    const char* key = RegistryStore::KeyExists(RegistryHive::LocalMachine, kCurrentVersionKey32) ? kCurrentVersionKey32
                                                                                                 : kCurrentVersionKey;
    auto build = RegistryStore::ReadString(RegistryHive::LocalMachine, key, "CurrentBuild");
    if (!build) build = RegistryStore::ReadString(RegistryHive::LocalMachine, key, "CurrentBuildNumber");
    if (!build) return false;
    return platform::BuildNumberOf(build->substr(0, kRegistryValueBuffer - 1)) > 21999;
}

std::string WindowsOsNameAndVersion(const WindowsVersionFacts& facts, float& versionNumber) {
    if (platform::BuildNumberOf(facts.registryBuild) > 21999) {
        versionNumber = 11.0f;
        return "Windows 11";
    }
    if (facts.kernelMajor == 6 && facts.kernelMinor == 3) {
        versionNumber = 8.1f;
        return "Windows 8.1";
    }
    if (facts.kernelMajor == 10 && facts.kernelMinor == 0) {
        versionNumber = 10.0f;
        return "Windows 10";
    }
    const auto named = platform::WindowsNameFromVersionTable(facts.query, versionNumber);
    versionNumber = named.number;
    return named.name;
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

std::string ChinaStandardTimeOf(std::time_t utc) {
    constexpr std::time_t kOffset = 8 * 60 * 60;  // bias -480 minutes, no daylight rule
    const std::time_t local = utc + kOffset;
    std::tm fields{};
    if (gmtime_r(&local, &fields) == nullptr) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", fields.tm_year + 1900, fields.tm_mon + 1,
                  fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return text;
}

std::string GetChinaStandardTime() { return ChinaStandardTimeOf(std::time(nullptr)); }

std::string ReadHklmString(const std::string& key, const std::string& valueName) {
    if (!RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine)) return "";
    const auto value = RegistryStore::ReadString(RegistryHive::LocalMachine, key, valueName);
    // A value larger than the buffer was a failed read, not a cut one.
    if (!value || value->size() >= kRegistryValueBuffer) return "";
    return *value;
}

bool WriteHklmString(const std::string& key, const std::string& valueName, const std::string& text) {
    return RegistryStore::WriteString(RegistryHive::LocalMachine, key, valueName, text);
}

int CreateDirectoryTree(const std::string& path) {
    return platform::CreateDirectoryTree(path) == kDiskFull ? kDiskFull : 0;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) AppendUtf8(static_cast<char32_t>(c), out);
    return out;
}

std::string WideToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) AppendUtf8(DecodeUtf8(text, position), out);
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t position = 0; position < text.size();)
        out += static_cast<wchar_t>(DecodeUtf8(text, position));
    return out;
}

std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(text); }

ScreenScale ScreenScaleFrom(const ScreenSources& sources) {
    ScreenScale screen;
    if (!sources.hasDisplay) return screen;
    // Scales outside this range are typing errors, not desktops.
    const auto sane = [](double scale) { return scale >= 0.5 && scale <= 8.0; };
    const double gdk = std::strtod(sources.gdkScale.c_str(), nullptr);
    if (sane(gdk)) {
        screen.scale = gdk;
    } else {
        std::string_view resources = sources.xresources;
        while (!resources.empty()) {
            const auto end = resources.find('\n');
            const std::string_view line = platform::TrimBlanks(resources.substr(0, end));
            resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
            const auto colon = line.find(':');
            if (colon == std::string_view::npos || platform::TrimBlanks(line.substr(0, colon)) != "Xft.dpi") continue;
            const double dpi = std::strtod(std::string(platform::TrimBlanks(line.substr(colon + 1))).c_str(), nullptr);
            if (sane(dpi / 96.0)) screen.scale = dpi / 96.0;
        }
    }
    int width = 0;
    int height = 0;
    if (std::sscanf(sources.outputModes.c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0) {
        screen.width = width;
        screen.height = height;
    }
    return screen;
}

ScreenScale GetScreenScale() {
    ScreenSources sources;
    const auto environment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    sources.hasDisplay = !environment("DISPLAY").empty() || !environment("WAYLAND_DISPLAY").empty();
    sources.gdkScale = environment("GDK_SCALE");
    if (const std::string home = environment("HOME"); !home.empty())
        sources.xresources = ReadSmallFile(home + "/.Xresources");
    std::error_code error;
    std::vector<std::string> outputs;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", error)) outputs.push_back(entry.path());
    std::sort(outputs.begin(), outputs.end());
    for (const auto& output : outputs) {
        if (platform::TrimBlanks(ReadSmallFile(output + "/status", 64)) != "connected") continue;
        sources.outputModes = ReadSmallFile(output + "/modes", 4096);
        break;
    }
    return ScreenScaleFrom(sources);
}

}  // namespace FuntionImpl
