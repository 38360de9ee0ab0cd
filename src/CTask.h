#pragma once
// One byte range of a package download. The driver thread reads the status,
// the id, the download position and the failure count while a download
// thread changes them, so those are atomic.
#include <atomic>
#include <cstdint>
#include <string>

enum TaskStatus : int {
    TaskNew = 0,      // never handed out
    TaskDone = 1,     // range complete
    TaskFailed = 2,   // the last attempt failed
    TaskRunning = 3,  // handed to a thread
};

class CTask {
public:
    std::atomic<int> Status{TaskNew};
    std::atomic<int> TaskId{0};       // 1-based number of the range within the package
    int Verbose = 0;                  // non-zero: the task's steps are logged
    std::string RemotePath;           // URL the range is fetched from
    std::string LocalPath;            // package file the range is written into
    std::string CdnProbe;             // CDN information found by the length probe
    std::string CdnTrace;             // CDN information gathered from range-response headers
    std::int64_t StartPos = 0;        // first byte of the range
    // End of the range: its last byte, except for a package's last range,
    // where it equals ContentLength (one past the last byte).
    std::int64_t EndPos = 0;
    // Next byte to write; the range is complete when it equals EndPos.
    std::atomic<std::int64_t> DownloadedPos{0};
    std::int64_t ContentLength = 0;   // length of the whole package, 0 when unknown
    std::atomic<int> RequestTimes{0};  // failed attempts of this task in this run

    // Bookkeeping of one run, never saved.
    // Set once a download thread owns the range: the driver handing it out
    // and a thread carrying its transfer on into it both claim it first, so
    // no two connections ever write the same range.
    std::atomic<bool> Claimed{false};
    // The range that follows this one in the package, or null.
    CTask* Next = nullptr;
    // Driver clock (ms) before which a failed range is not handed out again.
    std::int64_t RetryAt = 0;
};
