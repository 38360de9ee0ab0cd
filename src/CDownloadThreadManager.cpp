#include "CDownloadThreadManager.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include <easylogging++.h>
#include <fcntl.h>
#include <unistd.h>

#include "FuntionImpl.h"
#include "SingleUserLog.h"

namespace {

constexpr int kBusyRetries = 40;
constexpr int kBusyRetryPauseMs = 50;

std::mutex releaserLock;
CDownloadThreadManager::BusyFileReleaser& Releaser() {
    static CDownloadThreadManager::BusyFileReleaser releaser = &FuntionImpl::FindProcessByFullPath;
    return releaser;
}

}  // namespace

void CDownloadThreadManager::SetBusyFileReleaser(BusyFileReleaser releaser) {
    std::lock_guard guard(releaserLock);
    Releaser() = releaser ? std::move(releaser) : BusyFileReleaser(&FuntionImpl::FindProcessByFullPath);
}

CDownloadThreadManager::CDownloadThreadManager(std::string localPath) : localPath_(std::move(localPath)) {}

CDownloadThreadManager::~CDownloadThreadManager() {
    // The threads write into the package until they are gone.
    cancelTransfers();
    releaseThreads();
    closePackage();
}

void CDownloadThreadManager::closePackage() {
    writer_.reset();
    if (packageFile_ >= 0) close(packageFile_);
    packageFile_ = -1;
}

bool CDownloadThreadManager::reservePackage(std::int64_t length) {
    return writer_ != nullptr && writer_->Reserve(length);
}

int CDownloadThreadManager::openPackage() {
    // An existing package is continued, never truncated.
    if (access(localPath_.c_str(), R_OK) == 0) return open(localPath_.c_str(), O_RDWR | O_CLOEXEC);
    return open(localPath_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int CDownloadThreadManager::createThreads(int n) {
    if (packageFile_ < 0) {
        packageFile_ = openPackage();
        if (packageFile_ < 0) {
            int error = errno;
            LOG(INFO) << "local file is NULL error code = " << error;
            // A program still running from the package keeps it from being written.
            if (error == ETXTBSY) {
                BusyFileReleaser releaser;
                {
                    std::lock_guard guard(releaserLock);
                    releaser = Releaser();
                }
                if (releaser) releaser(localPath_);
                // Ending a process takes a moment; until it is gone the
                // file stays busy.
                for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
                    packageFile_ = openPackage();
                    error = errno;
                    if (packageFile_ >= 0 || error != ETXTBSY) break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyRetryPauseMs));
                }
            }
            if (packageFile_ < 0) {
                LOG(INFO) << "after kill local file is NULL error code = " << error;
                CSingleUserLog::GetInstance().AddUserLogEvent("Other", "OpenFileErrCode", std::to_string(error), false);
                return -1;
            }
        }
    }
    if (!writer_) writer_ = std::make_unique<CPackageWriter>(packageFile_);
    LOG(INFO) << " Create threads and init: " << n;
    for (int i = 0; i < n; ++i) {
        auto* thread = new CDownloadThread(writeMutex_, *writer_, shared_, [this] { notifyFinishedTask(); });
        if (thread->init() == 1) {
            adoptThread(thread);
        } else {
            delete thread;
        }
    }
    return static_cast<int>(threadCount());
}
