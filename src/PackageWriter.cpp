#include "PackageWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include <easylogging++.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> forcedStrategy{-1};

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Aligned(std::uintptr_t value) { return value % CPackageWriter::kAlignment == 0; }

std::size_t WriteInCalls(int descriptor, const char* data, std::size_t length, std::int64_t offset,
                         std::size_t callBytes) {
    std::size_t done = 0;
    while (done < length) {
        const std::size_t piece = std::min(length - done, callBytes);
        const ssize_t written = ::pwrite(descriptor, data + done, piece, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    return done;
}

}  // namespace

CWriteStrategyTuner& CPackageWriter::Tuner() {
    static CWriteStrategyTuner tuner;
    return tuner;
}

void CPackageWriter::ForceStrategy(std::optional<WriteStrategy> strategy) {
    forcedStrategy = strategy ? static_cast<int>(*strategy) : -1;
}

CPackageWriter::CPackageWriter(int descriptor, const std::string& path) : descriptor_(descriptor) {
    if (path.empty() || descriptor < 0) return;
    // File systems without direct writes refuse the open (EINVAL).
    direct_ = ::open(path.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
}

CPackageWriter::~CPackageWriter() {
    if (direct_ >= 0) ::close(direct_);
}

bool CPackageWriter::Reserve(std::int64_t length) {
    if (length <= 0) return true;
    const int result = ::fallocate(descriptor_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(length));
    if (result == 0) return true;
    // A file system without reservations is no failure.
    return errno == EOPNOTSUPP;
}

std::size_t CPackageWriter::WriteThroughCache(const char* data, std::size_t length, std::int64_t offset,
                                              std::size_t callBytes) {
    return WriteInCalls(descriptor_, data, length, offset, callBytes);
}

std::size_t CPackageWriter::WriteDirect(const char* data, std::size_t length, std::int64_t offset) {
    const std::size_t aligned = length - length % kAlignment;
    const std::size_t written = WriteInCalls(direct_, data, aligned, offset, aligned);
    if (written == 0 && aligned > 0 && errno == EINVAL) {
        // The file system took the open but not the write: no more direct writes here.
        LOG(INFO) << " direct writes refused, errno " << errno << "; writing through the page cache";
        ::close(direct_);
        direct_ = -1;
    }
    return written;
}

std::size_t CPackageWriter::WriteAt(const char* data, std::size_t length, std::int64_t offset) {
    const int forced = forcedStrategy;
    WriteStrategy strategy = forced >= 0 ? static_cast<WriteStrategy>(forced) : Tuner().Choose(directAvailable());
    // Direct writes take only aligned buffers at aligned offsets; anything
    // else (a resumed range's first piece) goes through the page cache.
    const bool directFits = directAvailable() && Aligned(reinterpret_cast<std::uintptr_t>(data)) &&
                            Aligned(static_cast<std::uintptr_t>(offset)) && length >= kAlignment;
    if (strategy == WriteStrategy::Direct && !directFits) strategy = WriteStrategy::WholeCalls;
    const WriteStrategy chosen = strategy;

    const std::int64_t started = NowNs();
    std::size_t written = 0;
    if (strategy == WriteStrategy::Direct) {
        written = WriteDirect(data, length, offset);
        // A failed direct write is a failed write, unless the file system
        // refused direct writes altogether.
        if (written < length - length % kAlignment && directAvailable()) return written;
        strategy = WriteStrategy::WholeCalls;  // the unaligned tail, or everything
    }
    if (written < length) {
        written += WriteThroughCache(data + written, length - written, offset + static_cast<std::int64_t>(written),
                                     CWriteStrategyTuner::CallBytes(strategy, length));
    }
    if (written == length) Tuner().Record(chosen, length, NowNs() - started);
    return written;
}
