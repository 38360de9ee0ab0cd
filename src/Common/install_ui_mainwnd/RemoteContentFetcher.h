#pragma once
// The window's three content threads: the remote banners shown while the
// product installs, the per-language privacy and licence links, and the
// early download-information query. Each runs once on a thread of its own,
// hands its results to the window (banner records and a posted message, the
// configuration's link table) and leaves the built-in defaults in place when
// anything fails. Every reply and picture is bounded before it is used.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <json/json.h>

class IContentWindowPort;
class IFlowAnalytics;
namespace contentreply {
struct BannerEntry;
}

class RemoteContentFetcher {
public:
    // Pictures larger than this are refused before they are downloaded.
    static constexpr std::int64_t kMaxPictureBytes = 8 << 20;
    static constexpr int kReplyAttempts = 3;
    static constexpr int kPictureTries = 3;

    // What the threads use besides the window. Defaults are the real ones.
    struct Services {
        explicit Services(IFlowAnalytics& analytics);
        IFlowAnalytics& analytics;
        std::function<std::int64_t()> tickMs;       // times the attempts and downloads
        std::function<std::int64_t()> unixSeconds;  // the queries' timestamp
        std::function<std::string()> workDir;       // where banner pictures land
        std::function<void(int milliseconds)> sleepMs;
    };

    RemoteContentFetcher(IContentWindowPort& window, Services services);

    // Banners: fetch the list, download and check each picture, store the
    // records and, when every picture arrived, post installmsg::kBannersArrived.
    unsigned GetCbsBanner();
    // Links: fetch them and fill the configuration's link table; DL004/DL005
    // when a privacy or terms link is missing.
    unsigned GetCbsPrivacy();
    // The download-information query ahead of the install worker.
    unsigned AsyncGetCbsInfo();

private:
    struct TimingEvent {
        const char* category;
        const char* action;
        const char* key;
    };
    enum class PictureResult { Arrived, Failed, Refused };

    int ParentPid() const;
    std::optional<std::string> FetchReply(const std::string& url, const char* attemptLog, const TimingEvent& timing,
                                          bool needSuccess);
    std::optional<Json::Value> ReadReply(const std::string& reply, const char* parsedLog, const char* failLog);
    bool DownloadBanner(const contentreply::BannerEntry& entry, const std::string& workDir, std::size_t index,
                        std::size_t count, int& successes);
    PictureResult FetchPicture(const std::string& url, const std::string& localPath);
    static PictureResult ProbePicture(const std::string& url, std::int64_t& length);
    void StoreLinks(const Json::Value& root);

    IContentWindowPort& window_;
    Services services_;
};

// The picture length the last response of a header probe states, or -1 when
// that response is not a 200 or states none.
std::int64_t StatedPictureLength(const std::string& headerText);
// True when the file (at most maxBytes) decodes as a picture the toolkit
// would draw; the decoded pixels are dropped at once.
bool DecodesAsPicture(const std::string& path, std::int64_t maxBytes);
