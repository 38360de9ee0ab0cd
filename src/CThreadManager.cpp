#include "CThreadManager.h"

#include <algorithm>
#include <chrono>

#include <easylogging++.h>

#include "CTask.h"
#include "CThread.h"

namespace {

constexpr int kThreadExitWaitMs = 30000;

}  // namespace

std::mutex& CThreadManager::DownloadWriteMutex() {
    static std::mutex mutexForDownloadThread;
    return mutexForDownloadThread;
}

CThreadManager::CThreadManager() : writeMutex_(DownloadWriteMutex()) {}

CThreadManager::~CThreadManager() { releaseThreads(); }

void CThreadManager::adoptThread(CThread* thread) {
    free_.push_back(thread);
    threads_.push_back(thread);
}

int CThreadManager::createThreads(int n) {
    for (int i = 0; i < n; ++i) {
        auto* thread = new CThread(writeMutex_, [this] { notifyFinishedTask(); });
        if (thread->init() == 1) {
            adoptThread(thread);
        } else {
            delete thread;
        }
    }
    return static_cast<int>(threads_.size());
}

CThread* CThreadManager::getOneFreeThreads() {
    if (free_.empty()) {
        LOG(INFO) << "is no free threads";
        return nullptr;
    }
    CThread* thread = free_.back();
    free_.pop_back();
    return thread;
}

int CThreadManager::giveTaskToAThreadTodo(CTask* task) {
    CThread* thread = getOneFreeThreads();
    if (thread == nullptr) {
        LOG(INFO) << "get free thread is null" << (task != nullptr ? static_cast<int>(task->TaskId) : 0);
        return 0;
    }
    thread->doTask(task);
    busy_.push_back(thread);
    return 1;
}

std::vector<CTask*> CThreadManager::recycleThreads() {
    std::vector<CTask*> finished;
    for (auto it = busy_.begin(); it != busy_.end();) {
        if ((*it)->status == ThreadIdle) {
            if ((*it)->currentTask() != nullptr) finished.push_back((*it)->currentTask());
            free_.push_back(*it);
            it = busy_.erase(it);
        } else {
            ++it;
        }
    }
    return finished;
}

int CThreadManager::stopThreads() {
    for (CThread* thread : free_) thread->requestExit();
    LOG(INFO) << " start wait threads exit";
    for (CThread* thread : threads_) {
        // A thread that takes longer is not waited for here; releasing the
        // pool waits for it, since it still uses the pool's file and tasks.
        if (!thread->waitForExit(kThreadExitWaitMs)) LOG(INFO) << " thread did not exit in time";
    }
    LOG(INFO) << " end wait threads exit";
    return 1;
}

void CThreadManager::releaseThreads() {
    for (CThread* thread : threads_) thread->requestExit();
    for (CThread* thread : threads_) delete thread;
    threads_.clear();
    free_.clear();
    busy_.clear();
}

void CThreadManager::waitForFinishedTask(int timeoutMs) {
    std::unique_lock guard(finishedLock_);
    finished_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return finishedCount_ != finishedSeen_; });
    finishedSeen_ = finishedCount_;
}

void CThreadManager::notifyFinishedTask() {
    {
        std::lock_guard guard(finishedLock_);
        ++finishedCount_;
    }
    finished_.notify_all();
}
