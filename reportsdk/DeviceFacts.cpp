#include "reportsdk/DeviceFacts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sstream>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/AsciiText.h"
#include "platform/Locale.h"

namespace DeviceFacts {

namespace {

// A small system file's first line; "" when it cannot be read.
std::string FirstLineOf(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return "";
    return std::string(platform::TrimBlanks(std::string_view(line).substr(0, 4096)));
}

std::string MachineId() {
    std::string id = FirstLineOf("/etc/machine-id");
    if (id.empty()) id = FirstLineOf("/var/lib/dbus/machine-id");
    return id;
}

// The major:minor of the filesystem mounted at "/".
std::string RootDeviceNumber() {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (fields >> id >> parent >> device >> root >> mountPoint && mountPoint == "/") return device;
    }
    return "";
}

std::string RootUuidFromDeviceLinks() {
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(RootDeviceNumber().c_str(), "%u:%u", &major, &minor) != 2) return "";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-uuid", error)) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0 && S_ISBLK(info.st_mode) && ::major(info.st_rdev) == major &&
            ::minor(info.st_rdev) == minor)
            return entry.path().filename().string();
    }
    return "";
}

// "UUID=..." of the root entry of the mount table.
std::string RootUuidFromFstab() {
    std::ifstream in("/etc/fstab");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string source, mountPoint;
        if (!(fields >> source >> mountPoint) || source.front() == '#' || mountPoint != "/") continue;
        if (source.rfind("UUID=", 0) == 0) return source.substr(5);
    }
    return "";
}

std::string RootFilesystemUuid() {
    const std::string uuid = RootUuidFromDeviceLinks();
    return platform::AsciiLower(uuid.empty() ? RootUuidFromFstab() : uuid);
}

