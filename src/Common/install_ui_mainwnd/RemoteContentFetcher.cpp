#include "Common/install_ui_mainwnd/RemoteContentFetcher.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <easylogging++.h>

#include "CConfigure.h"
#include "CLibcurlTool.h"
#include "Common/EmbeddedLabels.h"
#include "Common/TextNumbers.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "Common/install_ui_mainwnd/ContentReplies.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IContentWindowPort.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "CTaskFileSaver.h"
#include "ContentQueries.h"
#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "SingleUserLog.h"
#include "SteadyTicks.h"
#include "platform/AsciiText.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/DrawEngine.h"

namespace {

using contentreply::BannerEntry;

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

}  // namespace

RemoteContentFetcher::Services::Services(IFlowAnalytics& analyticsSink)
    : analytics(analyticsSink),
      tickMs(SteadyTickMs),
      unixSeconds([] { return FuntionImpl::CurrentUnixSeconds(); }),
      workDir([] { return CSingleUserLog::GetInstance().GetWorkDir(); }),
      sleepMs([](int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }) {}

RemoteContentFetcher::RemoteContentFetcher(IContentWindowPort& window, Services services)
    : window_(window), services_(std::move(services)) {}

int RemoteContentFetcher::ParentPid() const {
    return LeadingInt(window_.ConfigurationLabels().LabelText("MainPid").value_or(""));
}

// --- replies ---------------------------------------------------------------------

std::optional<std::string> RemoteContentFetcher::FetchReply(const std::string& url, const char* attemptLog,
                                                            const TimingEvent& timing, bool needSuccess) {
    std::string reply;
    CURLcode code = CURLE_OK;
    {
        CLibcurlTool tool;
        for (int attempt = 1; attempt <= kReplyAttempts; ++attempt) {
            const std::int64_t started = services_.tickMs();
            reply.clear();
            code = tool.httpGet(url, reply, false);
            const std::int64_t elapsed = services_.tickMs() - started;
            LOG(INFO) << attemptLog << attempt << ", " << static_cast<int>(code) << ", " << url.size() << ", "
                      << reply.size();
            services_.analytics.FunnelParam(timing.category, timing.action, timing.key,
                                            FuntionImpl::TimingLabel(elapsed));
            if (code == CURLE_OK && !reply.empty()) break;
            if (attempt < kReplyAttempts) services_.sleepMs(100);
        }
    }
    if (reply.empty() || (needSuccess && code != CURLE_OK)) return std::nullopt;
    return reply;
}

std::optional<Json::Value> RemoteContentFetcher::ReadReply(const std::string& reply, const char* parsedLog,
                                                           const char* failLog) {
    contentreply::ParsedReply parsed = contentreply::ParseReply(reply);
    if (!parsed.ok) {
        LOG(INFO) << parsedLog << 0 << ", " << parsed.error;
        return std::nullopt;
    }
    LOG(INFO) << parsedLog << 1;
    if (!contentreply::CodeAccepted(reply, parsed.root)) {
        LOG(INFO) << failLog << contentreply::LoggedReply(reply);
        return std::nullopt;
    }
    return std::move(parsed.root);
}

// --- banners ---------------------------------------------------------------------

unsigned RemoteContentFetcher::GetCbsBanner() {
    LOG(INFO) << "get banner from server";
    const std::string workDir = services_.workDir();
    if (workDir.empty()) {
        LOG(INFO) << " Get Cbs Ban: no work folder for the pictures";
        return 0;
    }
    const std::string url =
        FuntionImpl::GetBannerPicUrl(ParentPid(), window_.CurrentLanguage(), services_.unixSeconds());
    const auto reply =
        FetchReply(url, " Get Cbs Ban1: ", {"Download", "ObtainCarouselMapTime", "CarouselMapTimeInterval"}, false);
    if (!reply) return 0;
    const auto root = ReadReply(*reply, " Get Cbs Ban2: ", " Get Cbs Ban fail: ");
    if (!root) return 0;
    const std::vector<Json::Value> elements = contentreply::ElementsOf(*root);
    const std::size_t count = elements.size();
    if (count > contentreply::kMaxBanners) {
        LOG(INFO) << " Get Cbs Ban fail: " << count << " banners, more than " << contentreply::kMaxBanners;
        return 0;
    }
    int successes = 0;
    std::size_t produced = 0;
    for (std::size_t index = 0; index < count; ++index) {
        if (DownloadBanner(contentreply::BannerEntryOf(elements[index]), workDir, index + 1, count, successes))
            ++produced;
    }
    if (count > 0 && produced == count) {
        LOG(INFO) << " Get Banner success";
        window_.PostWindowMessage(installmsg::kBannersArrived, 0, 0);
    }
    return 0;
}

