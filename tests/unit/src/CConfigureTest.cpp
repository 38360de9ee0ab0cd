// The product configuration: its pure rules, the embedded labels, and the
// download-information query and reply parse against the devserver.
#include <fstream>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cstdlib>
#include <thread>

#include "CConfigure.h"
#include "Common/EmbeddedLabels.h"
#include "SingleUserLog.h"
#include "support/DevServerSuite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// The labels of the shipped configure.xml, read from the source tree.
LabelList ShippedLabels() {
    const char* source = std::getenv("ZEMBRA_SOURCE_DIR");
    const std::string path = std::string(source ? source : ".") + "/skin/configure/configure.xml";
    tinyxml2::XMLDocument document;
    LabelList labels;
    if (document.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) return labels;
    const auto* container = document.RootElement()->FirstChildElement();
    for (const auto* label = container->FirstChildElement(); label; label = label->NextSiblingElement()) {
        labels.emplace_back(label->Attribute("name"), label->Attribute("text"));
    }
    return labels;
}

LabelList WithLabel(LabelList labels, const std::string& name, const std::string& text) {
    for (auto& [labelName, labelText] : labels) {
        if (labelName == name) labelText = text;
    }
    return labels;
}

TEST(ConfigureRulesTest, PackageTypeOnlyBelowTen) {
    EXPECT_EQ(QuerySuffixForOsVersion(8.1f), "&package_type=5");
    EXPECT_EQ(QuerySuffixForOsVersion(6.1f), "&package_type=5");
    EXPECT_EQ(QuerySuffixForOsVersion(10.0f), "");
    EXPECT_EQ(QuerySuffixForOsVersion(11.0f), "");
}

TEST(ConfigureRulesTest, QueryAddressCarriesTheDownloaderIdAndIsBounded) {
    EXPECT_EQ(DownloadInfoQueryUrl("https://cbs.example", 1033, 499, 412, ""),
              "https://cbs.example/queryDownloaderV2?LanguageId=1033&SoftWareID=499&SiteID=412");
    EXPECT_EQ(DownloadInfoQueryUrl("http://h", 1, 2, 3, "&package_type=5"),
              "http://h/queryDownloaderV2?LanguageId=1&SoftWareID=2&SiteID=3&package_type=5");
    EXPECT_EQ(DownloadInfoQueryUrl("https://" + std::string(600, 'a'), 1, 2, 3, "").size(), 511u);
}

TEST(ConfigureRulesTest, FragmentRunsFromTheFirstOpeningToTheNextClosingTag) {
    EXPECT_EQ(DownloaderFragment("x<Downloader><a>1</a></Downloader>y</Downloader>"),
              "<Downloader><a>1</a></Downloader>");
    EXPECT_EQ(DownloaderFragment("<Downloader></Downloader>"), "<Downloader></Downloader>");
    EXPECT_FALSE(DownloaderFragment("<Downloader><a>1</a>"));
    EXPECT_FALSE(DownloaderFragment("</Downloader><Downloader>"));
    EXPECT_FALSE(DownloaderFragment(std::string("\0\xff<Download", 11)));
}

