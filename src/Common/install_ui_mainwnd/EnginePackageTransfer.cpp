#include "Common/install_ui_mainwnd/EnginePackageTransfer.h"

#include "DownLoadImpl.h"

EnginePackageTransfer::~EnginePackageTransfer() {
    if (CDownLoadImpl::ProgressTarget() == this) CDownLoadImpl::SetProgressTarget(nullptr);
}

int EnginePackageTransfer::SuperDownloadFile(const std::string& url, const std::string& localPath,
                                             std::string& cdnReport, bool main) {
    return CDownLoadImpl::SuperDownloadFile(url, localPath, cdnReport, main);
}

// The engine's check, with the digest taken from the pinned bytes rather
// than from whatever the path names by now.
int EnginePackageTransfer::checkMD5(const std::string& path, const std::string& contentPath, const std::string& md5,
                                    const std::string& md5Extra, const std::string& tag) {
    return CDownLoadImpl::checkMD5(path, md5, md5Extra, tag, contentPath);
}

void EnginePackageTransfer::SetProgressTarget(ProgressHook hook) {
    const bool publish = static_cast<bool>(hook);
    {
        std::lock_guard guard(hookLock_);
        hook_ = std::move(hook);
    }
    if (publish)
        CDownLoadImpl::SetProgressTarget(this);
    else if (CDownLoadImpl::ProgressTarget() == this)
        CDownLoadImpl::SetProgressTarget(nullptr);
}

void EnginePackageTransfer::OnDownloadProgress(std::int64_t downloaded, std::int64_t total) {
    std::lock_guard guard(hookLock_);
    if (hook_) hook_(downloaded, total);
}
