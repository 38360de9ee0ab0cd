// A test program that prepares the installer's crash filter, run log,
// single-instance lock and service value exactly as start-up does, and then
// crashes in the way its first argument names:
//
//   zembra_crash_probe <null|abort|overflow> <Downloader_config> [relaunch program]
//
// Its crash filter relaunches the given program (the real installer in the
// tests) instead of itself, since the probe is not the installer.
#include <cstdlib>
#include <string>
#include <mutex>

#include <easylogging++.h>

#include "CThread.h"
#include "Common/CrashHandler.h"
#include "Common/EmbeddedLabels.h"
#include "Common/wWndMain.h"
#include "SingleUserLog.h"
#include "platform/EmbeddedResources.h"
#include "platform/SingleInstance.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace {

extern "C" __attribute__((noinline, no_sanitize("undefined"))) void CrashProbeNullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

extern "C" __attribute__((noinline)) void CrashProbeAbort() { std::abort(); }

volatile long g_recursionLimit = 1L << 40;

extern "C" __attribute__((noinline)) long CrashProbeRecurse(long depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth > g_recursionLimit) return depth;
    return CrashProbeRecurse(depth + 1) + frame[0];
}

class OverflowingWorker : public CThread {
public:
    using CThread::CThread;
    int taskBusiness() override { return static_cast<int>(CrashProbeRecurse(0)); }
};

// The run name comes from the embedded configuration, as in start-up, so
// the probe's log lands in the folder the relaunched installer packs.
startup::StartupLabels EmbeddedStartupLabels() {
    const auto archive = platform::EmbeddedSkinArchive();
    ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size());
    return startup::StartupLabelsFrom(ReadEmbeddedConfigureLabels());
}

}  // namespace

int main(int argc, char** argv) {
    InstallUnhandledExceptionHandler();
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    const startup::StartupLabels labels = EmbeddedStartupLabels();
    CSingleUserLog& logger = CSingleUserLog::GetInstance();
    logger.InitLogPaths(startup::RunNameOf(labels.startupDownloadUrl));
    startup::ConfigureRunLog(logger.GetLogFilePath());
    RefreshCrashHandlerPaths();
    startup::g_downloaderId = labels.downloaderId;
    startup::SingleInstanceLock().Acquire("TVS_Downloader_" + std::to_string(labels.downloaderId));
    logger.downloaderConfig = std::atoi(argv[2]);
    if (argc > 3) SetCrashRelaunchExecutable(argv[3]);
    LOG(INFO) << " Crash probe ready: " << mode;

    if (mode == "null") CrashProbeNullWrite();
    if (mode == "abort") CrashProbeAbort();
    if (mode == "overflow") {
        // On one of the download pool's threads, which prepare their own
        // signal stack without being told.
        std::mutex writeMutex;
        OverflowingWorker worker(writeMutex);
        worker.init();
        worker.doTask(nullptr);
        worker.waitForExit(60'000);
    }
    return 3;
}
