#pragma once
// A reusable worker thread: parked on its wake event until it is given a
// task, runs the task business, and parks again.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CTask;

enum ThreadStatus : int {
    ThreadExit = 0,  // leave the loop
    ThreadWork = 1,  // a task is waiting to be run
    ThreadIdle = 2,  // waiting for work
};

class CThread {
public:
    // onIdle, when given, is called each time the thread finishes a task.
    explicit CThread(std::mutex& writeMutex, std::function<void()> onIdle = {});
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts the thread function; 1, or 0 when no thread could be started.
    int init();
    // Hands the task to the thread and wakes it; returns 1.
    int doTask(CTask* task);
    // The task business; the plain worker has none.
    virtual int taskBusiness() { return 1; }

    // Tells the thread to leave its loop and wakes it.
    void requestExit();
    // Waits up to timeoutMs for the thread function to return; true when it did.
    bool waitForExit(int timeoutMs);

    CTask* currentTask() const { return currentTask_; }
    std::atomic<int> status{ThreadIdle};

protected:
    void setCurrentTask(CTask* task) { currentTask_ = task; }
    std::mutex& writeMutex_;

private:
    void ThreadFunc();
    void wake();

    std::atomic<CTask*> currentTask_{nullptr};
    std::function<void()> onIdle_;
    std::thread thread_;
    // The wake event: auto-reset, not signalled at first.
    std::mutex eventLock_;
    std::condition_variable event_;
    bool signalled_ = false;
    std::mutex exitLock_;
    std::condition_variable exitEvent_;
    bool exited_ = false;
};
