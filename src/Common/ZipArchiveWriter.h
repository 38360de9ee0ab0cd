#pragma once
// Writes a standard ZIP archive (deflate) from files on disk.
#include <string>

typedef struct zip zip_t;

class CZipArchiveWriter {
public:
    CZipArchiveWriter() = default;
    // An archive still open is discarded: nothing half-written stays behind.
    ~CZipArchiveWriter();
    CZipArchiveWriter(const CZipArchiveWriter&) = delete;
    CZipArchiveWriter& operator=(const CZipArchiveWriter&) = delete;

    // Creates (or replaces) the archive at path. False when it cannot.
    bool Create(const std::string& path);
    // Adds the file at filePath under entryName, compressed with deflate.
    // The file is read when the archive is closed. False when it is missing.
    bool AddFile(const std::string& entryName, const std::string& filePath);
    // Writes the archive out. An archive without entries leaves no file.
    bool Close();
    int EntryCount() const { return entries_; }

private:
    void Discard();

    zip_t* archive_ = nullptr;
    std::string path_;
    bool createdFile_ = false;
    int entries_ = 0;
};
