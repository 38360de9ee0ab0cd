#include "platform/Folders.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/DesktopUserFiles.h"
#include "platform/FileFacts.h"
#include "platform/PrivateFolder.h"

namespace platform {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// Mount points in /proc/self/mountinfo escape blanks and a few other bytes as \ooo.
std::string UnescapeMountField(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string octal = field.substr(i + 1, 3);
            if (octal.find_first_not_of("01234567") == std::string::npos) {
                text += static_cast<char>(std::stoi(octal, nullptr, 8));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

struct MountEntry {
    std::string majorMinor;
    std::string mountPoint;
    std::string options;
    std::string fsType;
    std::string source;
};

std::vector<MountEntry> ReadMounts(const std::string& mountInfo = "/proc/self/mountinfo") {
    std::vector<MountEntry> mounts;
    std::ifstream in(mountInfo);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, root, optionalField;
        MountEntry entry;
        fields >> id >> parent >> entry.majorMinor >> root >> entry.mountPoint >> entry.options;
        while (fields >> optionalField && optionalField != "-") {}
        fields >> entry.fsType >> entry.source;
        entry.mountPoint = UnescapeMountField(entry.mountPoint);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

// The block device behind a mount: the device node's own number when the
// source is one (btrfs and friends show a private number in mountinfo),
// else the number mountinfo gives.
std::string SysfsBlockPath(const MountEntry& mount, const std::string& sysfsRoot) {
    std::string majorMinor = mount.majorMinor;
    struct stat node {};
    if (stat(mount.source.c_str(), &node) == 0 && S_ISBLK(node.st_mode))
        majorMinor = std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev));
    char resolved[PATH_MAX];
    const std::string link = sysfsRoot + "/dev/block/" + majorMinor;
    return realpath(link.c_str(), resolved) ? resolved : "";
}

// A flag of the disk: a partition has no queue of its own, its disk is the
// parent folder. fallback when neither holds the file.
bool DiskFlag(const std::string& sysfsPath, const std::string& name, bool fallback) {
    for (const std::string& candidate : {sysfsPath + "/" + name, sysfsPath + "/../" + name}) {
        std::ifstream in(candidate);
        int value = 0;
        if (in >> value) return value != 0;
    }
    return fallback;
}

bool HasOption(const std::string& options, const std::string& option) {
    std::istringstream list(options);
    std::string item;
    while (std::getline(list, item, ',')) {
        if (item == option) return true;
    }
    return false;
}

}  // namespace

std::string AppDataDir() {
    if (const char* appData = std::getenv("APPDATA"); appData && *appData) return appData;
    return EnvOr("XDG_DATA_HOME", HomeDir() + "/.local/share");
}

std::string ProgramFilesDir() {
    if (const char* programFiles = std::getenv("ZEMBRA_PROGRAM_FILES"); programFiles && *programFiles)
        return programFiles;
    return geteuid() == 0 ? "/opt" : HomeDir() + "/.local/opt";
}

std::string RuntimeDir() { return ChooseRuntimeFolder().path; }
std::string TempDir() { return EnvOr("TMPDIR", "/tmp"); }
std::string ConfigHomeDir() { return EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config"); }
std::string CacheHomeDir() { return EnvOr("XDG_CACHE_HOME", HomeDir() + "/.cache"); }

std::vector<Drive> ListDrives(const DriveSources& sources) {
    std::vector<Drive> drives;
    for (const MountEntry& mount : ReadMounts(sources.mountInfo)) {
        if (mount.source.rfind("/dev/", 0) != 0) continue;
        struct statvfs space {};
        if (statvfs(mount.mountPoint.c_str(), &space) != 0) continue;
        const std::string sysfs = SysfsBlockPath(mount, sources.sysfsRoot);
        Drive drive;
        drive.mountPoint = WithTrailingSlash(mount.mountPoint);
        drive.device = mount.source;
        drive.freeBytes = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
        drive.isUsb = sysfs.find("/usb") != std::string::npos;
        drive.isRemovable = !sysfs.empty() && DiskFlag(sysfs, "removable", false);
        drive.isSolidState = !sysfs.empty() && !DiskFlag(sysfs, "queue/rotational", true);
        drive.isWritable = !HasOption(mount.options, "ro") && access(mount.mountPoint.c_str(), W_OK) == 0;
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::optional<std::uint64_t> FreeBytesAvailable(const std::string& path) {
    std::string probe = path.empty() ? "." : path;
    struct statvfs space {};
    while (statvfs(probe.c_str(), &space) != 0) {
        // Only a folder that does not exist yet is judged by its parent; a
        // folder that cannot be reached (no permission, a vanished mount) is unknown.
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        while (probe.size() > 1 && probe.back() == '/') probe.pop_back();
        const auto slash = probe.find_last_of('/');
        if (slash == std::string::npos) probe = ".";
        else if (slash == 0) probe = "/";
        else probe.resize(slash);
        if (probe == "/" || probe == ".") {
            if (statvfs(probe.c_str(), &space) != 0) return std::nullopt;
            break;
        }
    }
    return static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
}

std::string DriveRootOf(const std::string& path) {
    std::string best = "/";
    for (const MountEntry& mount : ReadMounts()) {
        const std::string root = WithTrailingSlash(mount.mountPoint);
        const std::string probe = WithTrailingSlash(path);
        if (probe.rfind(root, 0) == 0 && root.size() > best.size()) best = root;
    }
    return best;
}

bool SameDrive(const std::string& a, const std::string& b) {
    // Paths that do not exist yet are judged by their nearest existing parent.
    auto deviceOf = [](std::string path) -> dev_t {
        struct stat info {};
        while (!path.empty()) {
            if (stat(path.c_str(), &info) == 0) return info.st_dev;
            const auto slash = path.find_last_of('/');
            if (slash == std::string::npos || slash == 0) path = "/";
            else path.resize(slash);
            if (path == "/") return stat("/", &info) == 0 ? info.st_dev : 0;
        }
        return 0;
    };
    return deviceOf(a) == deviceOf(b);
}

std::uint64_t FolderDevice(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
    return info.st_dev;
}

std::string WorkRootDir() {
    if (const char* root = std::getenv("ZEMBRA_WORK_ROOT"); root && *root) return WithTrailingSlash(root);
    const Drive* roomiest = nullptr;
    const std::vector<Drive> drives = ListDrives();
    for (const Drive& drive : drives) {
        if (drive.isUsb || !drive.isWritable) continue;
        if (!roomiest || drive.freeBytes > roomiest->freeBytes) roomiest = &drive;
    }
    return roomiest ? roomiest->mountPoint : WithTrailingSlash(CacheHomeDir());
}

int CreateDirectoryTree(const std::string& path) {
    if (path.empty()) return 0;
    std::string prefix;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        prefix = path.substr(0, i);
        if (prefix.empty()) continue;
        if (mkdir(prefix.c_str(), 0755) == 0) {
            HandToDesktopUser(prefix);
            continue;
        }
        if (errno == EEXIST) continue;
        if (errno == ENOSPC) return 112;
        return errno;
    }
    return 0;
}

namespace {

// Writes all of data to fd.
SysStatus WriteAll(int fd, const std::string& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SysStatus::Failure("write", errno);
        if (n == 0) return SysStatus::Failure("write", EIO);
        written += static_cast<std::size_t>(n);
    }
    return SysStatus::Ok();
}

// The temporary file written, synced and closed.
SysStatus WriteTemporary(const std::string& temporary, const std::string& data) {
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return SysStatus::Failure("open", errno);
    SysStatus status = WriteAll(fd, data);
    if (status && fsync(fd) != 0) status = SysStatus::Failure("fsync", errno);
    // Some file systems report a failed write only when the file is closed.
    if (close(fd) != 0 && status) status = SysStatus::Failure("close", errno);
    return status;
}

}  // namespace

SysStatus WriteFileAtomically(const std::string& path, const std::string& data) {
    static std::atomic<unsigned> counter{0};
    const std::string temporary = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    SysStatus status = WriteTemporary(temporary, data);
    if (status) HandToDesktopUser(temporary);
    if (status && rename(temporary.c_str(), path.c_str()) != 0) status = SysStatus::Failure("rename", errno);
    if (!status) {
        unlink(temporary.c_str());
        return status;
    }
    // The new name reaches the disk with its folder.
    const int folder = open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return SysStatus::Failure("open folder", errno);
    if (fsync(folder) != 0) status = SysStatus::Failure("fsync folder", errno);
    close(folder);
    return status;
}

}  // namespace platform
