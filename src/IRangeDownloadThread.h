#pragma once
// What a range download needs from the download thread that runs it: the
// thread's current range task, the write mutex shared by every thread that
// writes the same package, and the package file opened once for all of them.
// The download thread of the download engine implements it.
#include <mutex>

class CPackageWriter;
class CTask;

class IRangeDownloadThread {
public:
    virtual ~IRangeDownloadThread() = default;
    // The task being downloaded; its DownloadedPos and CdnTrace are updated.
    virtual CTask* CurrentTask() = 0;
    // Held around every positioned write into the package file.
    virtual std::mutex& WriteMutex() = 0;
    // The shared package file, open for writing.
    virtual CPackageWriter& Package() = 0;

    // A request may ask for more than the current task when the ranges after
    // it are free: once the current task is full and the reply goes on, the
    // thread is asked for the task the following bytes belong to. It returns
    // that task, now current, or null to end the transfer at this boundary.
    // Called with the write mutex held.
    virtual CTask* ContinueWith(CTask& /*filled*/) { return nullptr; }
    // True when the transfer should end now (the download is being stopped).
    virtual bool TransferCancelled() { return false; }
    // How long one task may take before its transfer counts as timed out.
    virtual long TaskTimeLimitMs() { return 20000; }
};
