#pragma once
// What the rest of the installer calls to download a file and to check a
// downloaded package.
#include <cstdint>
#include <functional>
#include <string>

class IDownloadProgressTarget;

class CDownLoadImpl {
public:
    // The waits and sizes the download relies on. Tests change them.
    struct Settings {
        int stallMs = 60000;            // no new byte for this long ends the download
        int driverWaitMs = 180000;      // longest wait for the driver to stop
        int pollMs = 25;                // pace of the watch and of its progress reports
        int networkCheckMs = 100;       // pace of the network check during a download
        int networkLossPauseMs = 1100;  // pause before reporting a lost network
        long taskTimeLimitMs = 20000;   // one range's transfer
        int threadCount = -1;           // < 0: ThreadCountFor(processors)
    };
    static Settings& settings();
    // The network check before and during a download; empty restores the system's.
    static void SetNetworkCheck(std::function<bool()> check);
    // Ends every running download at its next progress check (its finished
    // ranges saved) and refuses new ones: the program is closing.
    static void RequestStop();
    // A new wizard window takes downloads again (a process runs one window,
    // but a window made after another must not inherit its close).
    static void AllowDownloads();
    // The window that hears the main download's progress; null until the
    // install flow publishes it.
    static void SetProgressTarget(IDownloadProgressTarget* target);
    static IDownloadProgressTarget* ProgressTarget();

    // Downloads url into localPath in ranges that survive an interruption.
    // Returns an EnumErrorCode value; cdnReport receives the downloader's
    // CDN report. main marks the product package: per-range logging, the
    // progress hook and the minimum size.
    static int SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                                 bool main);
    // 1 when the MD5 of the file equals md5 or md5Extra (exactly), else 0.
    // Leaves path + ".db" holding tag, "###" and the digest. The digest is
    // read from contentPath when given (a descriptor path of the file already
    // opened and pinned), so the bytes checked are the bytes later run.
    static int checkMD5(const std::string& path, const std::string& md5, const std::string& md5Extra,
                        const std::string& tag, const std::string& contentPath = {});

    // max(4, processors × 8 ÷ 5)
    static int ThreadCountFor(unsigned processors);
    // The MD5 of a file as 32 lower-case hex digits (empty input when unreadable).
    static std::string FileMd5(const std::string& path);
};