TEST(ConfigureRulesTest, Utf8IsBoundedByCodePointsAndRepaired) {
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xC3\xA9";  // é
    EXPECT_EQ(BoundedUtf8(accents, 259), accents.substr(0, 518));
    EXPECT_EQ(BoundedUtf8("Zembra", 259), "Zembra");
    EXPECT_EQ(BoundedUtf8("a\xFF" "b", 259), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(BoundedUtf8("\xE6\x97", 259), "\xEF\xBF\xBD\xEF\xBF\xBD") << "a cut sequence";
    EXPECT_EQ(BoundedUtf8("\xED\xA0\x80", 259), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD") << "a surrogate";
    EXPECT_EQ(BoundedUtf8("\xF0\x9F\x98\x80x", 1), "\xF0\x9F\x98\x80");
}

TEST(ConfigureRulesTest, ProductPageLabelByLanguage) {
    EXPECT_EQ(ProductUrlLabel(English), "product_url_english");
    EXPECT_EQ(ProductUrlLabel(Chinese), "product_url_chinesesimp");
    EXPECT_EQ(ProductUrlLabel(ChineseTrad), "product_url_chinesetrad");
    EXPECT_EQ(ProductUrlLabel(Czech), "product_url_czech");
    EXPECT_EQ(ProductUrlLabel(20), "");
    EXPECT_EQ(ProductUrlLabel(-1), "");
}

TEST(ConfigureLayoutTest, ShippedLabelsFillTheRecord) {
    const LabelList labels = ShippedLabels();
    ASSERT_FALSE(labels.empty());
    CConfigure configure(0, 0, 0);
    EXPECT_EQ(configure.LoadFromLayout(EmbeddedConfigLabels(labels), false), 1);
    EXPECT_EQ(configure.LoadState, 1);
    EXPECT_EQ(configure.LoadSource, 0);
    EXPECT_EQ(configure.Downloader_id, 499);
    EXPECT_EQ(configure.Site_id, 412);
    EXPECT_EQ(configure.Language_id, 1033);
    EXPECT_EQ(configure.Software_name, "Zembra Morvanta");
    EXPECT_EQ(configure.Software_version, "1.0.0.0");
    EXPECT_EQ(configure.Process_name, "ZembraMorvanta.exe");
    EXPECT_NE(configure.Download_url.find("/downloads/extra/zembramorvanta_zembram.exe"), std::string::npos);
    EXPECT_EQ(configure.Filesize, 0);
    EXPECT_EQ(configure.InstallTimeout, 240);
    EXPECT_EQ(configure.Downloader_type, 1);
    EXPECT_TRUE(configure.CandidateUrls.empty());

    EXPECT_EQ(configure.LoadFromLayout(EmbeddedConfigLabels(labels), true), 1);
    EXPECT_EQ(configure.LoadState, 2);
    EXPECT_EQ(configure.LoadSource, 2);
    const std::vector<std::string> both = {configure.Download_url, configure.Extra_download_url};
    EXPECT_EQ(configure.CandidateUrls, both);
}

TEST(ConfigureLayoutTest, InstallTimeoutZeroOrNotANumberBecomes242) {
    const LabelList labels = ShippedLabels();
    CConfigure configure(0, 0, 0);
    configure.LoadFromLayout(EmbeddedConfigLabels(WithLabel(labels, "InstallTimeout", "0")), false);
    EXPECT_EQ(configure.InstallTimeout, 242);
    configure.LoadFromLayout(EmbeddedConfigLabels(WithLabel(labels, "InstallTimeout", "soon")), false);
    EXPECT_EQ(configure.InstallTimeout, 242);
    configure.LoadFromLayout(EmbeddedConfigLabels(WithLabel(labels, "Site_id", "x12")), false);
    EXPECT_EQ(configure.Site_id, 0) << "non-numbers in the embedded file become 0";
}

TEST(ConfigureLayoutTest, CdnAddressesAreNoCandidates) {
    LabelList labels = WithLabel(ShippedLabels(), "Download_url", "https://cdn.quenrick.example/a.exe");
    labels = WithLabel(labels, "Extra_download_url", "https://download.quenrick.example/a.exe");
    CConfigure configure(0, 0, 0);
    configure.LoadFromLayout(EmbeddedConfigLabels(labels), true);
    EXPECT_EQ(configure.CandidateUrls, std::vector<std::string>{"https://download.quenrick.example/a.exe"});
    labels = WithLabel(labels, "Extra_download_url", "https://dl.q.example/a");
    configure.LoadFromLayout(EmbeddedConfigLabels(labels), true);
    EXPECT_TRUE(configure.CandidateUrls.empty());
}

TEST(ConfigureLayoutTest, ResetEmptiesTheLoadedTexts) {
    CConfigure configure(0, 0, 0);
    configure.LoadFromLayout(EmbeddedConfigLabels(WithLabel(ShippedLabels(), "Md5_extra", "abc")), true);
    configure.Reset();
    EXPECT_EQ(configure.LoadState, 1);
    EXPECT_EQ(configure.LoadSource, 0);
    EXPECT_EQ(configure.Software_name, "");
    EXPECT_EQ(configure.Download_url, "");
    EXPECT_TRUE(configure.CandidateUrls.empty());
    EXPECT_EQ(configure.Downloader_id, 499) << "ids stay";
    EXPECT_EQ(configure.Md5_extra, "abc") << "texts after Licensefile_url stay";
}

TEST(ConfigureLinksTest, StoredLinksWinOverTheDefaults) {
    CConfigure configure(0, 0, 0);
    configure.SetDefaultLinks("https://q.example/licence", "https://q.example/privacy");
    configure.SetServiceUrls("fr", "https://q.example/fr/privacy", "https://q.example/fr/licence");
    configure.SetServiceUrls("de", "", "https://q.example/de/licence");
    EXPECT_EQ(configure.GetLicenceLink("fr"), "https://q.example/fr/licence");
    EXPECT_EQ(configure.GetPrivacyLink("fr"), "https://q.example/fr/privacy");
    EXPECT_EQ(configure.GetPrivacyLink("de"), "https://q.example/privacy") << "empty address";
    EXPECT_EQ(configure.GetLicenceLink("ja"), "https://q.example/licence") << "unknown language";
}

// The query and the parse against the devserver, with the settings file
// pointing the service hosts at it.
class ConfigureQueryTest : public testsupport::DevServerSuite {
protected:
    void SetUp() override {
        DevServerSuite::SetUp();
        if (HasFatalFailure()) return;
        server_->ClearRecords();
        WriteSettings("", server_->HttpsBaseUrl(), server_->HttpsBaseUrl());
        configure_.SetOsInfoSource([] { return OsNameAndVersion{"Debian GNU/Linux 12 (bookworm)", 12.0f}; });
    }
    void TearDown() override {
        CSingleUserLog& context = CSingleUserLog::GetInstance();
        context.downloaderConfig = context.sliceNum = context.sliceSize = 0;
        context.additionalTime = context.backRunning = 0;
    }

    void WriteSettings(const std::string& settings, const std::string& global, const std::string& regional) {
        dir_.WriteFile("qk_downloader.cfg", settings + "[Hosts]\nQueryGlobal=" + global + "\nQueryRegional=" +
                                                regional + "\nQueryTest=" + server_->BaseUrl() + "\nTlsCaFile=" +
                                                testsupport::TestTlsRoot() + "\n");
    }

    void ReplyWith(const Json::Value& fields) {
        Json::Value rule;
        rule["path"] = "/queryDownloaderV2";
        rule["queryReply"]["fields"] = fields;
        server_->SetRule(rule);
    }

    std::vector<testsupport::DevServerRecord> Queries() const { return server_->RecordsFor("/queryDownloaderV2"); }

    TempDir dir_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", dir_.str() + "/qk_downloader.cfg"};
    CConfigure configure_{499, 1033, 412};
};

TEST_F(ConfigureQueryTest, ReplyFillsTheRecordFromTheService) {
    LogCapture log;
    ASSERT_EQ(configure_.getDownloadInfoXml(false, false), 1);
    const auto queries = Queries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].scheme, "https");
    EXPECT_EQ(queries[0].query, "LanguageId=1033&SoftWareID=499&SiteID=412");
    EXPECT_EQ(configure_.GetQueryUrl(),
              server_->HttpsBaseUrl() + "/queryDownloaderV2?LanguageId=1033&SoftWareID=499&SiteID=412");
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async com): 0, "));
    EXPECT_TRUE(log.Contains(", Debian GNU/Linux 12 (bookworm), 12"));

    ASSERT_TRUE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.LoadState, 2);
    EXPECT_EQ(configure_.LoadSource, 1);
    EXPECT_EQ(configure_.Downloader_id, 499);
    EXPECT_EQ(configure_.Site_id, 412);
    EXPECT_EQ(configure_.Software_name, "Zembra Morvanta");
    const std::string package = server_->HttpsBaseUrl() + "/downloads/extra/zembramorvanta_zembram.exe";
    EXPECT_EQ(configure_.Download_url, package);
    EXPECT_EQ(configure_.CandidateUrls, (std::vector<std::string>{package, package}));
}

