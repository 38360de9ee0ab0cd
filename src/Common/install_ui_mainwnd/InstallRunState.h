#pragma once
// The window state one installation run shares between the UI thread and
// the install worker: flags and ticks with a single writer each, read by
// the progress timers, and the event that says the progress display is done.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "Common/install_ui_mainwnd/ManualResetEvent.h"

class InstallRunState {
public:
    // Set by the worker at its start; the prefetch thread stops parsing then.
    std::atomic<bool> workerStarted{false};
    // The user restarted the flow after a failure: analytics say "Retry".
    std::atomic<bool> retried{false};
    // The package length, stored by the first download-progress call.
    std::atomic<std::int64_t> packageSize{0};
    // Millisecond ticks of the steady clock the window and worker share.
    std::atomic<std::int64_t> installClickTick{0};
    std::atomic<std::int64_t> md5StartTick{0};
    std::atomic<std::int64_t> setupStartTick{0};
    std::atomic<std::int64_t> downloadEndTick{0};
    // 0 while the package is being verified, 1 once that is over.
    std::atomic<int> verificationDone{0};
    // False while the setup runs, true once it ended or timed out.
    std::atomic<bool> setupFinished{false};
    // The filesystem (st_dev) of the install folder the checks made; 0 when
    // no checks ran (a headless run), where the setup makes the folder.
    std::atomic<std::uint64_t> installFolderDevice{0};
    // Signalled by the worker or the progress timers once the bar has
    // reached its end; the worker waits for it before reporting success.
    ManualResetEvent progressFinished{"ProgressFinish100"};

    void SetUsedDownloadAddress(const std::string& address) {
        std::lock_guard guard(addressLock_);
        usedDownloadAddress_ = address;
    }
    std::string UsedDownloadAddress() const {
        std::lock_guard guard(addressLock_);
        return usedDownloadAddress_;
    }

    const char* RunLabel() const { return retried ? "Retry" : "First"; }

private:
    mutable std::mutex addressLock_;
    std::string usedDownloadAddress_;
};
