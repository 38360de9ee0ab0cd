// The content threads against the devserver's content service: signed
// queries, banner pictures through the download engine, links per language,
// and replies and pictures that must be refused within bounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "CConfigure.h"
#include "CLibcurlTool.h"
#include "Common/EmbeddedLabels.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IContentWindowPort.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "Common/install_ui_mainwnd/RemoteContentFetcher.h"
#include "ContentQueries.h"
#include "DownLoadImpl.h"
#include "support/DevServerSuite.h"
#include "unit/src/InstallFlowDoubles.h"
#include "unit/src/LogLines.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

constexpr const char* kBannersPath = "/api/v1/banners";

// The window as the content threads see it: it records what is posted to it.
class ContentWindow : public IContentWindowPort {
public:
    ContentWindow() : labels_(LabelList{{"MainPid", "8656"}}), configuration_(0, 0, 0) {}

    bool PostWindowMessage(unsigned message, std::uintptr_t, std::intptr_t) override {
        posted.push_back(message);
        return true;
    }
    int GetProgress() const override { return 0; }
    void SetProgress(int) override {}
    InstallRunState& RunState() override { return state_; }
    CConfigure& Configuration() override { return configuration_; }
    const IConfigLabelSource& ConfigurationLabels() const override { return labels_; }
    EnumLanguage CurrentLanguage() const override { return language; }
    std::string GetInstallDir() const override { return {}; }
    void DeliverStartAppClick() override {}
    BannerRecords& Banners() override { return banners_; }
    bool IsClosing() const override { return closing; }

    bool ToldBannersArrived() const {
        return std::count(posted.begin(), posted.end(), installmsg::kBannersArrived) == 1;
    }

    EnumLanguage language = English;
    bool closing = false;
    std::vector<unsigned> posted;

private:
    EmbeddedConfigLabels labels_;
    CConfigure configuration_;
    InstallRunState state_;
    BannerRecords banners_;
};

// French banners share a sort; Japanese links lack a privacy address.
constexpr const char* kContentFile = R"({
  "banners": {
    "default": [{"banner_url": "/content/pictures/1.png", "jump_url": "/content/jump/1", "prompt": "one", "sort": 1},
                {"banner_url": "/content/pictures/2.png", "jump_url": "file:///etc/passwd", "prompt": "two", "sort": 2},
                {"banner_url": "/content/pictures/3.png", "jump_url": "", "prompt": "three", "sort": 3}],
    "fr": [{"banner_url": "/content/pictures/4.png", "jump_url": "", "prompt": "premier", "sort": 1},
           {"banner_url": "/content/pictures/5.png", "jump_url": "", "prompt": "second", "sort": 1}]
  },
  "links": [
    {"lang_code": "fr", "urls": [{"field": "p", "url": "/content/privacy/fr.html"},
                                 {"field": "tc", "url": "/content/terms/fr.html"}]},
    {"lang_code": "de", "urls": [{"field": "p", "url": "/content/privacy/de.html"},
                                 {"field": "tc", "url": "/content/terms/de.html"}]},
    {"lang_code": "ja", "urls": [{"field": "p", "url": ""}, {"field": "tc", "url": "/content/terms/ja.html"}]}
  ]
})";

}  // namespace

class RemoteContentTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() {
        contentDir_ = std::make_unique<TempDir>();
        StartServer({false, "", contentDir_->WriteFile("content.json", kContentFile)});
    }
    static void TearDownTestSuite() {
        DevServerSuite::TearDownTestSuite();
        contentDir_.reset();
    }

    void SetUp() override {
        DevServerSuite::SetUp();
        server_->ClearRecords();
        CDownLoadImpl::SetNetworkCheck([] { return true; });
    }
    void TearDown() override { CDownLoadImpl::SetNetworkCheck(nullptr); }

    RemoteContentFetcher Fetcher() {
        RemoteContentFetcher::Services services(analytics_);
        services.workDir = [this] { return work_.str(); };
        if (clock_) services.tickMs = clock_;
        if (wallClock_) services.unixSeconds = wallClock_;
        return RemoteContentFetcher(window_, services);
    }
    // Serves this banner list instead of the catalog's.
    void ServeBannerList(const std::string& body) {
        Json::Value rule;
        rule["path"] = kBannersPath;
        rule["body"] = body;
        rule["contentType"] = "application/json";
        server_->SetRule(rule);
    }
    std::string Picture(const std::string& name) const { return server_->BaseUrl() + "/content/pictures/" + name; }
    std::string BannerJson(const std::string& url, int sort) const {
        return R"({"banner_url": ")" + url + R"(", "jump_url": "", "prompt": "", "sort": )" + std::to_string(sort) + "}";
    }
    // Names of the files in the work folder.
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_.path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    static inline std::unique_ptr<TempDir> contentDir_;
    TempDir work_;
    TempDir settingsDir_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE",
                        settingsDir_.WriteFile("qk_downloader.cfg", "[Settings]\n" + server_->HostsSection(false))};
    ContentWindow window_;
    flowtest::RecordingAnalytics analytics_;
    std::function<std::int64_t()> clock_;
    std::function<std::int64_t()> wallClock_;
    LogLines log_;
};

