#include "CDownloader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sstream>

#include <easylogging++.h>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "SteadyTicks.h"
#include "platform/AlternateSignalStack.h"

namespace {

// How long the driver waits for a thread to finish before its next pass.
constexpr int kPassWaitMs = 10;
// Shortest time between two saves for finished ranges.
constexpr std::int64_t kSaveGapMs = 250;

}  // namespace

CDownloader::CDownloader(std::string remoteUrl, std::string localPath, std::string taskFilePath, int threadCount)
    : remoteUrl_(std::move(remoteUrl)),
      localPath_(std::move(localPath)),
      taskFilePath_(std::move(taskFilePath)),
      threadCount_(threadCount),
      taskManager_(remoteUrl_, localPath_, taskFilePath_),
      threadPool_(localPath_) {
    progress_.lastTick = SteadyTickMs();
    driver_ = std::thread(&CDownloader::downloaderThread, this);
}

CDownloader::~CDownloader() { endDriver(); }

void CDownloader::endDriver() {
    if (!driver_.joinable()) return;
    {
        std::lock_guard guard(stateLock_);
        quit_ = true;
    }
    stateChanged_.notify_all();
    threadPool_.cancelTransfers();
    threadPool_.notifyFinishedTask();
    driver_.join();
}

EnumErrorCode CDownloader::downloadInit(bool, const std::string& tag, int verbose) {
    const EnumErrorCode loaded = taskManager_.loadDownloadTask(false, tag, verbose);
    contentLength_ = taskManager_.ContentLength;
    tasksCount_ = static_cast<int>(taskManager_.allTasks().size());
    if (loaded != EnumErrorCode::Success) {
        LOG(INFO) << " [Error]: " << "error to loadDownloadTask";
        return loaded;
    }
    const int threads = threadPool_.createThreads(threadCount_);
    if (threads == -1) return EnumErrorCode::OpenLocalFileFailed;
    if (threads == 0) {
        LOG(INFO) << " [Error]: " << " createThreads is empty";
        return EnumErrorCode::NoDownloadThread;
    }
    taskManager_.setPackageFile(threadPool_.packageFile());
    if (!threadPool_.reservePackage(taskManager_.ContentLength)) {
        LOG(INFO) << " package space not reserved, errno " << errno;
    }
    started_ = false;
    return EnumErrorCode::Success;
}

void CDownloader::setState(int state) {
    {
        std::lock_guard guard(stateLock_);
        state_ = state;
    }
    stateChanged_.notify_all();
    threadPool_.notifyFinishedTask();
}

bool CDownloader::waitForDriver(int timeoutMs) {
    std::unique_lock guard(stateLock_);
    return stateChanged_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return driverEnded_; });
}

void CDownloader::waitWhileRunning(int timeoutMs) {
    std::unique_lock guard(stateLock_);
    stateChanged_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return state_ != DownloaderRun || driverEnded_; });
}

void CDownloader::close() {
    // Nothing may be released while the driver still uses it.
    endDriver();
    threadPool_.releaseThreads();
    taskManager_.setPackageFile(-1);
    taskManager_.clearTasks();
    threadPool_.closePackage();
    state_ = DownloaderIdle;
    std::lock_guard guard(progressLock_);
    progress_.lastTick = SteadyTickMs();
}

// --- driver ------------------------------------------------------------------

void CDownloader::downloaderThread() {
    platform::InstallThreadSignalStack();
    double savesDone = 0;
    for (;;) {
        {
            std::unique_lock guard(stateLock_);
            stateChanged_.wait(guard, [&] { return quit_ || state_ != DownloaderIdle; });
            if (quit_) break;
        }
        const int state = state_;
        if (state == DownloaderRun) {
            runPass(savesDone);
        } else if (state == DownloaderStop) {
            stopPass();
            break;
        }
    }
    {
        std::lock_guard guard(stateLock_);
        driverEnded_ = true;
    }
    stateChanged_.notify_all();
}

void CDownloader::runPass(double& savesDone) {
    const double percent = progress().percent;
    if (savesDone < percent / 10) {
        savesDone += 1;
        saveTaskFile();
    } else if (doneTasks() != doneAtLastSave_ && SteadyTickMs() - lastSaveTick_ >= kSaveGapMs &&
               !taskManager_.taskFileSavePending()) {
        // Finished ranges are claimed as soon as the last save is on disk,
        // at most a few times a second.
        saveTaskFile();
    }
    if (nothingLeftToTry()) {
        // The figures take in the last ranges before the download is seen to end.
        updateProgress();
        setState(DownloaderStop);
        LOG(INFO) << " Download will stop";
        return;
    }
    started_ = true;
    settleFinishedTasks();
    updateProgress();
    if (threadPool_.hasFreeThread()) threadPool_.setWindowBytes(WindowFor(freeBytes(), threadCount_));
    while (threadPool_.hasFreeThread()) {
        CTask* task = taskManager_.takeTodoTask();
        if (task == nullptr) break;
        threadPool_.giveTaskToAThreadTodo(task);
    }
    threadPool_.waitForFinishedTask(kPassWaitMs);
}

void CDownloader::stopPass() {
    threadPool_.cancelTransfers();
    while (!threadPool_.busyEmpty()) {
        threadPool_.recycleThreads();
        updateProgress();
        if (!threadPool_.busyEmpty()) threadPool_.waitForFinishedTask(kPassWaitMs);
    }
    taskManager_.todoCount();  // ranges carried on into belong to the handed-out list
    if (doneTasks() != static_cast<int>(taskManager_.allTasks().size())) {
        LOG(INFO) << " Stopping Download," << "Mission Failed";
        saveTaskFile();
    }
    threadPool_.stopThreads();
    updateProgress();
    LOG(INFO) << " Stopping Download," << "Update DownloadInfo";
    saveTaskFile();
    // The last save reaches the disk before anyone is told the download
    // ended: the process may exit right after.
    taskManager_.flushTaskFile();
    {
        std::lock_guard guard(progressLock_);
        cdnReport_ = CdnReportOf(taskManager_.handedOutTasks());
    }
    LOG(INFO) << " Download Stopped！";
}

