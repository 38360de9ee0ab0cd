#pragma once
// The worker that downloads range tasks into the shared package file, with
// one transfer tool (one libcurl handle) for all the ranges it serves.
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "CLibcurlTool.h"
#include "CThread.h"
#include "IRangeDownloadThread.h"

class CDownloadThread : public CThread, public IRangeDownloadThread {
public:
    // One request asks for at most this much: the current range and the
    // free ranges after it, so that a round trip is paid per window rather
    // than per range, while every reply still ends where it was asked to
    // end and leaves its connection fit for the next request.
    static constexpr std::int64_t kMaxRequestBytes = 32 << 20;

    // What the pool shares with its threads.
    struct Shared {
        std::atomic<bool> cancelled{false};      // the download is being stopped
        std::atomic<long> taskTimeLimitMs{20000};
        std::atomic<std::int64_t> windowBytes{kMaxRequestBytes};  // set by the driver
    };

    CDownloadThread(std::mutex& writeMutex, CPackageWriter& package, const Shared& shared,
                    std::function<void()> onIdle = {});

    // One attempt at the current task, carried on into the free ranges
    // that follow it (claimed for this thread beforehand).
    int taskBusiness() override;

    // IRangeDownloadThread
    CTask* CurrentTask() override { return currentTask(); }
    std::mutex& WriteMutex() override { return writeMutex_; }
    CPackageWriter& Package() override { return package_; }
    CTask* ContinueWith(CTask& filled) override;
    bool TransferCancelled() override { return shared_.cancelled; }
    long TaskTimeLimitMs() override { return shared_.taskTimeLimitMs; }

    // Claims the untouched ranges that follow task, up to windowBytes from
    // its position, and returns them in package order.
    static std::vector<CTask*> ClaimWindow(const CTask& task, std::int64_t windowBytes);

private:
    // Ranges of the window the reply did not reach are free again.
    void releaseUnreached();

    CPackageWriter& package_;
    const Shared& shared_;
    CLibcurlTool curl_;
    std::vector<CTask*> window_;  // claimed ranges after the current one, in order
};
