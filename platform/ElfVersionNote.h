#pragma once
// The version note ("ZembraVersion") written into our executables at build
// time, read back from any ELF file.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct VersionInfo {
    std::array<std::uint16_t, 4> fileVersion{};  // major, minor, build, revision
    std::string productName;
    std::string productVersion;
    std::string copyright;
    std::string description;
};

// nullopt when the file is unreadable, not ELF, or carries no note.
std::optional<VersionInfo> ReadVersionNote(const std::string& path);

}  // namespace platform
