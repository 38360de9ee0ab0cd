#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "DownloadSource.h"
#include "support/DevServer.h"
#include "LogLines.h"
#include "platform/RegistryStore.h"
#include "support/TempDir.h"
#include "support/LoopbackPort.h"

namespace {

using platform::RegistryHive;
using platform::RegistryStore;
using testsupport::ScopedEnv;
using testsupport::TempDir;

class DownloadSourceTest : public ::testing::Test {
protected:
    void Settings(const std::string& text) { temp_.WriteFile("qk_downloader.cfg", text); }

    TempDir temp_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", temp_.str() + "/qk_downloader.cfg"};
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    LogLines log_;
};

TEST(CdnAddressTest, CdnOrDlRightAfterTheSlashes) {
    EXPECT_TRUE(IsCdnUrl("https://cdn.example.com/zm.exe"));
    EXPECT_TRUE(IsCdnUrl("http://dl.example.com/zm.exe"));
    EXPECT_TRUE(IsCdnUrl("https://a.example.com/redirect?to=https://dl.x.com/zm.exe"));
    EXPECT_FALSE(IsCdnUrl("https://xcdn.example.com/zm.exe"));
    EXPECT_FALSE(IsCdnUrl("https://mdl.example.com/zm.exe"));
    EXPECT_FALSE(IsCdnUrl("https://CDN.example.com/zm.exe"));  // case-sensitive
    EXPECT_FALSE(IsCdnUrl(""));
}

TEST(UrlHostTest, HostBetweenTheSlashes) {
    EXPECT_EQ(GetUrlHost("https://Download.Example.COM/files/zm.exe"), "download.example.com");
    EXPECT_EQ(GetUrlHost("http://a.b/c"), "a.b");
    EXPECT_EQ(GetUrlHost("https://localhost/zm"), "");  // no dot before a slash
    EXPECT_EQ(GetUrlHost("https://www.example.com"), "");  // no slash after the dot
    EXPECT_EQ(GetUrlHost("www.example.com/zm.exe"), "");  // no slash before the dot
    EXPECT_EQ(GetUrlHost(""), "");
}

TEST_F(DownloadSourceTest, HostClasses) {
    Settings("[Hosts]\nMirrorHost=Mirror.Example.NET\n");
    EXPECT_EQ(GetHostType("https://dl.example.com/zm.exe"), 10);
    EXPECT_EQ(GetHostType("https://cdn.example.com/zm.exe"), 10);
    EXPECT_EQ(GetHostType("https://xdl.example.com/zm.exe"), 11);
    EXPECT_EQ(GetHostType("https://xdl.aliyuncs.com/zm.exe"), 12);
    EXPECT_EQ(GetHostType("https://dl.aliyuncs.com/zm.exe"), 10);  // the CDN rule comes first
    EXPECT_EQ(GetHostType("https://mirror.example.net/zm.exe"), 13);
    EXPECT_EQ(GetHostType("https://other.example.net/zm.exe"), 11);
    EXPECT_EQ(GetHostType("not an address"), 10);
    EXPECT_EQ(GetHostType("https://x/y.z"), 10);  // the rule finds no host here
}

TEST(CdnCounterTest, AboveThreeForbids) {
    EXPECT_TRUE(CounterForbidsCdn("4"));
    EXPECT_FALSE(CounterForbidsCdn("3"));
    EXPECT_TRUE(CounterForbidsCdn("12x"));
    EXPECT_FALSE(CounterForbidsCdn("x9"));
    EXPECT_FALSE(CounterForbidsCdn(""));
    EXPECT_TRUE(CounterForbidsCdn(std::string(50, '9')));
}

TEST_F(DownloadSourceTest, CounterComesFromTheProductsUninstallKey) {
    const std::string key = "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZembraMorvanta";
    EXPECT_FALSE(isForbidCDN("ZembraMorvanta"));
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, key, "RequestTooMuchTimes", "4"));
    EXPECT_TRUE(isForbidCDN("ZembraMorvanta"));
    EXPECT_FALSE(isForbidCDN("OtherProduct"));
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, key, "RequestTooMuchTimes", "3"));
    EXPECT_FALSE(isForbidCDN("ZembraMorvanta"));
}

TEST_F(DownloadSourceTest, EachCdnFailureAddsOneUpToForbidding) {
    const std::string key = "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZembraMorvanta";
    const auto counter = [&] {
        return RegistryStore::ReadString(RegistryHive::LocalMachine, key, "RequestTooMuchTimes").value_or("");
    };
    ASSERT_TRUE(AddDownloadRequestCount("ZembraMorvanta"));
    EXPECT_EQ(counter(), "1");
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(AddDownloadRequestCount("ZembraMorvanta"));
    EXPECT_EQ(counter(), "4");
    EXPECT_TRUE(isForbidCDN("ZembraMorvanta"));
    // One character: a stored 9 stays 9 instead of wrapping to a non-digit.
    EXPECT_EQ(NextRequestCounter("9"), "9");
    EXPECT_EQ(NextRequestCounter("x"), "1");
}

