#pragma once
// Replaces task files in the background, durably: the package data a task
// file claims reaches the disk before the file that claims it, and the file
// is replaced by rename. Neither a crash nor a power cut can then leave a
// task file that throws away a partial download or claims bytes the package
// does not hold. Nobody waits for the disk while a download runs; saves
// still queued when the process exits are finished first.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CTaskFileSaver {
public:
    static CTaskFileSaver& GetInstance();

    CTaskFileSaver(const CTaskFileSaver&) = delete;
    CTaskFileSaver& operator=(const CTaskFileSaver&) = delete;

    // Byte ranges [first, end) of the package a document claims.
    using Claims = std::vector<std::pair<std::int64_t, std::int64_t>>;

    // Queues the document as the next content of the task file. The claimed
    // byte ranges of packageFile (duplicated here; -1 for none) are written
    // out first; the save is dropped when that file is no longer the
    // package at packagePath. A queued save of the same task file that has
    // not started is replaced. Once writing out the package failed, no later
    // save of the task file is made until Forget: the kernel reports a lost
    // write only once, so a later flush could succeed over bytes that never
    // reached the disk.
    void Save(const std::string& taskFilePath, int packageFile, const std::string& packagePath,
              std::string document, Claims claims);
    // True while a save of the task file is queued or running.
    bool Pending(const std::string& taskFilePath);
    // Waits until no save of the task file is queued or running.
    void Wait(const std::string& taskFilePath);
    // A new download of the package starts from what the disk holds: an
    // earlier failure no longer bars its saves.
    void Forget(const std::string& taskFilePath);

private:
    struct Job {
        std::string taskFilePath;
        int packageFile = -1;
        std::string packagePath;
        std::string document;
        Claims claims;
    };

    CTaskFileSaver() = default;
    ~CTaskFileSaver() = default;
    void EnsureWorker();
    bool PendingLocked(const std::string& taskFilePath) const;
    void Run();
    // Writes out the claimed package bytes, then replaces the task file;
    // false when the package could not be written out.
    bool Perform(const Job& job);
    bool FlushPackage(const Job& job);
    // At process exit: finish every queued save, then end the worker.
    static void FinishAtExit();

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    std::set<std::string> running_;
    std::set<std::string> barred_;  // task files whose package could not be written out
    bool closing_ = false;
    bool workerStarted_ = false;
    std::thread worker_;
};