TEST_F(ConfigureQueryTest, StoredReplyIsKeptAndNotAskedForAgain) {
    ASSERT_EQ(configure_.getDownloadInfoXml(false, false), 1);
    EXPECT_EQ(configure_.getDownloadInfoXml(true, false), 0);
    EXPECT_EQ(configure_.getDownloadInfoXml(true, true), 0);
    EXPECT_EQ(Queries().size(), 1u);
    EXPECT_TRUE(configure_.ParseDownloadInfoXml());
    EXPECT_TRUE(configure_.ParseDownloadInfoXml()) << "later parses reuse the reply";
    EXPECT_EQ(configure_.CandidateUrls.size(), 2u);
}

TEST_F(ConfigureQueryTest, OlderSystemsAskForTheOtherPackageType) {
    configure_.SetOsInfoSource([] { return OsNameAndVersion{"Windows 8.1", 8.1f}; });
    ASSERT_EQ(configure_.getDownloadInfoXml(true, false), 1);
    ASSERT_EQ(Queries().size(), 1u);
    EXPECT_EQ(Queries()[0].query, "LanguageId=1033&SoftWareID=499&SiteID=412&package_type=5");
}

TEST_F(ConfigureQueryTest, LinuxVersionNumbersAreNotMistakenForOldWindows) {
    // A distribution numbered below 10 (or not numbered at all) is a current
    // system: the query must not ask for the legacy package.
    const std::string osRelease = dir_.str() + "/os-release";
    std::ofstream(osRelease) << "NAME=\"Alpine Linux\"\nVERSION_ID=3.19.1\n";
    const ScopedEnv release{"ZEMBRA_OS_RELEASE", osRelease};
    configure_.SetOsInfoSource({});
    ASSERT_EQ(configure_.getDownloadInfoXml(true, false), 1);
    ASSERT_EQ(Queries().size(), 1u);
    EXPECT_EQ(Queries()[0].query, "LanguageId=1033&SoftWareID=499&SiteID=412");
}

