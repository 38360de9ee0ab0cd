#pragma once
// A file opened once so that every later check and the start of the
// program read the very bytes that were opened: replacing or renaming the
// file by its path afterwards changes nothing for us.
#include <string>

namespace platform {

class PinnedFile {
public:
    PinnedFile() = default;
    ~PinnedFile();
    PinnedFile(const PinnedFile&) = delete;
    PinnedFile& operator=(const PinnedFile&) = delete;

    // Opens path for reading, never through a symbolic link, and accepts
    // only a regular file of this user that nobody else may write. Returns
    // the problem, "" when the file is pinned.
    std::string Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // A path that names the pinned file itself (/proc/self/fd/N), for code
    // that opens files by name.
    std::string ContentPath() const;
    // Adds execute permission for the owner (and for group and others where
    // they may read); true when the file is executable afterwards.
    bool MarkExecutable() const;

private:
    int fd_ = -1;
};

}  // namespace platform
