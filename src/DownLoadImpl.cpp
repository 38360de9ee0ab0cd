#include "DownLoadImpl.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <easylogging++.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CDownloader.h"
#include "DownloadSource.h"
#include "IDownloadProgressTarget.h"
#include "PackageWriter.h"
#include "SingleUserLog.h"
#include "SteadyTicks.h"
#include "platform/AsciiText.h"
#include "platform/FileFacts.h"
#include "platform/Folders.h"
#include "platform/NetworkState.h"

namespace {

constexpr std::int64_t kMinimumPackageBytes = 1048576;
constexpr std::size_t kDigestPiece = 1048576;

std::mutex networkCheckLock;
// Empty: the system's own check.
std::function<bool()>& NetworkCheck() {
    static std::function<bool()> check;
    return check;
}

bool NetworkAlive() {
    std::function<bool()> check;
    {
        std::lock_guard guard(networkCheckLock);
        check = NetworkCheck();
    }
    return check ? check() : platform::IsNetworkAlive();
}

std::atomic<IDownloadProgressTarget*> progressTarget{nullptr};
std::atomic<bool> stopRequested{false};

void ReportProgress(bool main, std::int64_t downloaded, std::int64_t total) {
    if (!main) return;
    if (IDownloadProgressTarget* target = progressTarget.load()) target->OnDownloadProgress(downloaded, total);
}

std::string Formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// True when the finished package is smaller than any product package can
// be; a package that cannot be looked at counts as too small, and says why.
bool PackageTooSmall(const std::string& path) {
    const platform::SysResult<std::int64_t> size = platform::FileSize(path);
    if (!size) LOG(INFO) << " package size unknown, errno " << size.error();
    return !size || size.value() < kMinimumPackageBytes;
}

int ThreadCount() {
    const int configured = CDownLoadImpl::settings().threadCount;
    if (configured >= 0) return configured;
    return CDownLoadImpl::ThreadCountFor(std::max(1u, std::thread::hardware_concurrency()));
}

// One download from start to finish, with the watch that ends it early.
class DownloadRun {
public:
    DownloadRun(const std::string& url, const std::string& localPath, bool main)
        : main_(main),
          isCdn_(IsCdnUrl(url)),
          localPath_(localPath),
          downloader_(url, localPath, localPath + ".xml", ThreadCount()) {
        downloader_.setTaskTimeLimit(CDownLoadImpl::settings().taskTimeLimitMs);
    }

    int Run(std::string& cdnReport) {
        const EnumErrorCode init = downloader_.downloadInit(false, "Download", main_ ? 1 : 0);
        if (init != EnumErrorCode::Success) return Finish(init, cdnReport);
        downloader_.setState(DownloaderRun);
        CSingleUserLog::GetInstance().AddUserLog_funnelParam(false, false, "Download", "SliceDownloading", "", "");
        lastChangeTick_ = SteadyTickMs();
        if (!NetworkAlive()) return NetworkLost(cdnReport);
        lastNetworkCheckTick_ = SteadyTickMs();
        return Watch(cdnReport);
    }

private:
    int Watch(std::string& cdnReport) {
        const CDownLoadImpl::Settings& timing = CDownLoadImpl::settings();
        for (;;) {
            const DownloadProgress progress = downloader_.progress();
            if (progress.downloaded > lastDownloaded_) {
                if (progress.lastTick > lastChangeTick_) {
                    const double speed = (progress.downloaded - lastDownloaded_) / 1048576.0 /
                                         ((progress.lastTick - lastChangeTick_) / 1000.0);
                    minimumSpeed_ = std::min(minimumSpeed_, speed);
                    maximumSpeed_ = std::max(maximumSpeed_, speed);
                }
                lastChangeTick_ = progress.lastTick;
                lastDownloaded_ = progress.downloaded;
            } else if (progress.lastTick - lastChangeTick_ >= timing.stallMs) {
                LOG(INFO) << "too long no speed:";
                return Finish(EnumErrorCode::NoSpeedTimeout, cdnReport);
            }
            const int tasks = downloader_.tasksCount();
            if (isCdn_ && progress.requestTimes > 3 * tasks) {
                LOG(INFO) << " ---cdn fail:" << progress.requestTimes << " > 3 * " << tasks;
                return Finish(EnumErrorCode::CdnFailed, cdnReport);
            }
            if (downloader_.state() != DownloaderRun) {
                // The last figures show now; the end check first waits for the final save.
                ReportProgress(main_, downloader_.progress().downloaded, downloader_.contentLength());
                return EndCheck(cdnReport);
            }
            if (stopRequested) {
                LOG(INFO) << " Download stopped: the installer is closing";
                return Finish(EnumErrorCode::NoSpeedTimeout, cdnReport);
            }
            ReportProgress(main_, progress.downloaded, downloader_.contentLength());
            // The interface list costs more than a look at the figures: it is read less often.
            if (SteadyTickMs() - lastNetworkCheckTick_ >= timing.networkCheckMs) {
                lastNetworkCheckTick_ = SteadyTickMs();
                if (!NetworkAlive()) return NetworkLost(cdnReport);
            }
            // Paced: the figures change only as fast as the driver updates them.
            downloader_.waitWhileRunning(timing.pollMs);
        }
    }

    // Stops the downloader, takes its report and closes it.
    void StopAndClose(std::string& cdnReport) {
        downloader_.setState(DownloaderStop);
        downloader_.waitForDriver(CDownLoadImpl::settings().driverWaitMs);
        cdnReport = downloader_.getCdnReport();
        downloader_.close();
    }