std::vector<NetworkAdapter> ListAdapters() {
    std::vector<NetworkAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        if ((entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        const std::string name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        if (std::any_of(adapters.begin(), adapters.end(), [&](const NetworkAdapter& a) { return a.name == name; }))
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
        adapters.push_back({name, std::vector<unsigned char>(link->sll_addr, link->sll_addr + length)});
    }
    freeifaddrs(list);
    // Adapters on real hardware come first, as the system's adapter list has
    // them: virtual ones (bridges, tunnels, containers) carry made-up addresses.
    std::stable_partition(adapters.begin(), adapters.end(), [](const NetworkAdapter& adapter) {
        std::error_code error;
        return std::filesystem::exists("/sys/class/net/" + adapter.name + "/device", error);
    });
    return adapters;
}

std::string HexByte(unsigned char byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

// strtoll's reading of a decimal text: leading blanks, a sign, digits;
// out-of-range values are clamped, no number at all is 0.
long long NumberOf(const std::string& text) {
    errno = 0;
    return std::strtoll(text.c_str(), nullptr, 10);
}

struct LanguageName {
    int id;
    const char* name;
};

// Sorted by id.
constexpr LanguageName kLanguageNames[] = {
    {0x0000, "Neutral_Neutral"},
    {0x0400, "Default_Default"},
    {0x0401, "Arabic_Saudi Arabia"},
    {0x0402, "Bulgarian_Bulgaria"},
    {0x0403, "Catalan_Spain"},
    {0x0404, "Chinese_Taiwan"},
    {0x0405, "Czech_Czech Republic"},
    {0x0406, "Danish_Denmark"},
    {0x0407, "German_Germany"},
    {0x0408, "Greek_Greece"},
    {0x0409, "English_United States"},
    {0x040A, "Spanish_Spain (Traditional sort)"},
    {0x040B, "Finnish_Finland"},
    {0x040C, "French_France"},
    {0x040D, "Hebrew_Israel"},
    {0x040E, "Hungarian_Hungary"},
    {0x040F, "Icelandic_Iceland"},
    {0x0410, "Italian_Italy"},
    {0x0411, "Japanese_Japan"},
    {0x0412, "Korean_Korea"},
    {0x0413, "Dutch_Netherlands"},
    {0x0414, "Norwegian_Norway (Bokm?l)"},
    {0x0415, "Polish_Poland"},
    {0x0416, "Portuguese_Brazil"},
    {0x0418, "Romanian_Romania"},
    {0x0419, "Russian_Russia"},
    {0x041A, "Croatian_Croatia"},
    {0x041B, "Slovak_Slovakia"},
    {0x041C, "Albanian_Albania"},
    {0x041D, "Swedish_Sweden"},
    {0x041E, "Thai_Thailand"},
    {0x041F, "Turkish_Turkey"},
    {0x0420, "Urdu_Pakistan"},
    {0x0421, "Indonesian_Indonesia (Bahasa)"},
    {0x0422, "Ukrainian_Ukraine"},
    {0x0423, "Belarusian_Belarus"},
    {0x0424, "Slovenian_Slovenia"},
    {0x0425, "Estonian_Estonia"},
    {0x0426, "Latvian_Latvia"},
    {0x0427, "Lithuanian_Lithuania"},
    {0x0429, "Farsi_Iran"},
    {0x042A, "Vietnamese_Viet Nam"},
    {0x042B, "Armenian_Armenia"},
    {0x042C, "Azeri_Azerbaijan (Latin)"},
    {0x042D, "Basque_Spain"},
    {0x042F, "Macedonian (FYROM)_Macedonian (FYROM)"},
    {0x0436, "Afrikaans_South Africa"},
    {0x0437, "Georgian_Georgia"},
    {0x0438, "Faeroese_Faeroe Islands"},
    {0x0439, "Hindi_India"},
    {0x043E, "Malay_Malaysia"},
    {0x043F, "Kazakh_Kazakstan"},
    {0x0440, "Kyrgyz_Kyrgyzstan"},
    {0x0441, "Swahili_Kenya"},
    {0x0443, "Uzbek_Uzbekistan (Latin)"},
    {0x0444, "Tatar_Tatarstan"},
    {0x0445, "Bengali_India"},
    {0x0446, "Punjabi_India (Gurmukhi script)"},
    {0x0447, "Gujarati_India"},
    {0x0448, "Oriya_India"},
    {0x0449, "Tamil_India"},
    {0x044A, "Telugu_India (Telugu script)"},
    {0x044B, "Kannada_India (Kannada script)"},
    {0x044C, "Malayalam_India"},
    {0x044D, "Assamese_India"},
    {0x044E, "Marathi_India"},
    {0x044F, "Sanskrit_India"},
    {0x0450, "Mongolian (Cyrillic)_Mongolia"},
    {0x0456, "Galician_Spain"},
    {0x0457, "Konkani_India"},
    {0x045A, "Syriac_Syria"},
    {0x0465, "Divehi_Maldives"},
    {0x0801, "Arabic_Iraq"},
    {0x0804, "Chinese_PRC"},
    {0x0807, "German_Switzerland"},
    {0x0809, "English_United Kingdom"},
    {0x080A, "Spanish_Mexico"},
    {0x080C, "French_Belgium"},
    {0x0810, "Italian_Switzerland"},
    {0x0813, "Dutch_Belgium"},
    {0x0814, "Norwegian_Norway (Nynorsk)"},
    {0x0816, "Portuguese_Portugal"},
    {0x081A, "Serbian_Serbia (Latin)"},
    {0x081D, "Swedish_Finland"},
    {0x0820, "Urdu_India"},
    {0x0827, "Classic Lithuanian_Lithuania"},
    {0x082C, "Azeri_Azerbaijan (Cyrillic)"},
    {0x083E, "Malay_Brunei Darussalam"},
    {0x0843, "Uzbek_Uzbekistan (Cyrillic)"},
    {0x0C01, "Arabic_Egypt"},
    {0x0C04, "Chinese_Hong Kong SAR"},
    {0x0C07, "German_Austria"},
    {0x0C09, "English_Australia"},
    {0x0C0A, "Spanish_Spain (International sort)"},
    {0x0C0C, "French_Canada"},
    {0x0C1A, "Serbian_Serbia (Cyrillic)"},
    {0x1001, "Arabic_Libya"},
    {0x1004, "Chinese_Singapore"},
    {0x1007, "German_Luxembourg"},
    {0x1009, "English_Canada"},
    {0x100A, "Spanish_Guatemala"},
    {0x100C, "French_Switzerland"},
    {0x1401, "Arabic_Algeria"},
    {0x1404, "Chinese_Macao SAR"},
    {0x1407, "German_Liechtenstein"},
    {0x1409, "English_New Zealand"},
    {0x140A, "Spanish_Costa Rica"},
    {0x140C, "French_Luxembourg"},
    {0x1801, "Arabic_Morocco"},
    {0x1809, "English_Ireland"},
    {0x180A, "Spanish_Panama"},
    {0x180C, "French_Monaco"},
    {0x1C01, "Arabic_Tunisia"},
    {0x1C09, "English_South Africa"},
    {0x1C0A, "Spanish_Dominican Republic"},
    {0x2001, "Arabic_Oman"},
    {0x2009, "English_Jamaica"},
    {0x200A, "Spanish_Venezuela"},
    {0x2401, "Arabic_Yemen"},
    {0x2409, "English_Caribbean"},
    {0x240A, "Spanish_Colombia"},
    {0x2801, "Arabic_Syria"},
    {0x2809, "English_Belize"},
    {0x280A, "Spanish_Peru"},
    {0x2C01, "Arabic_Jordan"},
    {0x2C09, "English_Trinidad"},
    {0x2C0A, "Spanish_Argentina"},
    {0x3001, "Arabic_Lebanon"},
    {0x3009, "English_Zimbabwe"},
    {0x300A, "Spanish_Ecuador"},
    {0x3401, "Arabic_Kuwait"},
    {0x3409, "English_Philippines"},
    {0x340A, "Spanish_Chile"},
    {0x3801, "Arabic_U.A.E."},
    {0x380A, "Spanish_Uruguay"},
    {0x3C01, "Arabic_Bahrain"},
    {0x3C0A, "Spanish_Paraguay"},
    {0x4001, "Arabic_Qatar"},
    {0x400A, "Spanish_Bolivia"},
    {0x440A, "Spanish_El Salvador"},
    {0x480A, "Spanish_Honduras"},
    {0x4C0A, "Spanish_Nicaragua"},
    {0x500A, "Spanish_Puerto Rico"},
};

}  // namespace

std::string LibraryWindowsOsName(const WindowsFacts& facts) {
    std::string name;
    if (facts.query.major >= 4 && facts.query.major <= 6)
        name = platform::WindowsNameFromVersionTable(facts.query, 0.0f).name;
    else
        name = "Error";
    if (facts.kernelMajor == 6 && facts.kernelMinor == 3) name = "Windows 8.1";
    if (facts.kernelMajor == 10 && facts.kernelMinor == 0) name = facts.build >= 22000 ? "Windows 11" : "Windows 10";
    return name + (facts.sixtyFourBit ? "-64" : "-32");
}

std::string LibraryOsNameOf(const platform::OsRelease& release, bool sixtyFourBit) {
    return platform::OsDisplayName(release) + (sixtyFourBit ? "-64" : "-32");
}

std::string LibraryOsName() {
    return LibraryOsNameOf(platform::ReadOsRelease(), platform::IsSixtyFourBitSystem());
}

std::string OsVersionTextOf(const platform::OsRelease& release, const std::string& kernelRelease) {
    const std::string build = release.buildId.empty() ? kernelRelease : release.buildId;
    if (release.versionId.empty() && build.empty()) return "";
    return release.versionId + "(" + build + ")";
}

std::string OsVersionText() { return OsVersionTextOf(platform::ReadOsRelease(), platform::KernelRelease()); }

std::string MacAddressTextOf(const std::vector<NetworkAdapter>& adapters) {
    if (!adapters.empty()) {
        std::string text;
        for (const unsigned char byte : adapters.front().address) text += (text.empty() ? "" : ":") + HexByte(byte);
        if (!text.empty()) return text;
    }
    for (const auto& adapter : adapters) {
        if (adapter.address.size() != 6) continue;
        const auto& a = adapter.address;
        char text[32];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        return text;
    }
    return "";
}

std::string MacAddressText() { return MacAddressTextOf(ListAdapters()); }

std::string GuidTextOfMachineId(std::string_view machineId) {
    if (machineId.size() != 32 ||
        !std::all_of(machineId.begin(), machineId.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return "";
    std::string id(machineId);
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return id.substr(0, 8) + "-" + id.substr(8, 4) + "-" + id.substr(12, 4) + "-" + id.substr(16, 4) + "-" +
           id.substr(20);
}

std::string SerialTextOf(std::string_view hexId) {
    std::string digits;
    for (const char c : hexId) {
        if (c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
        digits += c;
        if (digits.size() == 8) break;
    }
    if (digits.size() < 8) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 16)));
    return text;
}

std::string VolumeId() {
    const std::string uuid = RootFilesystemUuid();
    return uuid.empty() ? GuidTextOfMachineId(MachineId()) : uuid;
}

std::string VolumeSerial() {
    const std::string serial = SerialTextOf(MachineId());
    return serial.empty() ? SerialTextOf(RootFilesystemUuid()) : serial;
}

std::string BoardMaker() { return FirstLineOf("/sys/class/dmi/id/board_vendor"); }

std::string BoardModel() { return FirstLineOf("/sys/class/dmi/id/board_name"); }

std::string GuidTextOf(const unsigned char (&b)[16]) {
    const unsigned data1 = (static_cast<unsigned>(b[0]) << 24) | (static_cast<unsigned>(b[1]) << 16) |
                           (static_cast<unsigned>(b[2]) << 8) | b[3];
    const unsigned data2 = (static_cast<unsigned>(b[4]) << 8) | b[5];
    const unsigned data3 = (static_cast<unsigned>(b[6]) << 8) | b[7];
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1, data2, data3, b[8],
                  b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string NewSessionGuid() {
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return "";
        filled += static_cast<std::size_t>(got);
    }
    // A version 4 (random) GUID, as the system's GUID generator makes them.
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    return GuidTextOf(bytes);
}

std::int64_t TimeInMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::int64_t SecondsBetween(const std::string& a, const std::string& b) {
    const __int128 distance = static_cast<__int128>(NumberOf(a)) - static_cast<__int128>(NumberOf(b));
    const __int128 seconds = (distance < 0 ? -distance : distance) / 1000;
    return seconds > LLONG_MAX ? LLONG_MAX : static_cast<std::int64_t>(seconds);
}

std::string UiLanguageNameOf(int languageId) {
    const auto* end = std::end(kLanguageNames);
    const auto* found = std::lower_bound(std::begin(kLanguageNames), end, languageId,
                                         [](const LanguageName& entry, int id) { return entry.id < id; });
    if (found != end && found->id == languageId) return found->name;
    char text[32];
    std::snprintf(text, sizeof text, "0x%.4x_0x%.4x", static_cast<unsigned>(languageId),
                  static_cast<unsigned>(languageId));
    return text;
}

std::string UiLanguageName() { return UiLanguageNameOf(platform::CurrentUiLocale().languageId); }

}  // namespace DeviceFacts
