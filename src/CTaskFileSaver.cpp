#include "CTaskFileSaver.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <easylogging++.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AlternateSignalStack.h"
#include "platform/Folders.h"

namespace {

// The package is written out in pieces, so that a failure names the piece.
constexpr off_t kFlushPiece = 8 << 20;

bool SameFile(int descriptor, const std::string& path) {
    struct stat open {}, named {};
    if (fstat(descriptor, &open) != 0 || open.st_nlink == 0) return false;
    if (stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void CloseJobFile(int descriptor) {
    if (descriptor >= 0) close(descriptor);
}

}  // namespace

CTaskFileSaver& CTaskFileSaver::GetInstance() {
    // Never destroyed: the worker may still be running when statics go away.
    static CTaskFileSaver* instance = new CTaskFileSaver();
    return *instance;
}

void CTaskFileSaver::EnsureWorker() {
    if (workerStarted_) return;
    workerStarted_ = true;
    worker_ = std::thread(&CTaskFileSaver::Run, this);
    std::atexit(&CTaskFileSaver::FinishAtExit);
}

void CTaskFileSaver::Save(const std::string& taskFilePath, int packageFile, const std::string& packagePath,
                          std::string document, Claims claims) {
    Job job{taskFilePath, packageFile >= 0 ? fcntl(packageFile, F_DUPFD_CLOEXEC, 0) : -1, packagePath,
            std::move(document), std::move(claims)};
    std::lock_guard guard(lock_);
    if (closing_ || barred_.count(taskFilePath) != 0) {
        CloseJobFile(job.packageFile);
        return;
    }
    EnsureWorker();
    for (auto& queued : queue_) {
        if (queued.taskFilePath != taskFilePath) continue;
        CloseJobFile(queued.packageFile);
        queued = std::move(job);
        return;
    }
    queue_.push_back(std::move(job));
    changed_.notify_all();
}

bool CTaskFileSaver::Pending(const std::string& taskFilePath) {
    std::lock_guard guard(lock_);
    return PendingLocked(taskFilePath);
}

bool CTaskFileSaver::PendingLocked(const std::string& taskFilePath) const {
    if (running_.count(taskFilePath) != 0) return true;
    return std::any_of(queue_.begin(), queue_.end(),
                       [&](const Job& queued) { return queued.taskFilePath == taskFilePath; });
}

void CTaskFileSaver::Wait(const std::string& taskFilePath) {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return !PendingLocked(taskFilePath); });
}

void CTaskFileSaver::Forget(const std::string& taskFilePath) {
    std::lock_guard guard(lock_);
    barred_.erase(taskFilePath);
}

void CTaskFileSaver::Run() {
    platform::InstallThreadSignalStack();
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) break;  // closing, and nothing left to save
        Job job = std::move(queue_.front());
        queue_.pop_front();
        running_.insert(job.taskFilePath);
        guard.unlock();
        const bool performed = Perform(job);
        CloseJobFile(job.packageFile);
        guard.lock();
        if (!performed) barred_.insert(job.taskFilePath);
        running_.erase(job.taskFilePath);
        changed_.notify_all();
    }
}

bool CTaskFileSaver::FlushPackage(const Job& job) {
    // Only the claimed bytes are written out and waited for: pages still
    // being filled are left alone, so the download never waits for the
    // disk. Their block allocations sit in the file system's journal, which
    // the task file's own fsync commits before the rename.
    for (const auto& [first, end] : job.claims) {
        for (off_t offset = first; offset < end; offset += kFlushPiece) {
            if (sync_file_range(job.packageFile, offset, std::min<off_t>(kFlushPiece, end - offset),
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) !=
                0) {
                const int error = errno;
                LOG(INFO) << " task file not saved: package bytes from " << offset << " not written out, errno "
                          << error << " (" << std::strerror(error) << "); no more saves of " << job.taskFilePath;
                return false;
            }
        }
    }
    return true;
}

bool CTaskFileSaver::Perform(const Job& job) {
    if (job.packageFile >= 0) {
        // A package deleted or replaced since the claims were made must not
        // get a task file that claims its bytes.
        if (!SameFile(job.packageFile, job.packagePath)) return true;
        if (!FlushPackage(job)) return false;
    }
    // A task file that cannot be replaced leaves the last one in place,
    // which claims only bytes written out before it.
    const platform::SysStatus written = platform::WriteFileAtomically(job.taskFilePath, job.document);
    if (!written) {
        LOG(INFO) << " task file not saved: " << job.taskFilePath << ", " << written.step() << " errno "
                  << written.error() << " (" << std::strerror(written.error()) << ")";
    }
    return true;
}

void CTaskFileSaver::FinishAtExit() {
    CTaskFileSaver& saver = GetInstance();
    {
        std::lock_guard guard(saver.lock_);
        saver.closing_ = true;
    }
    saver.changed_.notify_all();
    if (saver.worker_.joinable()) saver.worker_.join();
}
