#pragma once
// What the system says about itself: the os-release file and the kernel.
#include <string>
#include <string_view>

namespace platform {

struct OsRelease {
    std::string id;          // ID, e.g. "debian"
    std::string name;        // NAME, e.g. "Debian GNU/Linux"
    std::string prettyName;  // PRETTY_NAME, e.g. "Debian GNU/Linux 12 (bookworm)"
    std::string version;     // VERSION, e.g. "12 (bookworm)"
    std::string versionId;   // VERSION_ID, e.g. "12"
    std::string buildId;     // BUILD_ID (rolling distributions)
};

// Parses os-release text: KEY=value lines, values optionally quoted with
// shell-style escapes; comments and unknown keys are ignored.
OsRelease ParseOsRelease(std::string_view text);

// /etc/os-release, else /usr/lib/os-release ($ZEMBRA_OS_RELEASE names
// another file). Empty fields when none can be read.
OsRelease ReadOsRelease();

// The distribution's display name: PRETTY_NAME, else NAME and VERSION_ID,
// else "Linux".
std::string OsDisplayName(const OsRelease& release);

// The kernel release (uname -r), e.g. "6.1.0-18-amd64"; "" on failure.
std::string KernelRelease();

// True when the machine (uname -m) is a 64-bit one: x86_64, aarch64, ppc64le,
// riscv64, s390x, ...
bool IsSixtyFourBitMachineName(std::string_view machine);
bool IsSixtyFourBitSystem();

}  // namespace platform
