#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "ReportTestKit.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/CurlPost.h"
#include "reportsdk/HistoryFile.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// A loopback server that reads one request per connection, keeps its raw
// bytes and answers with a fixed status, or never answers at all.
class RawServer {
public:
    explicit RawServer(int status, bool answer = true) : status_(status), answer_(answer) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 16);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~RawServer() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
        for (const int client : clients_) close(client);
    }

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::string Request() {
        std::lock_guard hold(lock_);
        return request_;
    }
    int Connections() const { return connections_; }

private:
    void Serve() {
        while (!stop_) {
            const int client = accept(fd_, nullptr, nullptr);
            if (client < 0) return;
            ++connections_;
            if (!answer_) {
                clients_.push_back(client);
                continue;
            }
            std::string request;
            char buffer[4096];
            for (;;) {
                const auto headerEnd = request.find("\r\n\r\n");
                if (headerEnd != std::string::npos) {
                    const auto lengthAt = request.find("Content-Length: ");
                    const std::size_t body = lengthAt == std::string::npos ? 0 : std::stoul(request.substr(lengthAt + 16));
                    if (request.size() >= headerEnd + 4 + body) break;
                }
                const ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard hold(lock_);
                request_ = request;
            }
            const std::string reply = "HTTP/1.1 " + std::to_string(status_) + " Status\r\nContent-Length: 0\r\n\r\n";
            write(client, reply.data(), reply.size());
            close(client);
        }
    }

    int status_;
    bool answer_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::vector<int> clients_;
    std::mutex lock_;
    std::string request_;
    std::thread thread_;
};

}  // namespace

TEST(CurlPostTest, PostCarriesTheFixedHeadersInOrderAndTheExactBody) {
    RawServer server(200);
    const std::string body = std::string("{\"a\" : \"\xC3\xA9\"}\n") + std::string("\0x", 2);
    const PostOutcome outcome = CurlPost(server.Url("/collect"), body, "", {}, nullptr);
    EXPECT_EQ(outcome.curlCode, 0);
    EXPECT_EQ(outcome.status, 200);
    const std::string request = server.Request();
    EXPECT_EQ(request.rfind("POST /collect HTTP/1.1\r\n", 0), 0u) << request;
    const auto agent = request.find("User-Agent:PostmanRuntime/7.29.2\r\n");
    const auto accept = request.find("Accept:*/*\r\n");
    const auto encoding = request.find("Accept-Encoding:gzip, deflate, br\r\n");
    const auto connection = request.find("Connection:keep-alive\r\n");
    const auto type = request.find("Content-Type:application/json; charset=utf-8\r\n");
    ASSERT_NE(type, std::string::npos) << request;
    EXPECT_LT(agent, accept);
    EXPECT_LT(accept, encoding);
    EXPECT_LT(encoding, connection);
    EXPECT_LT(connection, type);
    EXPECT_NE(request.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), body);
}

TEST(CurlPostTest, RequestsThatHangEndAtTheTotalTimeOut) {
    RawServer silent(200, false);
    PostLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(300);
    const PostOutcome outcome = CurlPost(silent.Url("/g/collect"), "", "", limits, nullptr);
    EXPECT_EQ(outcome.curlCode, 28);  // CURLE_OPERATION_TIMEDOUT
    EXPECT_EQ(outcome.status, 0);
}

TEST(CurlPostTest, ProxyOfTheFileIsUsed) {
    RawServer proxy(204);
    const PostOutcome outcome = CurlPost("http://collector.invalid/collect", "{}", proxy.Url(""), {}, nullptr);
    EXPECT_EQ(outcome.status, 204);
    EXPECT_EQ(proxy.Request().rfind("POST http://collector.invalid/collect HTTP/1.1\r\n", 0), 0u) << proxy.Request();
}

TEST(CurlPostTest, StoppingTheSenderCutsAHangingRequestAndKeepsItsEntry) {
    TempDir appData;
    TempDir programDir;
    RawServer silent(200, false);
    ScopedEnv appDataEnv{"APPDATA", appData.str()};
    ScopedEnv settingsEnv{"ZEMBRA_SETTINGS_FILE",
                          programDir.WriteFile("qk_downloader.cfg", "[Hosts]\nCollector=" + silent.Url("") + "\n")};
    reporttest::ManualClock clock;
    CManagement management{reporttest::FixedFacts(clock), programDir.str() + "/ZembraMorvantaSetup"};
    management.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    auto network = std::make_unique<CNetworkCommunicate>(management);
    const std::string payload = "{\"source_type\" : \"downloader\", \"cross_end_id\" : \"\"}";
    network->Submit("2::1700000000000::Download::x", payload, false, true, false);
    ASSERT_TRUE(reporttest::Eventually([&] { return silent.Connections() > 0; }));
    // The default limits would hold the request for seconds; stopping ends it at once.
    network.reset();
    const auto entries = HistoryFile(management.HistoryPath()).Read().entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].content, payload);
    EXPECT_NE(ReadFile(management.LogPath()).find("] PostDataError: 42, "), std::string::npos);
}
