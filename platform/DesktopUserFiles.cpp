#include "platform/DesktopUserFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Process.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<FileOwner> DesktopOwnerOf(const std::string& folder) {
    const std::optional<uid_t> user = DesktopUserOfRootProcess();
    struct stat info {};
    if (!user || stat(folder.c_str(), &info) != 0 || info.st_uid != *user) return std::nullopt;
    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];
    const bool known = getpwuid_r(*user, &entry, buffer, sizeof buffer, &found) == 0 && found;
    return FileOwner{*user, known ? entry.pw_gid : info.st_gid};
}

bool HandToDesktopUser(const std::string& path) {
    const std::optional<FileOwner> owner = DesktopOwnerOf(FolderOf(path));
    if (!owner) return false;
    // The object itself, never what a link in its place points to.
    const int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool ours = fstat(fd, &info) == 0 && info.st_uid == 0 && !S_ISLNK(info.st_mode) &&
                      (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink == 1));
    const bool handed = ours && fchownat(fd, "", owner->uid, owner->gid, AT_EMPTY_PATH) == 0;
    close(fd);
    return handed;
}

}  // namespace platform