TEST_F(RemoteContentTest, BannersArriveThroughTheEngineAndTheWindowIsTold) {
    Fetcher().GetCbsBanner();

    EXPECT_TRUE(window_.ToldBannersArrived());
    const auto records = window_.Banners().All();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records.at(1).localPath, work_.str() + "/1.png");
    EXPECT_EQ(records.at(1).jumpUrl, server_->BaseUrl() + "/content/jump/1");
    EXPECT_EQ(records.at(2).jumpUrl, "") << "only web addresses are handed on";
    EXPECT_EQ(records.at(3).prompt, "three");
    EXPECT_EQ(window_.Banners().PictureSuffix(), ".png");
    for (const auto& [sort, record] : records) EXPECT_TRUE(DecodesAsPicture(record.localPath, 1 << 20)) << sort;
    EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"1.png", "2.png", "3.png"})) << "no task files are left";
    EXPECT_EQ(server_->RecordsFor(kBannersPath).at(0).status, 200) << "the signed query was accepted";
    EXPECT_EQ(analytics_.Count("P|Download|DownloadCarouselImagesTime|DownloadCarouselImagesTimeInterval|[0~3]s"), 3u);
    EXPECT_TRUE(log_.Has(" Get Banner success"));
}

TEST_F(RemoteContentTest, EmptyRefusedOrMisshapenListsLeaveTheBuiltInBanners) {
    for (const char* body : {"[]", R"({"code":403})", R"({"banners": []})", R"("text")"}) {
        server_->ClearRules();
        ServeBannerList(body);
        Fetcher().GetCbsBanner();
        EXPECT_TRUE(window_.posted.empty()) << body;
    }
    EXPECT_EQ(window_.Banners().Count(), 0u);
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_TRUE(log_.Has(R"( Get Cbs Ban fail: {"code":403})"));
}

TEST_F(RemoteContentTest, DuplicateSortsShareOneFileAndTheLaterRecordStays) {
    window_.language = French;
    Fetcher().GetCbsBanner();

    EXPECT_TRUE(window_.ToldBannersArrived());
    const auto records = window_.Banners().All();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.at(1).prompt, "second");
    EXPECT_EQ(records.at(1).pictureUrl, Picture("5.png"));
    EXPECT_EQ(server_->RecordsFor(kBannersPath).at(0).params.at("lang_code"), "fr");
}

TEST_F(RemoteContentTest, AMissingOrUndecodablePictureKeepsTheBuiltInBanners) {
    ServeBannerList("[" + BannerJson(Picture("1.png"), 1) + "," + BannerJson(Picture("none.png"), 2) + "," +
                    BannerJson(Picture("broken.png"), 3) + "]");
    Fetcher().GetCbsBanner();

    EXPECT_TRUE(window_.posted.empty());
    EXPECT_EQ(window_.Banners().Count(), 1u) << "the picture that arrived is kept for the window";
    EXPECT_FALSE(fs::exists(work_.str() + "/3.png")) << "an undecodable picture is deleted";
    EXPECT_GE(server_->RecordsFor("/content/pictures/broken.png").size(), 3u) << "three tries";
    EXPECT_TRUE(log_.Has(" Get Cbs Ban4: 3/3, 3/3"));
}

TEST_F(RemoteContentTest, AnAttemptOfFourSecondsIsLabelledThreeToSix) {
    ServeBannerList("[]");
    std::int64_t calls = 0;
    clock_ = [&calls] { return calls++ * 4200; };
    Fetcher().GetCbsBanner();
    EXPECT_EQ(analytics_.Count("P|Download|ObtainCarouselMapTime|CarouselMapTimeInterval|[3~6]s"), 1u);
}

