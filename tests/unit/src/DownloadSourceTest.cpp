#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "DownloadSource.h"
#include "LogCapture.h"
#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace {

using platform::RegistryHive;
using platform::RegistryStore;
using testsupport::ScopedEnv;
using testsupport::TempDir;

// A local HTTP server that answers one request and keeps what it received.
class OneRequestServer {
public:
    explicit OneRequestServer(std::string reply) : reply_(std::move(reply)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        worker_ = std::thread([this] { Serve(); });
    }
    ~OneRequestServer() {
        if (worker_.joinable()) worker_.join();
        ::close(listener_);
    }

    int port() const { return port_; }
    // Waits for the request to be handled; then the fields below are set.
    void Finish() {
        if (worker_.joinable()) worker_.join();
    }
    std::string requestLine;
    std::string body;

private:
    void Serve() {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1) return;
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) return;
        std::string received;
        char buffer[4096];
        std::size_t expected = std::string::npos;
        while (expected == std::string::npos || received.size() < expected) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 20000) != 1) break;
            const ssize_t got = ::read(connection, buffer, sizeof buffer);
            if (got <= 0) break;
            received.append(buffer, static_cast<std::size_t>(got));
            const auto headerEnd = received.find("\r\n\r\n");
            if (expected == std::string::npos && headerEnd != std::string::npos) {
                const auto lengthAt = received.find("Content-Length: ");
                const std::size_t length =
                    lengthAt == std::string::npos ? 0 : std::stoul(received.substr(lengthAt + 16));
                expected = headerEnd + 4 + length;
            }
        }
        requestLine = received.substr(0, received.find("\r\n"));
        const auto headerEnd = received.find("\r\n\r\n");
        if (headerEnd != std::string::npos) body = received.substr(headerEnd + 4);
        const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(reply_.size()) +
                                     "\r\nConnection: close\r\n\r\n" + reply_;
        [[maybe_unused]] const ssize_t sent = ::write(connection, response.data(), response.size());
        ::close(connection);
    }

    std::string reply_;
    int listener_ = -1;
    int port_ = 0;
    std::thread worker_;
};

class DownloadSourceTest : public ::testing::Test {
protected:
    void Settings(const std::string& text) { temp_.WriteFile("qk_downloader.cfg", text); }

    TempDir temp_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", temp_.str() + "/qk_downloader.cfg"};
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    testsupport::LogCapture log_;
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
    OneRequestServer server("{\"code\":200}");
    ASSERT_NE(server.port(), 0);
    Settings("[Hosts]\nErrorReport=http://127.0.0.1:" + std::to_string(server.port()) + "\n");
    EXPECT_EQ(SendErrorReport(77, Md5FailCode(1), "https://q.example/query", "https://d.example/zm.exe"), 0);
    server.Finish();
    EXPECT_EQ(server.requestLine, "POST /api/exception/send HTTP/1.1");
    EXPECT_EQ(server.body, "pid=77&type=2&exception_code=MD5_Check_Fail_Cfg1&other=https://q.example/query,"
                           "https://d.example/zm.exe");
    EXPECT_TRUE(log_.Has(" Send error report2, response is {\"code\":200}, return 0"));
}

TEST_F(DownloadSourceTest, UnreachableServiceCostsOnlyTheAttempt) {
    // A port nobody listens on: bind one, then close it.
    int port = 0;
    {
        OneRequestServer closed("");
        port = closed.port();
        // Wake its accept so it ends at once.
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::close(probe);
    }
    Settings("[Hosts]\nErrorReport=http://127.0.0.1:" + std::to_string(port) + "\n");
    EXPECT_EQ(SendErrorReport(1, kRedirectReportCode, "a", "b"), 7);  // could not connect
    EXPECT_TRUE(log_.Has(" Send error report1, response is , return 7"));
}

}  // namespace