void CDownloader::settleFinishedTasks() {
    const std::int64_t now = SteadyTickMs();
    for (CTask* task : threadPool_.recycleThreads()) {
        if (task->Status != TaskFailed || task->RequestTimes >= kMaxFailuresPerRun) continue;
        // A range that is complete after all (surplus bytes) is settled at once.
        const bool complete = task->DownloadedPos == task->EndPos;
        taskManager_.retryTask(task, complete ? now : now + kRetryPauseMs * task->RequestTimes);
    }
}

bool CDownloader::nothingLeftToTry() {
    if (taskManager_.todoCount() != 0 || !threadPool_.busyEmpty()) return false;
    bool retriesExhausted = false;
    for (const CTask* task : taskManager_.handedOutTasks()) {
        if (task->Status == TaskDone) continue;
        if (task->Status != TaskFailed || task->RequestTimes < kMaxFailuresPerRun) return false;
        retriesExhausted = true;
    }
    retriesExhausted_ = retriesExhausted;
    return true;
}

std::int64_t CDownloader::WindowFor(std::int64_t freeBytes, int threads) {
    return std::clamp<std::int64_t>(freeBytes / std::max(1, threads), 0, CDownloadThread::kMaxRequestBytes);
}

std::int64_t CDownloader::freeBytes() const {
    std::int64_t free = 0;
    for (const CTask* task : taskManager_.allTasks()) {
        if (!task->Claimed && task->Status != TaskDone) free += RangeWriteEnd(*task) - task->DownloadedPos;
    }
    return free;
}

int CDownloader::doneTasks() const {
    int done = 0;
    for (const CTask* task : taskManager_.allTasks()) done += task->Status == TaskDone ? 1 : 0;
    return done;
}

void CDownloader::saveTaskFile() {
    lastSaveTick_ = SteadyTickMs();
    doneAtLastSave_ = doneTasks();
    taskManager_.saveTaskFile();
}

// --- figures -----------------------------------------------------------------

void CDownloader::updateProgress() {
    const std::int64_t now = SteadyTickMs();
    std::int64_t downloaded = 0;
    int requestTimes = 0;
    bool allDone = true;
    for (const CTask* task : taskManager_.allTasks()) {
        downloaded += task->DownloadedPos - task->StartPos + 1;
        requestTimes += task->RequestTimes;
        allDone = allDone && task->Status == TaskDone;
    }
    allDone_ = allDone;

    std::lock_guard guard(progressLock_);
    DownloadProgress next = progress_;
    next.downloaded = downloaded;
    const std::int64_t length = taskManager_.ContentLength;
    next.percent = length > 0 ? std::trunc(static_cast<double>(downloaded) / length * 10000) / 100 : 0.0;
    next.requestTimes = requestTimes;
    // Within the same tick only the counts move; rates need time to pass.
    if (now != progress_.lastTick) {
        const std::int64_t elapsed = now - progress_.lastTick;
        taskManager_.DownloadTime += elapsed;
        const std::int64_t speed = std::max<std::int64_t>(0, downloaded - progress_.downloaded) * 1000 / elapsed;
        next.speedText = SizeText(speed) + "/S";
        next.lastTick = now;
        next.downloadTime = taskManager_.DownloadTime;
        next.averageSpeedText = SizeText(next.averageSpeed()) + "/S";
    }
    progress_ = std::move(next);
}

DownloadProgress CDownloader::progress() const {
    std::lock_guard guard(progressLock_);
    return progress_;
}

std::string CDownloader::getCdnReport() {
    bool ended = false;
    {
        std::lock_guard guard(stateLock_);
        ended = driverEnded_;
    }
    if (!ended) return CdnReportOf(taskManager_.handedOutTasks());
    std::lock_guard guard(progressLock_);
    return cdnReport_;
}

std::string CDownloader::CdnReportOf(const std::vector<CTask*>& handedOut) {
    std::string probe;
    std::string traces;
    for (const CTask* task : handedOut) {
        probe = task->CdnProbe;
        if (!task->CdnTrace.empty()) traces += task->CdnTrace + ";";
    }
    return traces.empty() ? std::string() : "T(" + probe + ");C(" + traces + ")";
}

std::string CDownloader::SizeText(std::int64_t bytes) {
    if (bytes == 0) return "0.00B";
    constexpr std::int64_t kUnits[] = {1073741824, 1048576, 1024};
    constexpr char kLetters[] = {'G', 'M', 'K', 'B'};
    std::int64_t amounts[4] = {0, 0, 0, 0};
    std::int64_t rest = bytes;
    for (int i = 0; i < 3; ++i) {
        if (rest > kUnits[i]) {
            amounts[i] = rest / kUnits[i];
            rest %= kUnits[i];
        }
    }
    amounts[3] = rest;
    int largest = 0;
    while (largest < 3 && amounts[largest] == 0) ++largest;
    double value = static_cast<double>(amounts[largest]);
    if (largest < 3 && amounts[largest + 1] != 0) {
        value += std::trunc(static_cast<double>(amounts[largest + 1]) / 1024 * 100) / 100;
    }
    std::ostringstream text;
    text << value << kLetters[largest];
    return text.str();
}