    int Finish(EnumErrorCode result, std::string& cdnReport) {
        StopAndClose(cdnReport);
        return static_cast<int>(result);
    }

    int NetworkLost(std::string& cdnReport) {
        LOG(INFO) << "network is  no  alive";
        StopAndClose(cdnReport);
        std::this_thread::sleep_for(std::chrono::milliseconds(CDownLoadImpl::settings().networkLossPauseMs));
        return static_cast<int>(EnumErrorCode::NetworkNotAlive);
    }

    int EndCheck(std::string& cdnReport) {
        downloader_.waitForDriver(CDownLoadImpl::settings().driverWaitMs);
        cdnReport = downloader_.getCdnReport();
        const DownloadProgress progress = downloader_.progress();
        const bool complete = downloader_.allTasksDone();
        const bool started = downloader_.started();
        const std::int64_t length = downloader_.contentLength();
        downloader_.close();
        // The sum over the ranges counts one byte too many per range, so
        // completeness is judged by the ranges themselves as well.
        if (progress.downloaded < length || !complete) {
            if (downloader_.retriesExhausted()) {
                // Ranges that cannot be fetched: the outcome of a stall,
                // found before the stall's minute has passed.
                LOG(INFO) << "too long no speed: every missing range failed " << CDownloader::kMaxFailuresPerRun
                          << " times";
                return static_cast<int>(EnumErrorCode::NoSpeedTimeout);
            }
            LOG(INFO) << " lenth is error, less than remote file.";
            return static_cast<int>(EnumErrorCode::LengthLessThanRemote);
        }
        if (main_ && PackageTooSmall(localPath_)) {
            return static_cast<int>(EnumErrorCode::FileTooSmall);
        }
        // The bar shows the whole package as soon as it is complete, not
        // only once the checks after the download begin.
        ReportProgress(main_, length, length);
        if (!started) return static_cast<int>(EnumErrorCode::Success);
        const double average = std::trunc(progress.averageSpeed() / 1048576.0 * 100) / 100;
        LOG(INFO) << " Average speed: " << Formatted("%.1fMB/s", average);
        LOG(INFO) << " Download speed range " << Formatted("%.1f MB/s", minimumSpeed_) << " - "
                  << Formatted("%.1f MB/s", maximumSpeed_);
        LOG(INFO) << " Package writes: " << CPackageWriter::UsageText();
        return static_cast<int>(EnumErrorCode::Success);
    }

    bool main_;
    bool isCdn_;
    std::string localPath_;
    CDownloader downloader_;
    std::int64_t lastDownloaded_ = 0;
    std::int64_t lastChangeTick_ = 0;
    std::int64_t lastNetworkCheckTick_ = 0;
    double minimumSpeed_ = 102400.0;
    double maximumSpeed_ = 0.0;
};

}  // namespace

CDownLoadImpl::Settings& CDownLoadImpl::settings() {
    static Settings values;
    return values;
}

void CDownLoadImpl::SetNetworkCheck(std::function<bool()> check) {
    std::lock_guard guard(networkCheckLock);
    NetworkCheck() = std::move(check);
}

void CDownLoadImpl::SetProgressTarget(IDownloadProgressTarget* target) { progressTarget = target; }

void CDownLoadImpl::RequestStop() { stopRequested = true; }

void CDownLoadImpl::AllowDownloads() { stopRequested = false; }

IDownloadProgressTarget* CDownLoadImpl::ProgressTarget() { return progressTarget; }

int CDownLoadImpl::ThreadCountFor(unsigned processors) {
    return std::max(4, static_cast<int>(processors * 8 / 5));
}

int CDownLoadImpl::SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                                     bool main) {
    auto run = std::make_unique<DownloadRun>(url, localPath, main);
    return run->Run(cdnReport);
}

std::string CDownLoadImpl::FileMd5(const std::string& path) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return {};
    // A file that cannot be read is digested as far as it could be read
    // (no further than its start when it cannot be opened), and says why.
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) LOG(INFO) << " MD5 of " << path << ": cannot open, errno " << errno;
    if (descriptor >= 0) {
        posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
        std::unique_ptr<unsigned char[]> piece(new unsigned char[kDigestPiece]);
        for (;;) {
            const ssize_t got = read(descriptor, piece.get(), kDigestPiece);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) LOG(INFO) << " MD5 of " << path << ": read failed, errno " << errno;
            if (got <= 0) break;
            EVP_DigestUpdate(context.get(), piece.get(), static_cast<std::size_t>(got));
        }
        close(descriptor);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
    return platform::LowerHex(digest, length);
}

int CDownLoadImpl::checkMD5(const std::string& path, const std::string& md5, const std::string& md5Extra,
                            const std::string& tag, const std::string& contentPath) {
    const std::string digest = FileMd5(contentPath.empty() ? path : contentPath);
    LOG(INFO) << " MD5 of file " << path << " is " << digest;
    // Replaced whole: a marker cut short would make the next start throw
    // away a verified package.
    if (const platform::SysStatus marked = platform::WriteFileAtomically(path + ".db", tag + "###" + digest); !marked) {
        LOG(INFO) << " MD5 marker not written: " << marked.step() << " errno " << marked.error();
    }
    return !digest.empty() && (digest == md5 || digest == md5Extra) ? 1 : 0;
}
