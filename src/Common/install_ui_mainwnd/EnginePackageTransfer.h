#pragma once
// The download engine behind the install worker's transfer seam: the
// process-wide downloader facade, with this object as the window that hears
// the main download's progress while it is published.
#include "Common/install_ui_mainwnd/IPackageTransfer.h"
#include "IDownloadProgressTarget.h"

#include <mutex>

class EnginePackageTransfer : public IPackageTransfer, private IDownloadProgressTarget {
public:
    EnginePackageTransfer() = default;
    ~EnginePackageTransfer() override;
    EnginePackageTransfer(const EnginePackageTransfer&) = delete;
    EnginePackageTransfer& operator=(const EnginePackageTransfer&) = delete;

    int SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                          bool main) override;
    int checkMD5(const std::string& path, const std::string& contentPath, const std::string& md5,
                 const std::string& md5Extra, const std::string& tag) override;
    void SetProgressTarget(ProgressHook hook) override;

private:
    void OnDownloadProgress(std::int64_t downloaded, std::int64_t total) override;

    std::mutex hookLock_;
    ProgressHook hook_;
};