TEST_F(RemoteContentTest, StaleOrForgedQueriesAreRefused) {
    wallClock_ = [] { return FuntionImpl::CurrentUnixSeconds() - 3600; };
    Fetcher().GetCbsBanner();
    Fetcher().GetCbsPrivacy();
    EXPECT_TRUE(log_.HasPart(R"( Get Cbs Ban fail: {"code":403,"msg":"stale timestamp"})"));
    EXPECT_TRUE(log_.HasPart(R"( Get Cbs tcp fail: {"code":403,"msg":"stale timestamp"})"));
    EXPECT_TRUE(window_.posted.empty());
    EXPECT_EQ(window_.Configuration().GetPrivacyLink("fr"), "");

    std::string url = FuntionImpl::BannerQueryUrl(server_->BaseUrl(), "en", 8656, FuntionImpl::CurrentUnixSeconds());
    url.replace(url.find("parent_pid=8656"), 15, "parent_pid=8657");
    std::string reply;
    CLibcurlTool tool;
    EXPECT_EQ(tool.httpGet(url, reply, false), CURLE_OK);
    EXPECT_EQ(reply, R"({"code":403,"msg":"bad verify"})");
}

TEST_F(RemoteContentTest, LinksAreStoredPerLanguageAndAMissingPrivacyLinkIsReported) {
    window_.Configuration().SetDefaultLinks("https://default.example/licence", "https://default.example/privacy");
    Fetcher().GetCbsPrivacy();

    CConfigure& configuration = window_.Configuration();
    EXPECT_EQ(configuration.GetPrivacyLink("fr"), server_->BaseUrl() + "/content/privacy/fr.html");
    EXPECT_EQ(configuration.GetLicenceLink("de"), server_->BaseUrl() + "/content/terms/de.html");
    EXPECT_EQ(configuration.GetLicenceLink("ja"), server_->BaseUrl() + "/content/terms/ja.html");
    EXPECT_EQ(configuration.GetPrivacyLink("ja"), "https://default.example/privacy") << "empty: the default";
    EXPECT_EQ(configuration.GetPrivacyLink("ko"), "https://default.example/privacy") << "absent: the default";
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL004|0"), 1u);
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL005|0"), 0u);
    EXPECT_EQ(analytics_.Count("P|StartDownloader|ObtainProtocolTime|ProtocolObtainProtocolTime|[0~3]s"), 1u);
}

TEST_F(RemoteContentTest, HostileRepliesAreRefusedWithinBounds) {
    ServeBannerList("[\"" + std::string(10 << 20, 'a') + "\"]");
    Fetcher().GetCbsBanner();
    EXPECT_TRUE(log_.HasPart(" Get Cbs Ban2: 0, reply of 10485764 bytes"));

    server_->ClearRules();
    ServeBannerList(std::string(10000, '[') + std::string(10000, ']'));
    Fetcher().GetCbsBanner();
    EXPECT_TRUE(log_.HasPart(" Get Cbs Ban2: 0, nested deeper than 32 levels"));
    EXPECT_TRUE(window_.posted.empty());
}

TEST_F(RemoteContentTest, HostilePicturesAreRefusedWithinBounds) {
    server_->SetRule(R"({"path": "/loop.png", "redirectLoop": true})");
    ServeBannerList("[" + BannerJson(Picture("giant.png"), 1) + "," + BannerJson(Picture("2gib.bin"), 2) + "," +
                    BannerJson(server_->BaseUrl() + "/loop.png", 3) + "]");
    Fetcher().GetCbsBanner();

    EXPECT_TRUE(window_.posted.empty());
    EXPECT_EQ(window_.Banners().Count(), 0u);
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_TRUE(log_.HasPart("1.png does not decode as a picture of at most 16777216 pixels"));
    EXPECT_TRUE(log_.Has(" Get Cbs Ban picture refused: length 2147483648, allowed 1 to 8388608"));
    for (const auto& record : server_->RecordsFor("/content/pictures/2gib.bin")) EXPECT_EQ(record.method, "HEAD");
    EXPECT_TRUE(log_.Has(" Get Cbs Ban picture probe failed: 47, 302"));
    EXPECT_LE(server_->RecordsFor("/loop.png").size(), 3u * 6u) << "each try follows at most five redirects";
}

TEST_F(RemoteContentTest, EarlyQueryFillsTheConfigurationUnlessTheWindowIsClosing) {
    window_.closing = true;
    Fetcher().AsyncGetCbsInfo();
    EXPECT_TRUE(log_.Has(" GetDownloaderInfo(Async) abandon"));
    EXPECT_TRUE(server_->RecordsFor("/queryDownloaderV2").empty());

    window_.closing = false;
    window_.language = Korean;
    Fetcher().AsyncGetCbsInfo();
    EXPECT_EQ(window_.Configuration().GetLoadState(), CConfigure::LoadStateLoaded);
    EXPECT_EQ(server_->RecordsFor("/queryDownloaderV2").size(), 1u);
    EXPECT_TRUE(log_.Has(" Configure Load From XML! "));
    EXPECT_EQ(analytics_.Count("L|11|" + window_.Configuration().GetSoftwareVersion()), 1u);
}
