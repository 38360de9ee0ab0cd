#pragma once
// The download engine as the install worker uses it: one complete download
// of the package, the package's MD5 check with its verification marker, and
// the process-wide progress target the engine reports the main download to.
#include <cstdint>
#include <functional>
#include <string>

class IPackageTransfer {
public:
    using ProgressHook = std::function<void(std::int64_t downloaded, std::int64_t total)>;

    virtual ~IPackageTransfer() = default;

    // An EnumErrorCode value; cdnReport receives the downloader's CDN report.
    virtual int SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                                  bool main) = 0;
    // 1 when the MD5 of the bytes at contentPath (the package at path, pinned)
    // equals md5 or md5Extra; logs it under path and writes path + ".db".
    virtual int checkMD5(const std::string& path, const std::string& contentPath, const std::string& md5,
                         const std::string& md5Extra, const std::string& tag) = 0;
    // Publishes the download-progress target; an empty hook withdraws it.
    virtual void SetProgressTarget(ProgressHook hook) = 0;
};
