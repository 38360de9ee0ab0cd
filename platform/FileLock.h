#pragma once
// An advisory lock on a lock file (flock). The kernel drops it when the
// process ends in any way, a kill included, so a crashed holder never leaves
// it behind.
#include <string>

namespace platform {

class FileLock {
public:
    explicit FileLock(std::string path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes (or converts to) an exclusive or shared lock. With wait false it
    // answers at once. False when the lock is held elsewhere or the lock file
    // cannot be opened.
    bool Lock(bool exclusive, bool wait);
    void Unlock();
    bool Held() const { return held_; }
    const std::string& Path() const { return path_; }

private:
    bool Open();

    std::string path_;
    int fd_ = -1;
    bool held_ = false;
};

// Holds an exclusive lock for one scope (waiting for it); proceeds unlocked
// when the lock file cannot be opened.
class ScopedFileLock {
public:
    explicit ScopedFileLock(FileLock& lock) : lock_(lock) { lock_.Lock(true, true); }
    ~ScopedFileLock() { lock_.Unlock(); }
    ScopedFileLock(const ScopedFileLock&) = delete;
    ScopedFileLock& operator=(const ScopedFileLock&) = delete;

private:
    FileLock& lock_;
};

}  // namespace platform