bool RemoteContentFetcher::DownloadBanner(const BannerEntry& entry, const std::string& workDir, std::size_t index,
                                          std::size_t count, int& successes) {
    LOG(INFO) << " Get Cbs Ban3: " << entry.bannerUrl.size() << ", " << index << "/" << count;
    if (entry.bannerUrl.empty()) return false;
    if (!entry.sortValid || !contentreply::IsWebAddress(entry.bannerUrl)) {
        LOG(INFO) << " Get Cbs Ban refused: banner " << index << " has no integer sort or no web address";
        return false;
    }
    BannerRecord record{entry.bannerUrl, contentreply::IsWebAddress(entry.jumpUrl) ? entry.jumpUrl : "",
                        entry.prompt, workDir + "/" + std::to_string(entry.sort) +
                                          contentreply::PictureExtension(entry.bannerUrl),
                        entry.sort};
    const std::int64_t started = services_.tickMs();
    bool arrived = false;
    for (int attempt = 1; attempt <= kPictureTries && !arrived; ++attempt) {
        LOG(INFO) << " Get Cbs Ban4: " << index << "/" << count << ", " << attempt << "/" << kPictureTries;
        const PictureResult result = FetchPicture(record.pictureUrl, record.localPath);
        if (result == PictureResult::Arrived) {
            LOG(INFO) << " Get Cbs Ban " << ++successes << " Success 2";
            window_.Banners().Store(record);
            arrived = true;
        } else {
            LOG(INFO) << " Get Cbs Ban " << successes << " Fail 2";
            RemoveFile(record.localPath);
            if (result == PictureResult::Refused) break;
        }
    }
    services_.analytics.FunnelParam("Download", "DownloadCarouselImagesTime", "DownloadCarouselImagesTimeInterval",
                                    FuntionImpl::TimingLabel(services_.tickMs() - started));
    return arrived;
}

// One try: the stated length is checked first, so that a huge or endless
// picture is never downloaded; the engine is then held to that length.
RemoteContentFetcher::PictureResult RemoteContentFetcher::FetchPicture(const std::string& url,
                                                                       const std::string& localPath) {
    const std::string taskFile = localPath + ".xml";
    RemoveFile(localPath);
    RemoveFile(taskFile);
    std::int64_t length = 0;
    if (const PictureResult probed = ProbePicture(url, length); probed != PictureResult::Arrived) return probed;
    CSingleUserLog::GetInstance().SetUrlLength(url, length);
    std::string cdnReport;
    const int result = CDownLoadImpl::SuperDownloadFile(url, localPath, cdnReport, false);
    LOG(INFO) << " Get Cbs Ban5_2: " << result;
    // A picture needs no resume record; its last save may still be on its way.
    CTaskFileSaver::GetInstance().Wait(taskFile);
    RemoveFile(taskFile);
    if (result != static_cast<int>(EnumErrorCode::Success)) return PictureResult::Failed;
    if (!DecodesAsPicture(localPath, kMaxPictureBytes)) {
        LOG(INFO) << " Get Cbs Ban picture " << localPath << " does not decode as a picture of at most "
                  << ZembraUI::CDrawEngine::kMaxImagePixels << " pixels";
        return PictureResult::Failed;
    }
    return PictureResult::Arrived;
}

RemoteContentFetcher::PictureResult RemoteContentFetcher::ProbePicture(const std::string& url,
                                                                       std::int64_t& length) {
    CLibcurlTool tool;
    std::string headers;
    long responseCode = 0;
    const CURLcode code = tool.httpGet(url, 0, 0, 0, headers, responseCode);
    if (code != CURLE_OK || responseCode != 200) {
        LOG(INFO) << " Get Cbs Ban picture probe failed: " << static_cast<int>(code) << ", " << responseCode;
        return PictureResult::Failed;
    }
    length = StatedPictureLength(headers);
    if (length <= 0 || length > kMaxPictureBytes) {
        LOG(INFO) << " Get Cbs Ban picture refused: length " << length << ", allowed 1 to " << kMaxPictureBytes;
        return PictureResult::Refused;
    }
    return PictureResult::Arrived;
}

