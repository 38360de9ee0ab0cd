#pragma once
// One byte range of a package download. The driver thread reads the status,
// the id and the download position while a download thread changes them,
// so those three are atomic.
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
    int RequestTimes = 0;             // failed attempts of this task in this run
};
