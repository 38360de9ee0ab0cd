#pragma once
// Keeps the disk busy with a package while it is downloaded: bytes written
// through the page cache are handed to the disk, in the background, as soon
// as a few megabytes of them have gathered, rather than when the kernel's
// own write-back gets round to them or when a task-file save has to wait for
// all of them. A save then finds nearly everything it claims on the disk
// already, and the end of a download waits only for its last megabytes.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

class CPackageWriteOut {
public:
    // The package is written out each time this much has gathered.
    static constexpr std::int64_t kGatherBytes = 2 << 20;

    // Writes out descriptor (not owned; open until this object goes).
    explicit CPackageWriteOut(int descriptor);
    ~CPackageWriteOut();
    CPackageWriteOut(const CPackageWriteOut&) = delete;
    CPackageWriteOut& operator=(const CPackageWriteOut&) = delete;

    // Bytes just written through the page cache.
    void Written(std::size_t bytes);
    // How many times the package was handed to the disk so far.
    int writeOuts() const;
    // The same for every package of the process.
    static std::int64_t TotalWriteOuts();

private:
    void Run();

    int descriptor_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::int64_t gathered_ = 0;
    int writeOuts_ = 0;
    bool stopping_ = false;
    bool failureLogged_ = false;
    std::thread worker_;
};
