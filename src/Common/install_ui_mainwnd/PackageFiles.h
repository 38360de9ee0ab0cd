#pragma once
// The local files of one run: the package's name, and the verification
// marker that lets a later run reuse a package it has already checked.
#include <optional>
#include <string>
#include <string_view>

namespace packagefiles {

// The package file name: the file name of the Extra_download_url label
// without its extension, "_", the product version, and ".exe" (".apk" when
// the label does not end in ".exe" and is at least four characters long).
// The name never leaves its folder: "/" and NUL in the version become "_",
// and the name is cut to the longest a file name may be.
std::string PackageFileName(const std::string& extraDownloadUrlLabel, const std::string& softwareVersion);

// A text with "/" and NUL replaced by "_", so it can only name a file.
std::string FileNameSafe(std::string_view text);
// The longest file name a folder accepts, in bytes.
constexpr std::size_t kMaxFileNameBytes = 255;

struct Marker {
    std::string version;
    std::string checksum;
};
// The marker's first line split at its first "###"; nullopt without one.
std::optional<Marker> ParseMarker(std::string_view firstLine);
// The first line of a marker file, at most 260 characters; nullopt when the
// file cannot be opened.
std::optional<std::string> ReadMarkerLine(const std::string& path);
// A marker keeps the package when its version is the product version and
// its checksum, lower-cased, is one of the expected MD5s exactly. A marker
// without a checksum keeps nothing.
bool MarkerKeepsPackage(const Marker& marker, const std::string& softwareVersion, const std::string& md5,
                        const std::string& md5Extra);

}  // namespace packagefiles
