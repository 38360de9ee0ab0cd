#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "CLibcurlTool.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/HistoryFile.h"
#include "reportsdk/ReportFacts.h"
#include "support/DevServer.h"
#include "support/LogCapture.h"
#include "support/TestCertificates.h"
#include "support/TempDir.h"

using testsupport::CertificateKind;
using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const std::string kCollectorPayload = "{\n\t\"common\" : {\"cross_end_id\" : \"\", \"source_type\" : \"downloader\"}\n}\n";

// Every request of the process trusts the test CA and sends its analytics
// to the server under test.
class TlsVerificationTest : public ::testing::Test {
protected:
    std::unique_ptr<DevServer> ServedWith(const testsupport::CertificateFiles& files) {
        DevServer::Options options;
        options.tlsCert = files.chain;
        options.tlsKey = files.key;
        auto server = std::make_unique<DevServer>(options);
        server->AddFile("/ok.txt", "verified");
        dir_.WriteFile("qk_downloader.cfg", server->HostsSection());
        return server;
    }
    std::unique_ptr<DevServer> ServedWith(CertificateKind kind) {
        return ServedWith(testsupport::MakeServerCertificate(dir_.str(), kind));
    }

    TempDir dir_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", dir_.str() + "/qk_downloader.cfg"};
    ScopedEnv appData_{"APPDATA", dir_.str()};
    CLibcurlTool tool_;
};

