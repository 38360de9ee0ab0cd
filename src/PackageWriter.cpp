#include "PackageWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<std::int64_t> bytesWritten{0};
std::atomic<std::int64_t> callsMade{0};

}  // namespace

CPackageWriter::CPackageWriter(int descriptor, bool writeOut) : descriptor_(descriptor) {
    if (writeOut && descriptor >= 0) writeOut_ = std::make_unique<CPackageWriteOut>(descriptor);
}

// The write-out thread ends before the descriptor may be closed.
CPackageWriter::~CPackageWriter() = default;

bool CPackageWriter::Reserve(std::int64_t length) {
    if (length <= 0) return true;
    const int result = ::fallocate(descriptor_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(length));
    if (result == 0) return true;
    // A file system without reservations is no failure.
    return errno == EOPNOTSUPP;
}

std::size_t CPackageWriter::WriteAt(const char* data, std::size_t length, std::int64_t offset) {
    std::size_t done = 0;
    std::int64_t calls = 0;
    while (done < length) {
        const std::size_t piece = std::min(length - done, kCallBytes);
        const ssize_t written = ::pwrite(descriptor_, data + done, piece, static_cast<off_t>(offset) + static_cast<off_t>(done));
        ++calls;
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    bytesWritten += static_cast<std::int64_t>(done);
    callsMade += calls;
    if (writeOut_ && done > 0) writeOut_->Written(done);
    return done;
}

std::string CPackageWriter::UsageText() {
    char text[160];
    std::snprintf(text, sizeof text, "page cache, %zu KiB calls: %.1f MiB in %lld calls, %lld write-outs",
                  kCallBytes >> 10, static_cast<double>(bytesWritten.load()) / 1048576.0,
                  static_cast<long long>(callsMade.load()), static_cast<long long>(CPackageWriteOut::TotalWriteOuts()));
    return text;
}