TEST_F(ConfigureQueryTest, RegionalHostAfterTheGlobalOneFails) {
    WriteSettings("", "http://127.0.0.1:1", server_->HttpsBaseUrl());
    LogCapture log;
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 0);
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async com): 7, 0, "));
    EXPECT_EQ(configure_.getDownloadInfoXml(false, true), 1);
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async cn): 0, "));
    EXPECT_EQ(Queries().size(), 1u);
}

TEST_F(ConfigureQueryTest, RegionalHostAfterTheGlobalOneShowsAnExpiredCertificate) {
    const auto expired = testsupport::MakeServerCertificate(dir_.str(), testsupport::CertificateKind::Expired);
    DevServer::Options options;
    options.tlsCert = expired.chain;
    options.tlsKey = expired.key;
    const DevServer untrusted(options);
    ASSERT_TRUE(untrusted.Started());
    WriteSettings("", untrusted.HttpsBaseUrl(), server_->HttpsBaseUrl());
    LogCapture log;
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 0);
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async com): 60, 0, "));
    EXPECT_TRUE(log.Contains(" TLS failure at 127.0.0.1: "));
    EXPECT_EQ(configure_.getDownloadInfoXml(false, true), 1);
    EXPECT_TRUE(untrusted.Records().empty());
    EXPECT_EQ(Queries().size(), 1u);
}

