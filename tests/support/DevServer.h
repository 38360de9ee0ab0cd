#pragma once
// Test support for the devserver (build/bin/devserver): starts it on free
// ports in a temporary folder, waits until it listens, drives its rules,
// reads its request records and stops it when the object goes away.
//
//   testsupport::DevServer server;
//   server.AddPatternFile("/pkg/app.exe", 10 << 20);
//   server.SetRule(R"({"path": "/pkg/app.exe", "times": 1, "dropAfterBytes": 1000})");
//   ... point the code under test at server.BaseUrl() + "/pkg/app.exe" ...
//   auto records = server.RecordsFor("/pkg/app.exe");
//
// Rules are described in tools/devserver/README.md.
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

#include <json/json.h>

#include "support/TempDir.h"

namespace testsupport {

// One request as the devserver recorded it.
struct DevServerRecord {
    long long seq = 0;
    long long timeMs = 0;                        // milliseconds since the epoch
    std::string scheme;                          // "http" or "https"
    std::string method;
    std::string path;
    std::string query;                           // raw, after "?"
    std::map<std::string, std::string> params;   // decoded query (and nothing else)
    std::map<std::string, std::string> headers;  // names as sent
    std::string body;                            // decoded; empty when it was too big to record
    std::uint64_t bodySize = 0;
    int status = 0;                              // status the devserver answered with
    int rule = 0;                                // id of the rule applied, 0 for none
    Json::Value json;                            // the whole record (uploads: json["form"])

    // Header value by case-insensitive name; "" when absent.
    std::string Header(const std::string& name) const;
};

// The build's test CA (build/tls/ca.pem), which issued the devserver's certificate.
std::string TestTlsRoot();
// Its key and the devserver certificate's files, in the same folder.
std::string TestTlsFile(const std::string& name);

class DevServer {
public:
    struct Options {
        bool https = true;
        std::string rulesFile;  // loaded at start (JSON array of rules)
        std::string contentFile;  // banners and links of the content service (see its README)
        // HTTPS certificate chain and key; "" for the one the build's test CA issued.
        std::string tlsCert;
        std::string tlsKey;
    };

    DevServer();
    explicit DevServer(const Options& options);
    // Stops the server (SIGTERM, then SIGKILL after 10 s).
    ~DevServer();
    DevServer(const DevServer&) = delete;
    DevServer& operator=(const DevServer&) = delete;

    // False when the program could not be started (the constructor also adds a test failure).
    bool Started() const { return pid_ > 0; }
    int HttpPort() const { return httpPort_; }
    int HttpsPort() const { return httpsPort_; }
    std::string BaseUrl() const;       // "http://127.0.0.1:<port>"
    std::string HttpsBaseUrl() const;  // "https://127.0.0.1:<port>"

    std::string Dir() const { return dir_.str(); }
    std::string FilesDir() const { return dir_.str() + "/files"; }      // package hosting root
    std::string UploadsDir() const { return dir_.str() + "/uploads"; }  // saved log uploads
    std::string RecordFile() const { return dir_.str() + "/records.jsonl"; }

    // Lines of a settings-file section "Hosts" that send every service to this
    // server and trust the test CA (TlsCaFile).
    std::string HostsSection(bool https = true) const;

    // A file served at urlPath ("/pkg/a.exe"); returns its local path.
    std::string AddFile(const std::string& urlPath, const std::string& content) const;
    // A file of size bytes of PatternByte(offset), so misplaced bytes show.
    std::string AddPatternFile(const std::string& urlPath, std::uint64_t size) const;
    static char PatternByte(std::uint64_t offset);
    static std::string PatternBytes(std::uint64_t offset, std::uint64_t length);
    // For rule bodies that are not valid UTF-8 ("bodyBase64").
    static std::string Base64(const std::string& data);

    // Adds a rule; returns its id (0 and a test failure when refused).
    int SetRule(const Json::Value& rule) const;
    int SetRule(const std::string& ruleJson) const;
    int SetRule(const char* ruleJson) const { return SetRule(std::string(ruleJson)); }
    void RemoveRule(int id) const;
    void ClearRules() const;
    Json::Value Rules() const;  // with "id", "seen", "applied"

    std::vector<DevServerRecord> Records() const;
    std::vector<DevServerRecord> RecordsFor(const std::string& path) const;
    // Polls (every 20 ms, up to timeoutMs) until path has at least count records.
    std::vector<DevServerRecord> WaitForRecords(const std::string& path, std::size_t count,
                                                int timeoutMs = 15000) const;
    void ClearRecords() const;

    // What the devserver printed (for failure messages).
    std::string Output() const;

private:
    void Start(const Options& options);
    // A control request; returns the HTTP status (0 when no reply) and fills reply.
    long Control(const std::string& method, const std::string& path, const std::string& body,
                 std::string* reply) const;

    TempDir dir_;
    pid_t pid_ = -1;
    int httpPort_ = 0;
    int httpsPort_ = 0;
};

}  // namespace testsupport
