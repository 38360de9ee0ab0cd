#include "uitoolkit/markup/SkinArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>

#include <easylogging++.h>

#include "uitoolkit/markup/TextEncoding.h"

namespace ZembraUI {
namespace {

constexpr std::size_t kMaxEntryNameLength = 256;

struct ArchiveState {
    std::mutex mutex;
    zip_t* archive = nullptr;
    // "membuffer", a file path, or empty when files come from the folder.
    std::string archiveName;
    std::string resourceFolder;

    ~ArchiveState() { CloseArchive(); }

    void CloseArchive() {
        if (archive != nullptr) zip_discard(archive);
        archive = nullptr;
        archiveName.clear();
    }
};

ArchiveState& State() {
    static ArchiveState state;
    return state;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

class ZipFile {
public:
    explicit ZipFile(zip_file_t* file) : file_(file) {}
    ~ZipFile() {
        if (file_ != nullptr) zip_fclose(file_);
    }
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;
    zip_file_t* get() const { return file_; }

private:
    zip_file_t* file_;
};

std::string WithForwardSlashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

bool EqualIgnoringCase(const char* entry, const std::string& name) {
    std::size_t i = 0;
    for (; entry[i] != '\0' && i < name.size(); ++i) {
        const auto a = static_cast<unsigned char>(entry[i]);
        const auto b = static_cast<unsigned char>(name[i]);
        if (a != b && std::tolower(a) != std::tolower(b)) return false;
    }
    return entry[i] == '\0' && i == name.size();
}

bool Fail(std::vector<unsigned char>& out, std::string& error, const char* reason) {
    out.clear();
    error = reason;
    return false;
}

zip_t* OpenArchiveFile(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        LOG(INFO) << " Skin archive " << path << " cannot be opened: " << zip_error_strerror(&error);
        zip_error_fini(&error);
    }
    return archive;
}

zip_int64_t FindEntry(zip_t* archive, const std::string& name) {
    if (name.empty() || CodePointCount(name) >= kMaxEntryNameLength) return -1;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (entry != nullptr && EqualIgnoringCase(entry, name)) return i;
    }
    return -1;
}

bool ReadEntry(zip_t* archive, zip_int64_t index, std::vector<unsigned char>& out, std::string& error) {
    const auto entry = static_cast<zip_uint64_t>(index);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, entry, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0) {
        return Fail(out, error, "Could not unzip file");
    }
    if (stat.size == 0) return Fail(out, error, "File is empty");
    if (stat.size > CSkinArchive::kMaxFileSize) return Fail(out, error, "File too large");

    ZipFile file(zip_fopen_index(archive, entry, 0));
    if (file.get() == nullptr) return Fail(out, error, "Could not unzip file");
    out.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t read = zip_fread(file.get(), out.data(), stat.size);
    // One more read must report the end: that is where the checksum of the
    // inflated data is compared.
    unsigned char extra = 0;
    if (read != static_cast<zip_int64_t>(stat.size) || zip_fread(file.get(), &extra, 1) != 0) {
        return Fail(out, error, "Could not unzip file");
    }
    return true;
}

bool ReadFromArchive(ArchiveState& state, const std::string& name, std::vector<unsigned char>& out,
                     std::string& error) {
    if (state.archive == nullptr) state.archive = OpenArchiveFile(state.archiveName);
    if (state.archive == nullptr) return Fail(out, error, "Error opening zip file");
    const zip_int64_t index = FindEntry(state.archive, WithForwardSlashes(name));
    if (index < 0) return Fail(out, error, "Could not find ziped file");
    return ReadEntry(state.archive, index, out, error);
}

}  // namespace

bool CSkinArchive::OpenFromMemory(const void* data, std::size_t size) {
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.archive != nullptr && state.archiveName == kMemoryArchiveName) return true;
    state.CloseArchive();
    // Even an archive without entries has its 22-byte directory end; libzip
    // would take no bytes for a new, empty archive.
    if (data == nullptr || size == 0) {
        LOG(INFO) << " Skin archive in memory is empty";
        return false;
    }

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
    zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (archive == nullptr) {
        if (source != nullptr) zip_source_free(source);
        LOG(INFO) << " Skin archive in memory cannot be opened: " << zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    state.archive = archive;
    state.archiveName = kMemoryArchiveName;
    return true;
}

bool CSkinArchive::OpenFromFile(const std::string& path) {
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    state.CloseArchive();
    state.archiveName = path;
    state.archive = path.empty() ? nullptr : OpenArchiveFile(path);
    if (path.empty()) state.archiveName.clear();
    return state.archive != nullptr;
}

void CSkinArchive::Close() {
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    state.CloseArchive();
}

bool CSkinArchive::IsOpen() {
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    return state.archive != nullptr;
}

void CSkinArchive::SetResourceFolder(const std::string& folder) {
    std::string normalized = WithForwardSlashes(folder);
    if (!normalized.empty() && normalized.back() != '/') normalized += '/';
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    state.resourceFolder = std::move(normalized);
}

std::string CSkinArchive::GetResourceFolder() {
    ArchiveState& state = State();
    std::lock_guard lock(state.mutex);
    return state.resourceFolder;
}

bool CSkinArchive::ReadFile(const std::string& name, std::vector<unsigned char>& out, std::string& error) {
    ArchiveState& state = State();
    std::unique_lock lock(state.mutex);
    if (!state.archiveName.empty()) return ReadFromArchive(state, name, out, error);
    const std::string path = state.resourceFolder + WithForwardSlashes(name);
    lock.unlock();
    return ReadDiskFile(path, out, error);
}

bool CSkinArchive::ReadDiskFile(const std::string& path, std::vector<unsigned char>& out, std::string& error,
                                std::size_t maxSize) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Fail(out, error, "Error opening file");
    }
    if (info.st_size == 0) return Fail(out, error, "File is empty");
    if (static_cast<std::uint64_t>(info.st_size) > maxSize) return Fail(out, error, "File too large");

    out.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(out, error, "Could not read file");
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace ZembraUI
