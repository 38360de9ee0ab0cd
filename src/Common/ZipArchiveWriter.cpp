#include "Common/ZipArchiveWriter.h"

#include <sys/stat.h>
#include <zip.h>

CZipArchiveWriter::~CZipArchiveWriter() {
    if (archive_ != nullptr) zip_discard(archive_);
}

bool CZipArchiveWriter::Create(const std::string& path) {
    if (archive_ != nullptr) return false;
    int error = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    entries_ = 0;
    return archive_ != nullptr;
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
        zip_discard(archive_);
        archive_ = nullptr;
        return false;
    }
    archive_ = nullptr;
    return true;
}