TEST_F(ConfigureQueryTest, TestEnvironmentUsesPlainHttpEvenForRegional) {
    WriteSettings("[Settings]\nTestEnv=1\n", "http://127.0.0.1:1", "http://127.0.0.1:1");
    LogCapture log;
    ASSERT_EQ(configure_.getDownloadInfoXml(true, true), 1);
    ASSERT_EQ(Queries().size(), 1u);
    EXPECT_EQ(Queries()[0].scheme, "http");
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Sync test): 0, "));
}

TEST_F(ConfigureQueryTest, ReplyWithoutClosingTagIsStoredNowhere) {
    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "noClosingTag"}})");
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 0);
    EXPECT_FALSE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.LoadState, 1);
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 1) << "nothing was stored, so it asks again";
    EXPECT_EQ(Queries().size(), 2u);
}

TEST_F(ConfigureQueryTest, MalformedReplyLeavesTheRecordUnloaded) {
    server_->SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"mode": "malformed"}})");
    configure_.LoadFromLayout(EmbeddedConfigLabels(ShippedLabels()), true);
    ASSERT_EQ(configure_.LoadState, 2);
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 1);
    EXPECT_FALSE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.LoadState, 1);
}

TEST_F(ConfigureQueryTest, HostileRepliesNeverGetFurtherThanTheParse) {
    LogCapture log;
    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "binary"}})");
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 0);

    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "huge", "size": 20000000}})");
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 0);
    EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async com): 23, "));

    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "deep", "size": 5000}})");
    EXPECT_EQ(configure_.getDownloadInfoXml(false, false), 1);
    EXPECT_FALSE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.LoadState, 1);
}

TEST_F(ConfigureQueryTest, ReplyValuesAreCheckedOneByOne) {
    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "\xC3\xA9";
    Json::Value fields;
    fields["Site_id"] = "abc";
    fields["Filesize"] = "12x";
    fields["Software_id"] = " 77 ";
    fields["Software_name"] = longName;
    fields["Download_url"] = "https://cdn.quenrick.example/a\r\nb.exe";
    fields["Extra_download_url"] = "https://download.quenrick.example/\na.exe";
    fields["Process_name"] = "Zembra\r\nMorvanta.exe";
    fields["Md5"] = Json::Value::null;  // element left out
    fields["Language_id"] = "2052";
    fields["Slice_num"] = "3";
    fields["Slice_size"] = "not a size";
    fields["Downloader_config"] = "2";
    fields["Unknown_element"] = "ignored";
    ReplyWith(fields);
    configure_.Md5 = "kept";
    configure_.Filesize = 5;
    ASSERT_EQ(configure_.getDownloadInfoXml(true, false), 1);
    ASSERT_TRUE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.Site_id, 412);
    EXPECT_EQ(configure_.Filesize, 5);
    EXPECT_EQ(configure_.Software_id, 77);
    EXPECT_EQ(configure_.Software_name, longName.substr(0, 518));
    EXPECT_EQ(configure_.Download_url, "https://cdn.quenrick.example/ab.exe");
    EXPECT_EQ(configure_.Extra_download_url, "https://download.quenrick.example/a.exe");
    EXPECT_EQ(configure_.Process_name, "ZembraMorvanta.exe");
    EXPECT_EQ(configure_.Md5, "kept");
    EXPECT_EQ(configure_.Language_id, 1033);
    EXPECT_EQ(configure_.CandidateUrls, std::vector<std::string>{"https://download.quenrick.example/a.exe"});

    CSingleUserLog& context = CSingleUserLog::GetInstance();
    EXPECT_EQ(configure_.Slice_num, 3);
    EXPECT_EQ(context.sliceNum, 3);
    EXPECT_EQ(context.sliceSize, 0);
    EXPECT_EQ(context.downloaderConfig, 2);
}