std::int64_t StatedPictureLength(const std::string& headerText) {
    // The probe collects the headers of every response of a redirect chain.
    std::size_t start = headerText.rfind("\nHTTP/");
    start = start == std::string::npos ? (headerText.rfind("HTTP/", 0) == 0 ? 0 : std::string::npos) : start + 1;
    if (start == std::string::npos) return -1;
    const std::string response = platform::AsciiLower(std::string_view(headerText).substr(start));
    const auto space = response.find(' ');
    if (space == std::string::npos || LeadingInt(std::string_view(response).substr(space + 1)) != 200) return -1;
    const auto field = response.find("\ncontent-length:");
    if (field == std::string::npos) return -1;
    const auto value = StrictInt64(response.substr(field + 16, response.find('\r', field) - field - 16));
    return value.value_or(-1);
}

bool DecodesAsPicture(const std::string& path, std::int64_t maxBytes) {
    std::vector<unsigned char> bytes;
    std::string error;
    if (!ZembraUI::CSkinArchive::ReadDiskFile(path, bytes, error, static_cast<std::size_t>(maxBytes))) return false;
    return ZembraUI::CDrawEngine::DecodeImage(bytes.data(), bytes.size(), 0).has_value();
}

// --- links -----------------------------------------------------------------------

unsigned RemoteContentFetcher::GetCbsPrivacy() {
    LOG(INFO) << "get privacy and license url";
    const std::string url = FuntionImpl::GetPrivacyUrl(ParentPid(), services_.unixSeconds());
    const auto reply = FetchReply(url, " Get Cbs tcp1: ",
                                  {"StartDownloader", "ObtainProtocolTime", "ProtocolObtainProtocolTime"}, true);
    if (!reply) return 0;
    const auto root = ReadReply(*reply, " Get Cbs tcp2: ", " Get Cbs tcp fail: ");
    if (root) StoreLinks(*root);
    return 0;
}

void RemoteContentFetcher::StoreLinks(const Json::Value& root) {
    bool termsMissing = false;
    bool privacyMissing = false;
    // Only web addresses are kept: the window hands them to the desktop opener.
    const auto webAddress = [](const std::string& url) {
        if (url.empty() || contentreply::IsWebAddress(url)) return url;
        LOG(INFO) << " Get Cbs tcp refused: not a web address";
        return std::string();
    };
    for (const Json::Value& element : contentreply::ElementsOf(root)) {
        const contentreply::LanguageLinks links = contentreply::LanguageLinksOf(element);
        std::string privacy;
        std::string terms;
        for (std::size_t j = 0; j < links.urls.size(); ++j) {
            const auto& [field, rawUrl] = links.urls[j];
            LOG(INFO) << " Get Cbs tcp3: " << j << ", " << field << ", " << rawUrl.size();
            const std::string url = webAddress(rawUrl);
            if (field == "tc") {
                if (url.empty()) termsMissing = true;
                else terms = url;
            } else if (field == "p") {
                if (url.empty()) privacyMissing = true;
                else privacy = url;
            }
        }
        if (links.languageCode.empty()) {
            LOG(INFO) << " Get Cbs tcp refused: links without a language code";
            continue;
        }
        window_.Configuration().SetServiceUrls(links.languageCode, privacy, terms);
    }
    // The logger sends the error-reporting funnel event with each flow error.
    if (termsMissing) services_.analytics.FlowError("DL005");
    if (privacyMissing) services_.analytics.FlowError("DL004");
}

// --- download information --------------------------------------------------------

unsigned RemoteContentFetcher::AsyncGetCbsInfo() {
    CConfigure& configuration = window_.Configuration();
    if (!window_.IsClosing()) {
        if (configuration.getDownloadInfoXml(false, false) != 1) configuration.getDownloadInfoXml(false, true);
        if (!window_.RunState().workerStarted) configuration.ParseDownloadInfoXml();
    }
    if (window_.IsClosing()) {
        LOG(INFO) << " GetDownloaderInfo(Async) abandon";
        return 0;
    }
    if (configuration.GetLoadState() == CConfigure::LoadStateLoaded) configuration.printContent();
    services_.analytics.SetLanguageInfo(window_.CurrentLanguage(), configuration.GetSoftwareVersion());
    return 0;
}
