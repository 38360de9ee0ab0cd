#include "platform/OsRelease.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>

#include "platform/AsciiText.h"

namespace platform {

namespace {

// Shell-style value: "double quoted" (with \ escapes), 'single quoted', or bare.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        text += value[i];
    }
    return text;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

OsRelease ParseOsRelease(std::string_view text) {
    OsRelease release;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = TrimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) continue;
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        const std::string value = Unquote(TrimBlanks(line.substr(equals + 1)));
        if (key == "ID") release.id = value;
        else if (key == "NAME") release.name = value;
        else if (key == "PRETTY_NAME") release.prettyName = value;
        else if (key == "VERSION") release.version = value;
        else if (key == "VERSION_ID") release.versionId = value;
        else if (key == "BUILD_ID") release.buildId = value;
    }
    return release;
}

OsRelease ReadOsRelease() {
    if (const char* path = std::getenv("ZEMBRA_OS_RELEASE"); path != nullptr && *path != '\0')
        return ParseOsRelease(ReadWhole(path));
    std::string text = ReadWhole("/etc/os-release");
    if (text.empty()) text = ReadWhole("/usr/lib/os-release");
    return ParseOsRelease(text);
}

std::string OsDisplayName(const OsRelease& release) {
    if (!release.prettyName.empty()) return release.prettyName;
    if (!release.name.empty()) return release.versionId.empty() ? release.name : release.name + " " + release.versionId;
    return "Linux";
}

std::string KernelRelease() {
    utsname name{};
    if (uname(&name) != 0) return "";
    return name.release;
}

bool IsSixtyFourBitMachineName(std::string_view machine) {
    return machine.find("64") != std::string_view::npos || machine == "s390x";
}

bool IsSixtyFourBitSystem() {
    utsname name{};
    return uname(&name) == 0 && IsSixtyFourBitMachineName(name.machine);
}

}  // namespace platform
