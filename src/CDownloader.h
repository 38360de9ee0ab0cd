#pragma once
// One download of one address into one local file: a driver thread hands the
// range tasks to the download threads, keeps the progress figures, saves the
// task file as the ranges complete and stops when they are all done or its
// owner tells it to.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CDownloadTaskManager.h"
#include "CDownloadThreadManager.h"
#include "DownloadProgress.h"
#include "EnumErrorCode.h"

enum DownloaderState : int {
    DownloaderStop = 0,
    DownloaderRun = 1,
    DownloaderIdle = 2,
};

class CDownloader {
public:
    // A range that failed this often in one run is left for the next run.
    static constexpr int kMaxFailuresPerRun = 4;
    // A failed range waits this long times its failures before it is tried again.
    static constexpr int kRetryPauseMs = 500;

    CDownloader(std::string remoteUrl, std::string localPath, std::string taskFilePath, int threadCount);
    ~CDownloader();
    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;

    EnumErrorCode downloadInit(bool unused, const std::string& tag, int verbose);
    void setState(int state);
    int state() const { return state_; }
    // Waits up to timeoutMs for the driver thread to end; true when it has.
    bool waitForDriver(int timeoutMs);
    // Waits up to timeoutMs for the state to leave DownloaderRun.
    void waitWhileRunning(int timeoutMs);
    // After the driver thread has ended: drops the tasks, the package file
    // and the threads.
    void close();

    // Recomputes the progress figures (driver thread).
    void updateProgress();
    // The CDN report of the handed-out tasks; taken when the driver stops
    // (before that, only the driver's own thread may ask).
    std::string getCdnReport();
    DownloadProgress progress() const;
    bool started() const { return started_; }
    // True when every range of the package is complete.
    bool allTasksDone() const { return allDone_; }
    // True when the driver stopped by itself because every range still
    // missing had failed kMaxFailuresPerRun times in this run.
    bool retriesExhausted() const { return retriesExhausted_; }
    std::int64_t contentLength() const { return contentLength_; }
    int tasksCount() const { return tasksCount_; }
    // How long one range may take before its transfer fails.
    void setTaskTimeLimit(long milliseconds) { threadPool_.setTaskTimeLimit(milliseconds); }

    // "0.00B", "512B", "1.5K", "3.5M", "2G": a byte count in its largest unit.
    static std::string SizeText(std::int64_t bytes);
    // How much one request may ask for: a share of what is still free, so
    // that near the end every connection finishes at about the same time.
    static std::int64_t WindowFor(std::int64_t freeBytes, int threads);
    // "T(probe);C(trace;trace;)" of the handed-out tasks, "" without a trace.
    static std::string CdnReportOf(const std::vector<CTask*>& handedOut);

private:
    void downloaderThread();
    // Ends the driver thread where it stands (a stop in progress finishes first).
    void endDriver();
    void runPass(double& savesDone);
    void stopPass();
    void settleFinishedTasks();
    bool nothingLeftToTry();
    int doneTasks() const;
    std::int64_t freeBytes() const;
    void saveTaskFile();

    std::string remoteUrl_;
    std::string localPath_;
    std::string taskFilePath_;
    int threadCount_;
    std::atomic<int> state_{DownloaderIdle};
    std::atomic<bool> started_{false};
    std::atomic<bool> allDone_{false};
    std::atomic<bool> retriesExhausted_{false};
    std::atomic<std::int64_t> contentLength_{0};
    std::atomic<int> tasksCount_{0};

    mutable std::mutex progressLock_;
    DownloadProgress progress_;
    std::string cdnReport_;
    int doneAtLastSave_ = -1;
    std::int64_t lastSaveTick_ = 0;

    std::mutex stateLock_;
    std::condition_variable stateChanged_;
    bool driverEnded_ = false;
    bool quit_ = false;  // the downloader goes away: end the driver at once

    CDownloadTaskManager taskManager_;
    CDownloadThreadManager threadPool_;
    std::thread driver_;
};
