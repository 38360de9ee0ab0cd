#include "support/DevServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <curl/curl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr auto kStopTimeout = std::chrono::seconds(10);

std::string BinDir() {
    const char* binDir = std::getenv("ZEMBRA_BIN_DIR");
    if (binDir != nullptr && *binDir != '\0') return binDir;
    // Test programs are built into the same folder as the devserver.
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

std::string DevServerPath() { return BinDir() + "/devserver"; }

bool ParseJson(const std::string& text, Json::Value& json) {
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    return Json::parseFromStream(builder, in, &json, &errors);
}

std::string Base64Decode(const std::string& text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string data;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const auto value = kAlphabet.find(c);
        if (value == std::string::npos) continue;  // padding
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            data += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return data;
}

DevServerRecord RecordFromJson(const Json::Value& json) {
    DevServerRecord record;
    record.json = json;
    record.seq = json["seq"].asInt64();
    record.timeMs = json["time"].asInt64();
    record.scheme = json["scheme"].asString();
    record.method = json["method"].asString();
    record.path = json["path"].asString();
    record.query = json["query"].asString();
    for (const auto& name : json["params"].getMemberNames()) record.params[name] = json["params"][name].asString();
    for (const auto& name : json["headers"].getMemberNames()) record.headers[name] = json["headers"][name].asString();
    record.body = Base64Decode(json["body"].asString());
    record.bodySize = json["bodySize"].asUInt64();
    record.status = json["status"].asInt();
    record.rule = json["rule"].asInt();
    return record;
}

size_t CollectReply(char* data, size_t size, size_t count, void* reply) {
    static_cast<std::string*>(reply)->append(data, size * count);
    return size * count;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string DevServerRecord::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (SameTextIgnoringCase(key, name)) return value;
    }
    return "";
}

std::string TestTlsFile(const std::string& name) { return BinDir() + "/../tls/" + name; }

std::string TestTlsRoot() { return TestTlsFile("ca.pem"); }

DevServer::DevServer() { Start(Options{}); }

DevServer::DevServer(const Options& options) { Start(options); }

void DevServer::Start(const Options& options) {
    std::filesystem::create_directories(FilesDir());
    const std::string portsFile = Dir() + "/ports.json";
    const std::string outputFile = Dir() + "/devserver.out";
    std::vector<std::string> args = {DevServerPath(), "--port",    "0",          "--https-port", "0",
                                     "--ports-file",  portsFile,   "--files",    FilesDir(),     "--record",
                                     RecordFile(),    "--uploads", UploadsDir(), "--exit-with-parent"};
    if (!options.https) args.push_back("--no-https");
    if (!options.tlsCert.empty()) args.insert(args.end(), {"--tls-cert", options.tlsCert, "--tls-key", options.tlsKey});
    if (!options.contentFile.empty()) {
        args.push_back("--content");
        args.push_back(options.contentFile);
    }
    if (!options.rulesFile.empty()) {
        args.push_back("--rules");
        args.push_back(options.rulesFile);
    }
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
        return;
    }
    pid_ = pid;

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            ADD_FAILURE() << "devserver ended at start: " << Output();
            return;
        }
        Json::Value ports;
        if (ParseJson(ReadFile(portsFile), ports) && ports["http"].asInt() > 0) {
            httpPort_ = ports["http"].asInt();
            httpsPort_ = ports["https"].asInt();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "devserver did not start in time: " << Output();
}

DevServer::~DevServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        ended = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        ADD_FAILURE() << "devserver did not stop on SIGTERM";
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        return;
    }
    // A sanitizer build of the devserver reports its findings on its output.
    const std::string output = Output();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.find("Sanitizer") != std::string::npos ||
        output.find("runtime error:") != std::string::npos) {
        ADD_FAILURE() << "devserver ended badly: " << output;
    }
}

std::string DevServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(httpPort_); }

std::string DevServer::HttpsBaseUrl() const { return "https://127.0.0.1:" + std::to_string(httpsPort_); }

