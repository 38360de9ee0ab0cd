#pragma once
// Command-line options of the devserver.
#include <optional>
#include <string>
#include <vector>

namespace devserver {

struct Options {
    std::string host = "127.0.0.1";
    int httpPort = 0;    // 0: the system picks a free port
    int httpsPort = 0;   // 0: the system picks a free port
    bool https = true;
    std::string portsFile;    // JSON {"http":..,"https":..,"pid":..} written once both listen
    std::string filesDir;     // package hosting root; "" hosts no files
    std::string recordFile;   // JSON lines, one per request; "" records nothing
    std::string rulesFile;    // rules loaded at start and on POST /__control/reload
    std::string contentFile;  // banners and links of the content service; "" for the defaults
    std::string uploadsDir;   // where uploaded log archives are saved
    std::string tlsCert;      // certificate chain (PEM) to serve; "" for build/tls/server.pem
    std::string tlsKey;       // its private key (PEM); "" for build/tls/server-key.pem
    std::string packagePath = "/downloads/extra/zembramorvanta_zembram.exe";
    int threads = 64;
    bool exitWithParent = false;
};

// Parses argv; on a bad option fills error and returns nullopt.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

std::string UsageText();

}  // namespace devserver
