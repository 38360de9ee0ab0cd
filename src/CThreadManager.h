#pragma once
// The pool of worker threads: a stack of free threads, the list of busy
// ones and every thread created. Only the driver thread calls it.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class CTask;
class CThread;

class CThreadManager {
public:
    // Serialises every write into a package file, in every pool of the process.
    static std::mutex& DownloadWriteMutex();

    CThreadManager();
    virtual ~CThreadManager();
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;

    // Creates n plain threads; returns the number of threads held.
    virtual int createThreads(int n);
    // The last thread of the free list, or null.
    CThread* getOneFreeThreads();
    // Hands the task to a free thread; 1, or 0 without a free thread.
    int giveTaskToAThreadTodo(CTask* task);
    // Moves every idle busy thread back to the free list; returns the tasks
    // those threads finished.
    std::vector<CTask*> recycleThreads();
    // Ends every thread (the busy list must be empty); returns 1.
    int stopThreads();
    // Ends and deletes every thread (waiting as long as it takes) and
    // empties the lists.
    void releaseThreads();

    bool hasFreeThread() const { return !free_.empty(); }
    bool busyEmpty() const { return busy_.empty(); }
    std::size_t threadCount() const { return threads_.size(); }
    // Waits until a thread finishes a task or timeoutMs pass.
    void waitForFinishedTask(int timeoutMs);
    // Ends waitForFinishedTask early (any thread may call it).
    void notifyFinishedTask();

protected:
    void adoptThread(CThread* thread);
    std::mutex& writeMutex_;

private:
    std::vector<CThread*> free_;
    std::vector<CThread*> busy_;
    std::vector<CThread*> threads_;
    std::mutex finishedLock_;
    std::condition_variable finished_;
    std::uint64_t finishedCount_ = 0;
    std::uint64_t finishedSeen_ = 0;
};