TEST_F(DownloadSourceTest, FirstDirectCandidateIsUsed) {
    const std::string key = "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZM";
    ASSERT_TRUE(RegistryStore::WriteString(RegistryHive::LocalMachine, key, "RequestTooMuchTimes", "5"));
    EXPECT_EQ(CheckRemotePath({"https://cdn.example.com/zm.exe", "https://www.example.com/zm.exe",
                               "https://b.example.com/zm.exe"},
                              "ZM"),
              "https://www.example.com/zm.exe");
    // The counter is only logged; it does not change the choice.
    EXPECT_TRUE(log_.Has(" isForbidCDN: 1"));
    EXPECT_TRUE(log_.Has(" UrlUsed: https://www.example.com/zm.exe"));

    log_.Clear();
    EXPECT_EQ(CheckRemotePath({"https://cdn.example.com/zm.exe", "https://dl.example.com/zm.exe"}, "None"), "");
    EXPECT_TRUE(log_.Has(" isForbidCDN: 0"));
    EXPECT_TRUE(log_.Has(" checkRemotePath fail: -1"));
    EXPECT_EQ(CheckRemotePath({}, "None"), "");
}

TEST(ErrorReportBodyTest, TheFourReports) {
    EXPECT_EQ(ErrorReportBody(499, kRedirectReportCode, "https://q/queryDownloaderV2?a=1", "https://d/zm.exe"),
              "pid=499&type=2&exception_code=Url_Too_Many_Redirects&other=https://q/queryDownloaderV2?a=1,"
              "https://d/zm.exe");
    EXPECT_EQ(ErrorReportBody(12, Md5AndHashFailCode(2), "q", "u"),
              "pid=12&type=2&exception_code=MD5_Hash_Check_Fail_Cfg2&other=q,u");
    EXPECT_EQ(ErrorReportBody(12, Md5FailCode(0), "q", "u"), "pid=12&type=2&exception_code=MD5_Check_Fail_Cfg0&other=q,u");
    EXPECT_EQ(ErrorReportBody(12, HashFailCode(1), "", ""), "pid=12&type=2&exception_code=Hash_Check_Fail_Cfg1&other=,");
}

TEST(ErrorReportBodyTest, LongDetailsAreCutToTheBuffers) {
    const std::string longUrl = "https://example.com/" + std::string(5000, 'a');
    EXPECT_EQ(ErrorReportBody(1, kRedirectReportCode, longUrl, longUrl).size(), 2047u);
    EXPECT_EQ(ErrorReportBody(1, HashFailCode(0), longUrl, longUrl).size(), 1023u);
    // Never inside a character.
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "\xE6\x9D\xB1";
    const std::string body = ErrorReportBody(1, HashFailCode(0), text, text);
    EXPECT_LE(body.size(), 1023u);
    EXPECT_EQ((body.size() - std::string("pid=1&type=2&exception_code=Hash_Check_Fail_Cfg0&other=").size()) % 3, 0u);
}

TEST_F(DownloadSourceTest, EndpointFollowsTestEnv) {
    Settings("[Settings]\nTestEnv=1\n[Hosts]\nErrorReport=https://prod.example\nErrorReportTest=http://test.example:81\n");
    EXPECT_EQ(ErrorReportEndpoint(), "http://test.example:81/api/exception/send");
    Settings("[Settings]\nTestEnv=0\n[Hosts]\nErrorReport=https://prod.example\n");
    EXPECT_EQ(ErrorReportEndpoint(), "https://prod.example/api/exception/send");
}

TEST_F(DownloadSourceTest, ReportIsPostedAndTheReplyLogged) {
    testsupport::DevServer server;
    ASSERT_TRUE(server.Started());
    // Over verified https: the settings trust the test CA that issued the devserver's certificate.
    Settings(server.HostsSection(true));
    EXPECT_EQ(SendErrorReport(77, Md5FailCode(1), "https://q.example/query?a=1", "https://d.example/zm.exe"), 0);
    const auto records = server.WaitForRecords("/api/exception/send", 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].method, "POST");
    EXPECT_EQ(records[0].scheme, "https");
    EXPECT_EQ(records[0].body, "pid=77&type=2&exception_code=MD5_Check_Fail_Cfg1&other=https://q.example/query?a=1,"
                               "https://d.example/zm.exe");
    EXPECT_TRUE(log_.Has(" Send error report2, response is {\"code\":0,\"msg\":\"ok\"}, return 0"));

    // The test service when TestEnv is on; the redirect report logs as report 1.
    Settings("[Settings]\nTestEnv=1\n[Hosts]\nErrorReport=https://unused.invalid\nErrorReportTest=" +
             server.BaseUrl() + "\n");
    EXPECT_EQ(SendErrorReport(499, kRedirectReportCode, "q", "u"), 0);
    const auto both = server.WaitForRecords("/api/exception/send", 2);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].body, "pid=499&type=2&exception_code=Url_Too_Many_Redirects&other=q,u");
    EXPECT_TRUE(log_.Has(" Send error report1, response is {\"code\":0,\"msg\":\"ok\"}, return 0"));
}

TEST_F(DownloadSourceTest, UnreachableServiceCostsOnlyTheAttempt) {
    const int closedPort = testsupport::ClosedLoopbackPort();
    ASSERT_NE(closedPort, 0);
    Settings("[Hosts]\nErrorReport=http://127.0.0.1:" + std::to_string(closedPort) + "\n");
    EXPECT_EQ(SendErrorReport(1, kRedirectReportCode, "a", "b"), 7);  // could not connect
    EXPECT_TRUE(log_.Has(" Send error report1, response is , return 7"));
}

}  // namespace
