#include "unit/uitoolkit/ZipBuilder.h"

#include <zip.h>

#include <stdexcept>

namespace testsupport {

std::vector<unsigned char> BuildZip(const std::vector<ZipEntry>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (target == nullptr) throw std::runtime_error("zip_source_buffer_create failed");
    zip_source_keep(target);  // read back after zip_close
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (archive == nullptr) throw std::runtime_error("zip_open_from_source failed");
    for (const ZipEntry& entry : entries) {
        zip_source_t* data = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) throw std::runtime_error("zip_file_add failed: " + entry.name);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");

    std::vector<unsigned char> bytes;
    zip_stat_t stat;
    if (zip_source_stat(target, &stat) != 0 || zip_source_open(target) != 0) {
        throw std::runtime_error("reading the built archive failed");
    }
    bytes.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t read = zip_source_read(target, bytes.data(), stat.size);
    zip_source_close(target);
    zip_source_free(target);
    if (read != static_cast<zip_int64_t>(stat.size)) throw std::runtime_error("short read of the built archive");
    return bytes;
}

}  // namespace testsupport
