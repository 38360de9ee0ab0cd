#include "CThread.h"

#include <chrono>
#include <system_error>

#include <easylogging++.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "CTask.h"
#include "platform/AlternateSignalStack.h"

CThread::CThread(std::mutex& writeMutex, std::function<void()> onIdle)
    : writeMutex_(writeMutex), onIdle_(std::move(onIdle)) {}

CThread::~CThread() {
    if (!thread_.joinable()) return;
    requestExit();
    thread_.join();
}

int CThread::init() {
    try {
        thread_ = std::thread(&CThread::ThreadFunc, this);
    } catch (const std::system_error& error) {
        LOG(INFO) << "  creat thread error code =  " << error.code().value();
        return 0;
    }
    return 1;
}

int CThread::doTask(CTask* task) {
    setCurrentTask(task);
    if (task != nullptr && task->Verbose) {
        LOG(INFO) << " Tasks info, download begin, id = " << task->TaskId << ", task status = " << task->Status
                  << ", thread status = " << status;
    }
    status = ThreadWork;
    wake();
    return 1;
}

void CThread::wake() {
    {
        std::lock_guard guard(eventLock_);
        signalled_ = true;
    }
    event_.notify_one();
}

void CThread::requestExit() {
    status = ThreadExit;
    wake();
}

bool CThread::waitForExit(int timeoutMs) {
    if (!thread_.joinable()) return true;
    std::unique_lock guard(exitLock_);
    if (!exitEvent_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return exited_; })) return false;
    guard.unlock();
    thread_.join();
    return true;
}

void CThread::ThreadFunc() {
    platform::InstallThreadSignalStack();
    const long id = syscall(SYS_gettid);
    for (;;) {
        if (status == ThreadIdle) {
            LOG(INFO) << " wait before thread " << id;
            std::unique_lock guard(eventLock_);
            event_.wait(guard, [&] { return signalled_; });
            signalled_ = false;
            guard.unlock();
            LOG(INFO) << " wait after thread " << id;
        }
        if (status == ThreadExit) break;
        if (status == ThreadWork) {
            taskBusiness();
            int working = ThreadWork;
            status.compare_exchange_strong(working, ThreadIdle);
            if (onIdle_) onIdle_();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard guard(exitLock_);
    exited_ = true;
    exitEvent_.notify_all();
}
