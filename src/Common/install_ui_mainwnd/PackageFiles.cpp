#include "Common/install_ui_mainwnd/PackageFiles.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/AsciiText.h"

namespace packagefiles {

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Cuts text to at most bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

std::string FileNameSafe(std::string_view text) {
    std::string safe(text);
    std::replace(safe.begin(), safe.end(), '/', '_');
    std::replace(safe.begin(), safe.end(), '\0', '_');
    return safe;
}

std::string PackageFileName(const std::string& extraDownloadUrlLabel, const std::string& softwareVersion) {
    std::string base = extraDownloadUrlLabel.substr(extraDownloadUrlLabel.rfind('/') + 1);
    if (const auto dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
    const bool exe = extraDownloadUrlLabel.size() < 4 || EndsWith(extraDownloadUrlLabel, ".exe");
    const std::string extension = exe ? ".exe" : ".apk";
    const std::string prefix = FileNameSafe(base) + "_";
    // A version long enough to overflow the name gives way first.
    const std::size_t room = kMaxFileNameBytes - std::min(kMaxFileNameBytes, prefix.size() + extension.size());
    return CutUtf8(prefix + CutUtf8(FileNameSafe(softwareVersion), room), kMaxFileNameBytes - extension.size()) +
           extension;
}

std::optional<Marker> ParseMarker(std::string_view firstLine) {
    const auto separator = firstLine.find("###");
    if (separator == std::string_view::npos) return std::nullopt;
    return Marker{std::string(firstLine.substr(0, separator)), std::string(firstLine.substr(separator + 3))};
}

std::optional<std::string> ReadMarkerLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    char c = 0;
    while (line.size() < 260 && in.get(c) && c != '\n' && c != '\r') line += c;
    return line;
}

bool MarkerKeepsPackage(const Marker& marker, const std::string& softwareVersion, const std::string& md5,
                        const std::string& md5Extra) {
    if (marker.checksum.empty() || marker.version != softwareVersion) return false;
    const std::string checksum = platform::AsciiLower(marker.checksum);
    return checksum == md5 || checksum == md5Extra;
}

}  // namespace packagefiles