// Accepts one connection on 127.0.0.1, reads the client's first bytes,
// answers with the start of a handshake record and closes.
class HalfHandshakeServer {
public:
    HalfHandshakeServer() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(socket_, 1) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { ServeOnce(); });
    }
    ~HalfHandshakeServer() {
        ::shutdown(socket_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        ::close(socket_);
    }
    int Port() const { return port_; }

private:
    void ServeOnce() {
        const int client = ::accept(socket_, nullptr, nullptr);
        if (client < 0) return;
        char hello[512];
        (void)::recv(client, hello, sizeof hello, 0);
        const char start[] = {0x16, 0x03, 0x03, 0x00, 0x40, 0x02, 0x00};
        (void)::send(client, start, sizeof start, MSG_NOSIGNAL);
        ::close(client);
    }

    int socket_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace

TEST_F(TlsVerificationTest, RefusedCertificateFailsEveryRequestKindWithItsHostAndReason) {
    struct Refusal {
        CertificateKind kind;
        const char* reason;
    };
    for (const Refusal& refusal :
         {Refusal{CertificateKind::UnknownIssuer, "(SSL certificate problem: self-signed certificate)"},
          Refusal{CertificateKind::Expired, "(SSL certificate problem: certificate has expired)"},
          Refusal{CertificateKind::WrongName,
                  "(SSL: no alternative certificate subject name matches target host name '127.0.0.1')"}}) {
        SCOPED_TRACE(refusal.reason);
        const auto server = ServedWith(refusal.kind);
        ASSERT_TRUE(server->Started());
        LogCapture log;
        std::string body;
        EXPECT_EQ(tool_.httpGet(server->HttpsBaseUrl() + "/ok.txt", body, false), CURLE_PEER_FAILED_VERIFICATION);
        EXPECT_EQ(body, "");
        std::string reply;
        EXPECT_EQ(tool_.HttpPost(server->HttpsBaseUrl() + "/api/exception/send", "pid=499", &reply, ""),
                  CURLE_PEER_FAILED_VERIFICATION);
        EXPECT_TRUE(log.Contains(" TLS failure at 127.0.0.1: SSL peer certificate or SSH remote key was not OK " +
                                 std::string(refusal.reason)))
            << testing::PrintToString(log.Lines());
        EXPECT_TRUE(server->Records().empty()) << "no request may pass a refused handshake";
    }
}

TEST_F(TlsVerificationTest, CertificateOfTheConfiguredRootIsAccepted) {
    // The devserver's own certificate, issued by the build's test CA.
    const auto server = ServedWith(testsupport::CertificateFiles{});
    ASSERT_TRUE(server->Started());
    std::string body;
    EXPECT_EQ(tool_.httpGet(server->HttpsBaseUrl() + "/ok.txt", body, false), CURLE_OK);
    EXPECT_EQ(body, "verified");

    // Without the root the same server is unknown; a root file that cannot
    // be read trusts nothing at all.
    dir_.WriteFile("qk_downloader.cfg", "[Hosts]\n");
    EXPECT_EQ(tool_.httpGet(server->HttpsBaseUrl() + "/ok.txt", body, false), CURLE_PEER_FAILED_VERIFICATION);
    dir_.WriteFile("qk_downloader.cfg", "[Hosts]\nTlsCaFile=missing.pem\n");
    LogCapture log;
    EXPECT_EQ(tool_.httpGet(server->HttpsBaseUrl() + "/ok.txt", body, false), CURLE_SSL_CACERT_BADFILE);
    EXPECT_TRUE(log.Contains(" TLS failure at 127.0.0.1: ")) << testing::PrintToString(log.Lines());
}

TEST_F(TlsVerificationTest, AnalyticsEventStaysInTheHistoryWhenTheCollectorIsNotTrusted) {
    const auto server = ServedWith(CertificateKind::Expired);
    ASSERT_TRUE(server->Started());
    ReportFacts facts = SystemReportFacts();
    if (facts.volumeId().empty()) facts.volumeId = [] { return std::string("7d3c0a9e-51b2-4c43-9a55-2f0b6f4e1d20"); };
    CManagement management(facts, dir_.str() + "/ZembraMorvantaSetup");
    management.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    {
        CNetworkCommunicate network(management);
        EXPECT_EQ(network.Submit("2::1700000010001::Download::1.Launch", kCollectorPayload, false, true, true), 0);
    }
    const auto history = HistoryFile(management.HistoryPath()).Read();
    ASSERT_EQ(history.entries.size(), 1u) << ReadFile(management.LogPath());
    EXPECT_EQ(history.entries[0].content, kCollectorPayload);
    EXPECT_NE(ReadFile(management.LogPath()).find("] PostDataError: 60, TLS failure at 127.0.0.1: "), std::string::npos)
        << ReadFile(management.LogPath());
}

TEST_F(TlsVerificationTest, HostileHandshakesFailTheRequestWithALogLine) {
    {
        // The name check must not stop at a NUL inside the certificate's name.
        const auto server = ServedWith(CertificateKind::NulInName);
        ASSERT_TRUE(server->Started());
        LogCapture log;
        std::string body;
        EXPECT_EQ(tool_.httpGet("https://localhost:" + std::to_string(server->HttpsPort()) + "/ok.txt", body, false),
                  CURLE_PEER_FAILED_VERIFICATION);
        EXPECT_TRUE(log.Contains(" TLS failure at localhost: "));
    }
    {
        const auto files = testsupport::MakeServerCertificate(dir_.str(), CertificateKind::Trusted);
        ASSERT_TRUE(testsupport::PadCertificateChain(files.chain, 10u << 20));
        const auto server = ServedWith(files);
        ASSERT_TRUE(server->Started());
        LogCapture log;
        std::string body;
        EXPECT_NE(tool_.httpGet(server->HttpsBaseUrl() + "/ok.txt", body, false), CURLE_OK);
        EXPECT_TRUE(log.Contains(" TLS failure at 127.0.0.1: ")) << testing::PrintToString(log.Lines());
    }
    {
        HalfHandshakeServer server;
        ASSERT_GT(server.Port(), 0);
        LogCapture log;
        std::string body;
        EXPECT_NE(tool_.httpGet("https://127.0.0.1:" + std::to_string(server.Port()) + "/", body, false), CURLE_OK);
        EXPECT_TRUE(log.Contains(" TLS failure at 127.0.0.1: ")) << testing::PrintToString(log.Lines());
    }
}
