#pragma once
// The worker that downloads range tasks into the shared package file, with
// one transfer tool (one libcurl handle) for all the ranges it serves.
#include <atomic>
#include <functional>
#include <mutex>

#include "CLibcurlTool.h"
#include "CThread.h"
#include "IRangeDownloadThread.h"

class CDownloadThread : public CThread, public IRangeDownloadThread {
public:
    // What the pool shares with its threads.
    struct Shared {
        std::atomic<bool> cancelled{false};      // the download is being stopped
        std::atomic<long> taskTimeLimitMs{20000};
    };

    CDownloadThread(std::mutex& writeMutex, int packageFile, const Shared& shared,
                    std::function<void()> onIdle = {});

    // One attempt at the current task, carried on into the free ranges
    // that follow it while the reply lasts.
    int taskBusiness() override;

    // IRangeDownloadThread
    CTask* CurrentTask() override { return currentTask(); }
    std::mutex& WriteMutex() override { return writeMutex_; }
    int PackageFile() override { return packageFile_; }
    CTask* ContinueWith(CTask& filled) override;
    bool TransferCancelled() override { return shared_.cancelled; }
    long TaskTimeLimitMs() override { return shared_.taskTimeLimitMs; }

    // The last byte to ask for when starting at task: the end of the run
    // of untouched, unclaimed ranges that follow it.
    static std::int64_t RequestEnd(const CTask& task);

private:
    int packageFile_;
    const Shared& shared_;
    CLibcurlTool curl_;
};
