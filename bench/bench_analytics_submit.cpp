// How much an analytics event costs its caller while the collector is down
// or hangs. Prints the time of 1,000 events submitted without waiting, the
// size and validity of the history file they leave, and the same burst
// against a plain implementation that parses and rewrites the history file
// for every event.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#include "SingleUserLog.h"
#include "platform/Folders.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/HistoryFile.h"
#include "reportsdk/JsonText.h"
#include "reportsdk/WebLog.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// A port that accepts connections and never answers: a hanging collector.
int HangingListener(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 64);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

ReportFacts BenchFacts() {
    ReportFacts facts;
    facts.sessionGuid = [] { return std::string("0A1B2C3D-0001-0002-0304-05060708090A"); };
    facts.volumeId = [] { return std::string("7d3c0a9e-51b2-4c43-9a55-2f0b6f4e1d20"); };
    facts.volumeSerial = [] { return std::string("5E2A91C4"); };
    facts.osName = [] { return std::string("Debian GNU/Linux 12-64"); };
    facts.osVersion = [] { return std::string("12(bookworm)"); };
    facts.macAddress = [] { return std::string("52:54:00:AB:CD:EF"); };
    facts.nowMilliseconds = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    return facts;
}

struct Burst {
    double seconds = 0;
    double slowestCallMs = 0;
    std::size_t historyBytes = 0;
    std::size_t historyEntries = 0;
    bool historyValid = false;
};

Burst RunBurst(const std::string& root, const std::string& hostsLines, int events) {
    std::filesystem::create_directories(root);
    setenv("APPDATA", root.c_str(), 1);
    const std::string settings = root + "/qk_downloader.cfg";
    std::ofstream(settings) << "[Hosts]\n" << hostsLines;
    setenv("ZEMBRA_SETTINGS_FILE", settings.c_str(), 1);

    CManagement management(BenchFacts(), root + "/ZembraMorvantaSetup");
    CNetworkCommunicate network(management);
    WebLog library(management, [&]() -> CNetworkCommunicate& { return network; }, false);
    UserLogEnvironment environment;
    environment.toolsVersion = [] { return std::string("2.9.0.0"); };
    environment.measurementId = [] { return std::string("G-ZM7Q2K9R4X"); };
    environment.withReportObj = [&](const std::function<int(IWebLog*)>& call) { return call(&library); };
    CSingleUserLog logger(environment);
    logger.InitLogPaths("bench");
    logger.InitUserLog(499, 412, "1.0.0.0", "Zembra Morvanta", "https://d.example/zembramorvanta.exe", false, 8656);

    Burst burst;
    const auto start = Clock::now();
    for (int i = 0; i < events; ++i) {
        const auto before = Clock::now();
        // Distinct actions: equal events would be dropped after the eleventh.
        if (i % 2 == 0)
            logger.AddUserLogEvent("Other", "DownloadTime" + std::to_string(i), std::to_string(i * 7), false);
        else
            logger.AddUserLog_funnelParam(false, false, "RunningTime", "DownloadDuration" + std::to_string(i),
                                          "DownloadCompleted", std::to_string(i));
        burst.slowestCallMs = std::max(burst.slowestCallMs, Seconds(Clock::now() - before) * 1000);
    }
    burst.seconds = Seconds(Clock::now() - start);

    const std::string history = management.HistoryPath();
    std::ifstream in(history, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    burst.historyBytes = text.str().size();
    Json::Value document;
    burst.historyValid = JsonText::Parse(text.str(), document) && document["send_count"].isInt();
    burst.historyEntries = document["send_item"].size();
    network.Stop();
    return burst;
}

// The plain way: parse the whole file, append, write it back, per event.
double PlainRewriteBurst(const std::string& root, int events, std::size_t payloadBytes) {
    std::filesystem::create_directories(root);
    const std::string path = root + "/tempga.wk";
    const std::string payload(payloadBytes, 'x');
    const auto start = Clock::now();
    for (int i = 0; i < events; ++i) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        Json::Value document;
        JsonText::Parse(text.str(), document);
        Json::Value item;
        item["task_guid"] = "1::" + std::to_string(1700000000000 + i) + "::Other::x";
        item["task_status"] = 0;
        item["task_content"] = payload;
        document["send_item"].append(item);
        document["send_count"] = static_cast<int>(document["send_item"].size());
        platform::WriteFileAtomically(path, JsonText::Styled(document));
    }
    return Seconds(Clock::now() - start);
}

}  // namespace

int main() {
    const int events = 1000;
    const std::string root = (std::filesystem::temp_directory_path() / ("zembra-bench-" + std::to_string(getpid()))).string();

    // Collector down: nothing listens on the port.
    int downPort = 0;
    close(HangingListener(downPort));
    const std::string down = "http://127.0.0.1:" + std::to_string(downPort);
    const Burst refused = RunBurst(root + "/down", "Collector=" + down + "\nGA4=" + down + "\n", events);

    // Collector hanging: connections are accepted and never answered.
    int hangingPort = 0;
    const int hanging = HangingListener(hangingPort);
    const std::string stalled = "http://127.0.0.1:" + std::to_string(hangingPort);
    const Burst hung = RunBurst(root + "/hanging", "Collector=" + stalled + "\nGA4=" + stalled + "\n", events);
    close(hanging);

    const std::size_t averagePayload = refused.historyEntries ? refused.historyBytes / refused.historyEntries : 0;
    const double plain = PlainRewriteBurst(root + "/plain", events, averagePayload);

    std::printf("analytics submit, %d events without waiting (half GA4 hits, half funnel events)\n", events);
    std::printf("  collector down:    %.3f s total, %.3f ms per event, slowest call %.1f ms\n", refused.seconds,
                refused.seconds * 1000 / events, refused.slowestCallMs);
    std::printf("  collector hanging: %.3f s total, %.3f ms per event, slowest call %.1f ms\n", hung.seconds,
                hung.seconds * 1000 / events, hung.slowestCallMs);
    std::printf("  history file: %zu entries, %zu bytes, %s\n", refused.historyEntries, refused.historyBytes,
                refused.historyValid ? "valid JSON" : "NOT VALID");
    std::printf("  peer: parse-and-rewrite per event with the same entry size: %.3f s (ratio %.2f)\n", plain,
                refused.seconds > 0 ? plain / refused.seconds : 0.0);
    std::filesystem::remove_all(root);
    return refused.historyValid && refused.historyEntries == static_cast<std::size_t>(events) ? 0 : 1;
}
