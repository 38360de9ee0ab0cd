#pragma once
// A root process started for a desktop user (pkexec, sudo) writes logs,
// settings and analytics into that user's folders. What it makes there is
// handed to the user, so their own folders never hold files they cannot
// change or remove.
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

struct FileOwner {
    uid_t uid;
    gid_t gid;
};

// The desktop user (with their group) when this process runs as root for
// that user and folder belongs to them; nothing otherwise.
std::optional<FileOwner> DesktopOwnerOf(const std::string& folder);

// When this process runs as root for a desktop user and path is a file or
// folder that root owns inside a folder of that user, path is handed to the
// user. Symbolic links and files with other names (hard links) are left
// alone. Returns true when path was handed over.
bool HandToDesktopUser(const std::string& path);

}  // namespace platform
