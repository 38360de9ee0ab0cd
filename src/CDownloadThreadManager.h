#pragma once
// The download thread pool of one package: opens the package file once for
// all its threads.
#include <functional>
#include <memory>
#include <string>

#include "CDownloadThread.h"
#include "CThreadManager.h"
#include "PackageWriter.h"

class CDownloadThreadManager : public CThreadManager {
public:
    // Ends the processes that run the file at a path, so that it can be
    // opened for writing: FuntionImpl::FindProcessByFullPath unless replaced;
    // empty restores it.
    using BusyFileReleaser = std::function<int(const std::string& path)>;
    static void SetBusyFileReleaser(BusyFileReleaser releaser);

    explicit CDownloadThreadManager(std::string localPath);
    ~CDownloadThreadManager() override;

    // Opens the package and creates n download threads; returns the number
    // of threads held, or -1 when the package cannot be opened.
    int createThreads(int n) override;

    // The package file, -1 before createThreads or after closePackage.
    int packageFile() const { return packageFile_; }
    // Reserves the disk space of the whole package (see CPackageWriter::Reserve).
    bool reservePackage(std::int64_t length);
    void closePackage();
    // Running transfers end as soon as they notice.
    void cancelTransfers() { shared_.cancelled = true; }
    void setTaskTimeLimit(long milliseconds) { shared_.taskTimeLimitMs = milliseconds; }
    // How much one request may ask for from now on.
    void setWindowBytes(std::int64_t bytes) { shared_.windowBytes = bytes; }

private:
    int openPackage();

    std::string localPath_;
    int packageFile_ = -1;
    std::unique_ptr<CPackageWriter> writer_;
    CDownloadThread::Shared shared_;
};
