#pragma once
// The system folders the installer uses, each redirectable by environment so
// tests never touch the real home, registry or /opt.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/SysResult.h"

namespace platform {

// $APPDATA, else $XDG_DATA_HOME, else ~/.local/share.
std::string AppDataDir();
// $ZEMBRA_PROGRAM_FILES, else /opt as root, else ~/.local/opt.
std::string ProgramFilesDir();
// The session's private runtime folder (see ChooseRuntimeFolder).
std::string RuntimeDir();
// $TMPDIR, else /tmp.
std::string TempDir();
// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHomeDir();
// $XDG_CACHE_HOME, else ~/.cache.
std::string CacheHomeDir();

// A mounted local filesystem ("drive").
struct Drive {
    std::string mountPoint;   // always ends with "/"
    std::string device;       // e.g. /dev/vda1
    std::uint64_t freeBytes;  // available to the user
    bool isUsb;
    bool isRemovable;         // the disk says its medium can be taken out
    bool isSolidState;
    bool isWritable;
};
// Where drive facts come from. Tests point both at a tree of their own.
struct DriveSources {
    std::string mountInfo = "/proc/self/mountinfo";
    std::string sysfsRoot = "/sys";
};
// Local block-device filesystems in mount order.
std::vector<Drive> ListDrives(const DriveSources& sources = {});
// Bytes available to this user on the filesystem holding path, judged by its
// nearest existing folder; nullopt when that cannot be queried.
std::optional<std::uint64_t> FreeBytesAvailable(const std::string& path);
// Mount point of the filesystem holding path (ends with "/").
std::string DriveRootOf(const std::string& path);
// True when both paths lie on the same filesystem (st_dev).
bool SameDrive(const std::string& a, const std::string& b);
// The filesystem (st_dev) of the folder at path; 0 when path is no folder.
std::uint64_t FolderDevice(const std::string& path);
// Root for the work folder: $ZEMBRA_WORK_ROOT, else the writable non-USB
// mount point with the most free space, else CacheHomeDir(). Ends with "/".
std::string WorkRootDir();

// Creates path and every missing parent. Returns 0 on success, 112 when the
// disk is full, otherwise the errno value.
int CreateDirectoryTree(const std::string& path);

// Writes data to path atomically: temporary file, fsync, rename, fsync of
// the folder. A failure before the rename leaves the old file; a failure of
// the folder's fsync leaves the new file in place, not yet durable.
SysStatus WriteFileAtomically(const std::string& path, const std::string& data);

}  // namespace platform
