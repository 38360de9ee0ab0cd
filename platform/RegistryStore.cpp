#include "platform/RegistryStore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

#include <json/json.h>

#include "platform/AsciiText.h"
#include "platform/DesktopUserFiles.h"
#include "platform/Folders.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The store file is replaced by rename on every write, so the lock lives in
// a file of its own beside it.
class StoreLock {
public:
    StoreLock(const std::string& storePath, int operation) {
        if (operation == LOCK_EX) CreateDirectoryTree(FolderOf(storePath));
        fd_ = open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ >= 0) HandToDesktopUser(storePath + ".lock");
        if (fd_ >= 0 && flock(fd_, operation) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) close(fd_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int fd_ = -1;
};

Json::Value LoadStore(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Json::Value root(Json::objectValue);
    if (!in) return root;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &root, &errors) || !root.isObject()) return Json::Value(Json::objectValue);
    return root;
}

bool SaveStore(const std::string& path, const Json::Value& root) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    return WriteFileAtomically(path, Json::writeString(builder, root) + "\n").ok();
}

// Names compare case-insensitively; the spelling first written is kept.
std::string FindMember(const Json::Value& object, const std::string& name) {
    if (!object.isObject()) return "";
    const std::string wanted = AsciiLower(name);
    for (const std::string& member : object.getMemberNames()) {
        if (AsciiLower(member) == wanted) return member;
    }
    return "";
}

}  // namespace

std::string RegistryStore::FileOf(RegistryHive hive) {
    if (const char* dir = std::getenv("ZEMBRA_REGISTRY_DIR"); dir && *dir)
        return std::string(dir) + (hive == RegistryHive::LocalMachine ? "/hklm.json" : "/hkcu.json");
    return hive == RegistryHive::LocalMachine ? "/var/lib/zembra/registry.json"
                                              : ConfigHomeDir() + "/zembra/registry.json";
}

bool RegistryStore::CanOpenForAllAccess(RegistryHive hive) {
    const std::string path = FileOf(hive);
    if (access(path.c_str(), F_OK) == 0)
        return access(path.c_str(), W_OK) == 0 && access(FolderOf(path).c_str(), W_OK) == 0;
    // No store yet: it can be created when the nearest existing folder is writable.
    std::string folder = FolderOf(path);
    while (access(folder.c_str(), F_OK) != 0 && folder != "/") folder = FolderOf(folder);
    return access(folder.c_str(), W_OK) == 0;
}

std::optional<std::string> RegistryStore::ReadString(RegistryHive hive, const std::string& key,
                                                     const std::string& valueName) {
    const std::string path = FileOf(hive);
    StoreLock lock(path, LOCK_SH);
    const Json::Value root = LoadStore(path);
    const std::string keyName = FindMember(root, key);
    if (keyName.empty()) return std::nullopt;
    const std::string member = FindMember(root[keyName], valueName);
    if (member.empty() || !root[keyName][member].isString()) return std::nullopt;
    return root[keyName][member].asString();
}

bool RegistryStore::WriteString(RegistryHive hive, const std::string& key, const std::string& valueName,
                                const std::string& value) {
    if (!CanOpenForAllAccess(hive)) return false;
    const std::string path = FileOf(hive);
    StoreLock lock(path, LOCK_EX);
    Json::Value root = LoadStore(path);
    std::string keyName = FindMember(root, key);
    if (keyName.empty()) {
        keyName = key;
        root[keyName] = Json::Value(Json::objectValue);
    }
    std::string member = FindMember(root[keyName], valueName);
    if (member.empty()) member = valueName;
    root[keyName][member] = value;
    return SaveStore(path, root);
}

bool RegistryStore::DeleteValue(RegistryHive hive, const std::string& key, const std::string& valueName) {
    if (!CanOpenForAllAccess(hive)) return false;
    const std::string path = FileOf(hive);
    StoreLock lock(path, LOCK_EX);
    Json::Value root = LoadStore(path);
    const std::string keyName = FindMember(root, key);
    if (keyName.empty()) return false;
    const std::string member = FindMember(root[keyName], valueName);
    if (member.empty()) return false;
    root[keyName].removeMember(member);
    return SaveStore(path, root);
}

bool RegistryStore::KeyExists(RegistryHive hive, const std::string& key) {
    const std::string path = FileOf(hive);
    StoreLock lock(path, LOCK_SH);
    return !FindMember(LoadStore(path), key).empty();
}

}  // namespace platform
