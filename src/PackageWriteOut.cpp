#include "PackageWriteOut.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <easylogging++.h>

#include "platform/AlternateSignalStack.h"

namespace {

std::atomic<std::int64_t> totalWriteOuts{0};

}  // namespace

std::int64_t CPackageWriteOut::TotalWriteOuts() { return totalWriteOuts; }

CPackageWriteOut::CPackageWriteOut(int descriptor) : descriptor_(descriptor) {
    worker_ = std::thread(&CPackageWriteOut::Run, this);
}

CPackageWriteOut::~CPackageWriteOut() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void CPackageWriteOut::Written(std::size_t bytes) {
    bool wake = false;
    {
        std::lock_guard guard(lock_);
        const bool below = gathered_ < kGatherBytes;
        gathered_ += static_cast<std::int64_t>(bytes);
        wake = below && gathered_ >= kGatherBytes;
    }
    if (wake) wake_.notify_one();
}

int CPackageWriteOut::writeOuts() const {
    std::lock_guard guard(lock_);
    return writeOuts_;
}

void CPackageWriteOut::Run() {
    platform::InstallThreadSignalStack();
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] { return stopping_ || gathered_ >= kGatherBytes; });
        if (stopping_) return;
        gathered_ = 0;
        guard.unlock();
        // Starts writing every dirty page of the package without waiting for
        // any; pages already on their way are left alone.
        const int result = sync_file_range(descriptor_, 0, 0, SYNC_FILE_RANGE_WRITE);
        const int error = errno;
        guard.lock();
        ++writeOuts_;
        ++totalWriteOuts;
        // Not fatal: the task-file save writes the bytes it claims out
        // itself and refuses to claim them when that fails.
        if (result != 0 && !failureLogged_) {
            failureLogged_ = true;
            LOG(INFO) << " package write-out failed, errno " << error << " (" << std::strerror(error) << ")";
        }
    }
}
