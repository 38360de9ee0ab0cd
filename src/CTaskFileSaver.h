#pragma once
// Replaces task files in the background, durably: the package data a task
// file claims reaches the disk before the file that claims it, and the file
// is replaced by rename. Neither a crash nor a power cut can then leave a
// task file that throws away a partial download or claims bytes the package
// does not hold. Nobody waits for the disk while a download runs.
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

    // Queues the document as the next content of the task file. The claimed
    // byte ranges of packageFile (duplicated here; -1 for none) are written
    // out first; the save is dropped when that file is no longer the
    // package at packagePath. A queued save of the same task file that has
    // not started is replaced.
    // Byte ranges [first, end) of the package a document claims.
    using Claims = std::vector<std::pair<std::int64_t, std::int64_t>>;

    void Save(const std::string& taskFilePath, int packageFile, const std::string& packagePath,
              std::string document, Claims claims);
    // True while a save of the task file is queued or running.
    bool Pending(const std::string& taskFilePath);
    // Waits until no save of the task file is queued or running.
    void Wait(const std::string& taskFilePath);

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
    // Flushes the package and replaces the task file; false when abandoned.
    bool Perform(const Job& job);
    bool FlushPackage(const Job& job);
    // At process exit: finish the piece of work under way, drop the rest.
    static void AbandonAtExit();

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    std::set<std::string> running_;
    bool abandon_ = false;
    bool workerStarted_ = false;
    std::thread worker_;
};
