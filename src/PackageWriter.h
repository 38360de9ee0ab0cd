#pragma once
// Writes downloaded bytes into the package file at their offsets, through
// the page cache in calls of kCallBytes, and hands them on to the disk as
// they gather (CPackageWriteOut).
//
// Measured on a 2-core virtual machine (1 GiB from a local server, four
// connections, the same runs): calls of a page took more than twice the
// processor time of 64 KiB calls, and calls of a whole 512 KiB buffer up to
// three times as much; direct writes took little processor time but left
// each connection waiting for the disk, and took longer still. Timing each
// call to choose among these picked the whole-buffer calls half of the
// time: a call's cost varies with the memory the page cache hands out at
// that moment, and the write-back that follows is not in it. One call size
// that is cheap in every run is what is left.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "PackageWriteOut.h"

class CPackageWriter {
public:
    // Bytes per write call.
    static constexpr std::size_t kCallBytes = 64 << 10;
    // Writes that start at a multiple of this fill whole pages.
    static constexpr std::size_t kAlignment = 4096;

    // Writes through descriptor (not owned, open until this object goes).
    // writeOut: hand the written bytes on to the disk as they gather.
    explicit CPackageWriter(int descriptor, bool writeOut = true);
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
    // How many times the written bytes were handed to the disk so far.
    int writeOuts() const { return writeOut_ ? writeOut_->writeOuts() : 0; }

    // "page cache, 64 KiB calls: 1024.0 MiB in 16384 calls, 256 write-outs":
    // what every package writer of the process did, for the record.
    static std::string UsageText();

private:
    int descriptor_;
    std::unique_ptr<CPackageWriteOut> writeOut_;
};
