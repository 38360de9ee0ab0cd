#pragma once
// What a range download needs from the download thread that runs it: the
// thread's current range task, the write mutex shared by every thread that
// writes the same package, and the package file opened once for all of them.
// The download thread of the download engine implements it.
#include <mutex>

class CTask;

class IRangeDownloadThread {
public:
    virtual ~IRangeDownloadThread() = default;
    // The task being downloaded; its DownloadedPos and CdnTrace are updated.
    virtual CTask* CurrentTask() = 0;
    // Held around every positioned write into the package file.
    virtual std::mutex& WriteMutex() = 0;
    // File descriptor of the shared package file, open for writing.
    virtual int PackageFile() = 0;
};
