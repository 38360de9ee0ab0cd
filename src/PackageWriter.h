#pragma once
// Writes downloaded bytes into the package file at their offsets, in the
// way this machine takes them cheapest (CWriteStrategyTuner): through the
// page cache in calls of a chosen size, or past it straight to the disk
// where the file system allows direct writes and the buffer and offset are
// aligned for them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "WriteStrategyTuner.h"

class CPackageWriter {
public:
    // Direct writes need buffers, offsets and lengths aligned to this.
    static constexpr std::size_t kAlignment = 4096;

    // Writes through descriptor (not owned). With a path, the file is opened
    // a second time for direct writes where its file system allows them.
    CPackageWriter(int descriptor, const std::string& path);
    ~CPackageWriter();
    CPackageWriter(const CPackageWriter&) = delete;
    CPackageWriter& operator=(const CPackageWriter&) = delete;

    // Writes data at offset; returns how much reached the file (less than
    // length only when a write failed, errno then tells why).
    std::size_t WriteAt(const char* data, std::size_t length, std::int64_t offset);
    // Reserves the disk space of a package of length bytes without changing
    // the file's size, so that the package is not scattered over the disk
    // and a full disk shows at once. False (errno set) when it could not.
    bool Reserve(std::int64_t length);

    int descriptor() const { return descriptor_; }
    bool directAvailable() const { return direct_ >= 0; }

    // The process-wide measurements every package writer shares.
    static CWriteStrategyTuner& Tuner();
    // Tests: every write uses strategy (Direct only where available); nullopt measures again.
    static void ForceStrategy(std::optional<WriteStrategy> strategy);

private:
    std::size_t WriteThroughCache(const char* data, std::size_t length, std::int64_t offset, std::size_t callBytes);
    // The aligned part of data written directly; how much was written.
    std::size_t WriteDirect(const char* data, std::size_t length, std::int64_t offset);

    int descriptor_;
    int direct_ = -1;
};
