#include "Common/ZipArchiveWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include "platform/DesktopUserFiles.h"

CZipArchiveWriter::~CZipArchiveWriter() { Discard(); }

bool CZipArchiveWriter::Create(const std::string& path) {
    if (archive_ != nullptr) return false;
    // libzip writes only when the archive is closed; creating the file now
    // tells at once whether the archive can be made at all.
    struct stat info {};
    const bool existed = stat(path.c_str(), &info) == 0;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    int error = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive_ == nullptr) {
        if (!existed) unlink(path.c_str());
        return false;
    }
    path_ = path;
    createdFile_ = !existed;
    entries_ = 0;
    return true;
}

void CZipArchiveWriter::Discard() {
    if (archive_ == nullptr) return;
    zip_discard(archive_);
    archive_ = nullptr;
    if (createdFile_) unlink(path_.c_str());
}

bool CZipArchiveWriter::AddFile(const std::string& entryName, const std::string& filePath) {
    if (archive_ == nullptr) return false;
    // libzip reads sources only when the archive is closed; a missing file
    // would then spoil the whole archive, so it is refused here.
    struct stat info {};
    if (stat(filePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    zip_source_t* source = zip_source_file(archive_, filePath.c_str(), 0, -1);
    if (source == nullptr) return false;
    const zip_int64_t index = zip_file_add(archive_, entryName.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
    ++entries_;
    return true;
}

bool CZipArchiveWriter::Close() {
    if (archive_ == nullptr) return false;
    if (zip_close(archive_) != 0) {
        Discard();
        return false;
    }
    archive_ = nullptr;
    platform::HandToDesktopUser(path_);
    return true;
}