TEST_F(ConfigureQueryTest, CdnOnlyRepliesGiveNoCandidates) {
    Json::Value fields;
    fields["Download_url"] = "https://cdn.quenrick.example/a.exe";
    fields["Extra_download_url"] = "https://dl.quenrick.example/a.exe";
    ReplyWith(fields);
    ASSERT_EQ(configure_.getDownloadInfoXml(true, false), 1);
    ASSERT_TRUE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.LoadState, 2);
    EXPECT_TRUE(configure_.CandidateUrls.empty());
}

TEST_F(ConfigureQueryTest, BrokenUtf8NameIsRepaired) {
    Json::Value rule;
    rule["path"] = "/queryDownloaderV2";
    rule["bodyBase64"] = DevServer::Base64("<Downloader><Software_name>\xFF\xFEZembra</Software_name></Downloader>");
    server_->SetRule(rule);
    ASSERT_EQ(configure_.getDownloadInfoXml(false, false), 1);
    ASSERT_TRUE(configure_.ParseDownloadInfoXml());
    EXPECT_EQ(configure_.Software_name, "\xEF\xBF\xBD\xEF\xBF\xBDZembra");
}

TEST_F(ConfigureQueryTest, PrintContentWritesEveryField) {
    Json::Value fields;
    fields["Md5"] = "0123456789abcdef0123456789abcdef";
    fields["Filesize"] = "10485760";
    fields["Slice_size"] = "1048576";
    fields["Additional_time"] = "30";
    fields["Back_running"] = "1";
    fields["Download_url"] = "https://download.quenrick.example/p.exe";
    fields["Extra_download_url"] = "https://download.quenrick.example/q.exe";
    ReplyWith(fields);
    ASSERT_EQ(configure_.getDownloadInfoXml(true, false), 1);
    ASSERT_TRUE(configure_.ParseDownloadInfoXml());
    LogCapture log;
    EXPECT_EQ(configure_.printContent(), 1);
    const std::vector<std::string> expected = {
        " Configure Load From XML! ",
        " [File ContentLength]: 10485760",
        " [Downloader Id]: 499",
        " [SoftWare Id]: 0",
        " [Site Id]: 412",
        " [Language Id]: 1033",
        " [Software Name]: Zembra Morvanta",
        " [Software Version]: 1.0.0.0",
        " [Remote Path]: https://download.quenrick.example/p.exe",
        " [MD5 String]: 0123456789abcdef0123456789abcdef",
        " [Process Name]: ZembraMorvanta.exe",
        " [Install Url]: ",
        " [Banner Url]: ",
        " [Licensefile Url]: ",
        " [Extra Download Url]: https://download.quenrick.example/q.exe",
        " [Cnet Download Url]: ",
        " [MD5 Extra String]: ",
        " [Downloader config]: 0",
        " [Slice num]: 0",
        " [Slice size]: 1048576",
        " [Additional Time]: 30",
        " [Allow Back Running]: 1",
    };
    EXPECT_EQ(log.Lines(), expected);
}

TEST_F(ConfigureQueryTest, ConcurrentQueriesAskOnce) {
    server_->SetRule(R"({"path": "/queryDownloaderV2", "latencyMs": 300})");
    int prefetchResult = -1;
    bool prefetchParsed = false;
    std::thread prefetch([&] {
        prefetchResult = configure_.getDownloadInfoXml(false, false);
        prefetchParsed = configure_.ParseDownloadInfoXml();
    });
    const int workerResult = configure_.getDownloadInfoXml(true, false);
    const bool workerParsed = configure_.ParseDownloadInfoXml();
    prefetch.join();
    EXPECT_EQ(prefetchResult + workerResult, 1);
    EXPECT_TRUE(prefetchParsed);
    EXPECT_TRUE(workerParsed);
    EXPECT_EQ(Queries().size(), 1u);
    EXPECT_EQ(configure_.LoadState, 2);
}

}  // namespace