std::string DevServer::HostsSection(bool https) const {
    const std::string secure = https ? HttpsBaseUrl() : BaseUrl();
    std::string section = "[Hosts]\n";
    for (const char* key : {"QueryGlobal", "QueryRegional", "Content", "ContentTest", "ErrorReport",
                            "ErrorReportTest", "LogUpload", "Collector", "CollectorTest", "GA4"}) {
        section += std::string(key) + "=" + secure + "\n";
    }
    return section + "QueryTest=" + BaseUrl() + "\nTlsCaFile=" + TestTlsRoot() + "\n";
}

std::string DevServer::AddFile(const std::string& urlPath, const std::string& content) const {
    return dir_.WriteFile("files" + urlPath, content);
}

char DevServer::PatternByte(std::uint64_t offset) {
    return static_cast<char>(((offset * 2654435761u) >> 13) ^ (offset >> 20));
}

std::string DevServer::PatternBytes(std::uint64_t offset, std::uint64_t length) {
    std::string bytes(length, '\0');
    for (std::uint64_t i = 0; i < length; ++i) bytes[i] = PatternByte(offset + i);
    return bytes;
}

std::string DevServer::Base64(const std::string& data) {
    static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, data.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            value = (value << 8) | (k < count ? static_cast<unsigned char>(data[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) text += k <= count ? kAlphabet[(value >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

std::string DevServer::AddPatternFile(const std::string& urlPath, std::uint64_t size) const {
    const std::string path = FilesDir() + urlPath;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    constexpr std::uint64_t kChunk = 1 << 20;
    for (std::uint64_t offset = 0; offset < size; offset += kChunk) {
        const std::string chunk = PatternBytes(offset, std::min(kChunk, size - offset));
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    return path;
}

long DevServer::Control(const std::string& method, const std::string& path, const std::string& body,
                        std::string* reply) const {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return 0;
    std::string collected;
    const std::string url = BaseUrl() + "/__control" + path;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CollectReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collected);
    if (method == "POST" || method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    }
    long status = 0;
    if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (reply) *reply = collected;
    return status;
}

int DevServer::SetRule(const Json::Value& rule) const {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return SetRule(Json::writeString(builder, rule));
}

int DevServer::SetRule(const std::string& ruleJson) const {
    std::string reply;
    const long status = Control("POST", "/rules", ruleJson, &reply);
    Json::Value json;
    if (status != 200 || !ParseJson(reply, json) || json["ids"].empty()) {
        ADD_FAILURE() << "devserver refused rule " << ruleJson << ": " << status << " " << reply;
        return 0;
    }
    return json["ids"][0].asInt();
}

void DevServer::RemoveRule(int id) const { Control("DELETE", "/rules/" + std::to_string(id), "", nullptr); }

void DevServer::ClearRules() const { Control("DELETE", "/rules", "", nullptr); }

Json::Value DevServer::Rules() const {
    std::string reply;
    Json::Value json;
    if (Control("GET", "/rules", "", &reply) != 200 || !ParseJson(reply, json)) return Json::Value(Json::arrayValue);
    return json;
}

std::vector<DevServerRecord> DevServer::Records() const {
    std::vector<DevServerRecord> records;
    std::istringstream lines(ReadFile(RecordFile()));
    for (std::string line; std::getline(lines, line);) {
        Json::Value json;
        if (!line.empty() && ParseJson(line, json)) records.push_back(RecordFromJson(json));
    }
    return records;
}

std::vector<DevServerRecord> DevServer::RecordsFor(const std::string& path) const {
    std::vector<DevServerRecord> records = Records();
    std::erase_if(records, [&path](const DevServerRecord& record) { return record.path != path; });
    return records;
}

std::vector<DevServerRecord> DevServer::WaitForRecords(const std::string& path, std::size_t count,
                                                       int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<DevServerRecord> records = RecordsFor(path);
    while (records.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        records = RecordsFor(path);
    }
    return records;
}

void DevServer::ClearRecords() const { Control("POST", "/records/clear", "", nullptr); }

std::string DevServer::Output() const { return ReadFile(Dir() + "/devserver.out"); }

}  // namespace testsupport
