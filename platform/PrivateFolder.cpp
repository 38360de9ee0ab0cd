#include "platform/PrivateFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Folders.h"

namespace platform {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

struct FolderHandle {
    int fd = -1;
    ~FolderHandle() {
        if (fd >= 0) close(fd);
    }
};

// Opens the folder itself, never what a symbolic link in its place points to.
std::string OpenFolder(const std::string& path, FolderHandle& folder, struct stat& info) {
    folder.fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder.fd < 0) {
        const int error = errno;
        struct stat entry {};
        if (lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) return "a symbolic link";
        return error == ENOTDIR ? "not a folder" : std::strerror(error);
    }
    if (fstat(folder.fd, &info) != 0) return std::strerror(errno);
    return "";
}

std::string OwnershipProblem(const struct stat& info) {
    if (info.st_uid != geteuid()) return "owned by uid " + std::to_string(info.st_uid);
    if (info.st_mode & kWritableByOthers) return "writable by group or others";
    return "";
}

// A folder above ours may belong to root or to us; others may write in it
// only when the sticky bit keeps them from renaming our entries.
std::string ParentProblem(const std::string& path) {
    FolderHandle folder;
    struct stat info {};
    if (std::string problem = OpenFolder(path, folder, info); !problem.empty()) return path + " is " + problem;
    if (info.st_uid != geteuid() && info.st_uid != 0) return path + " is owned by uid " + std::to_string(info.st_uid);
    if ((info.st_mode & kWritableByOthers) && !(info.st_mode & S_ISVTX))
        return path + " is writable by group or others";
    return "";
}

std::string MadeTempFolder(const std::string& base) {
    const std::string preferred = base + "/zembra-" + std::to_string(geteuid());
    if (MakePrivateFolder(preferred).empty()) return preferred;
    // Someone else holds the usual name: a fresh name nobody can predict.
    std::vector<char> pattern(preferred.begin(), preferred.end());
    for (char c : std::string("-XXXXXX")) pattern.push_back(c);
    pattern.push_back('\0');
    return mkdtemp(pattern.data()) ? std::string(pattern.data()) : "";
}

}  // namespace

std::string PrivateFolderProblem(const std::string& path) {
    FolderHandle folder;
    struct stat info {};
    if (std::string problem = OpenFolder(path, folder, info); !problem.empty()) return problem;
    if (std::string problem = OwnershipProblem(info); !problem.empty()) return problem;
    if (access(path.c_str(), W_OK | X_OK) != 0) return "not writable";
    return "";
}

std::string MakePrivateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
    FolderHandle folder;
    struct stat info {};
    if (std::string problem = OpenFolder(path, folder, info); !problem.empty()) return problem;
    if (std::string problem = OwnershipProblem(info); !problem.empty()) return problem;
    // An older folder of ours that others could read becomes private.
    if ((info.st_mode & 077) && fchmod(folder.fd, 0700) != 0) return std::strerror(errno);
    return "";
}

std::string MakePrivateFolderChain(const std::string& root, const std::string& relative) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (std::string problem = ParentProblem(path.empty() ? "/" : path); !problem.empty()) return problem;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        if (end > start) {
            path += "/" + relative.substr(start, end - start);
            if (std::string problem = MakePrivateFolder(path); !problem.empty()) return path + " is " + problem;
        }
        start = end + 1;
    }
    return "";
}

std::string PrivateTempFolder() {
    static std::mutex lock;
    static std::map<std::string, std::string> chosen;
    const std::string base = TempDir();
    std::lock_guard guard(lock);
    if (const auto found = chosen.find(base); found != chosen.end()) return found->second;
    std::string folder = MadeTempFolder(base);
    if (folder.empty() && base != "/tmp") folder = MadeTempFolder("/tmp");
    if (!folder.empty()) chosen[base] = folder;
    return folder;
}

FolderChoice ChooseRuntimeFolder() {
    FolderChoice choice;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        choice.problem = PrivateFolderProblem(runtime);
        if (choice.problem.empty()) {
            choice.path = runtime;
            return choice;
        }
        choice.refused = runtime;
    }
    choice.path = PrivateTempFolder();
    return choice;
}

FolderChoice ChooseWorkFolder(const std::string& relative) {
    FolderChoice choice;
    const std::string root = WorkRootDir();
    // A configured root that does not exist yet is made, private to this user.
    if (struct stat info {}; stat(root.c_str(), &info) != 0 && errno == ENOENT && CreateDirectoryTree(root) == 0)
        chmod(root.c_str(), 0700);
    choice.problem = MakePrivateFolderChain(root, relative);
    if (choice.problem.empty()) {
        choice.path = root + relative;
        return choice;
    }
    choice.refused = root + relative;
    const std::string fallback = PrivateTempFolder();
    if (!fallback.empty() && MakePrivateFolderChain(fallback, relative).empty()) choice.path = fallback + "/" + relative;
    return choice;
}

}  // namespace platform
