#include "Options.h"

#include <charconv>

namespace devserver {

namespace {

bool ToInt(const std::string& text, int& value) {
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

std::string UsageText() {
    return "usage: devserver [--host ADDR] [--port N] [--https-port N] [--no-https]\n"
           "                 [--ports-file FILE] [--files DIR] [--record FILE] [--rules FILE]\n"
           "                 [--content FILE]\n"
           "                 [--uploads DIR] [--package-path PATH]\n"
           "                 [--tls-cert CHAIN.pem --tls-key KEY.pem]\n"
           "                 [--threads N] [--exit-with-parent]\n"
           "Port 0 (the default) lets the system pick a free port; the chosen ports are\n"
           "printed and written to the ports file.\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](int& out) {
            std::string text;
            if (!value(text)) return false;
            if (!ToInt(text, out) || out < 0) {
                error = name + ": not a number: " + text;
                return false;
            }
            return true;
        };
        bool ok = true;
        if (name == "--host") ok = value(options.host);
        else if (name == "--port") ok = number(options.httpPort);
        else if (name == "--https-port") ok = number(options.httpsPort);
        else if (name == "--no-https") options.https = false;
        else if (name == "--ports-file") ok = value(options.portsFile);
        else if (name == "--files") ok = value(options.filesDir);
        else if (name == "--record") ok = value(options.recordFile);
        else if (name == "--rules") ok = value(options.rulesFile);
        else if (name == "--content") ok = value(options.contentFile);
        else if (name == "--uploads") ok = value(options.uploadsDir);
        else if (name == "--tls-cert") ok = value(options.tlsCert);
        else if (name == "--tls-key") ok = value(options.tlsKey);
        else if (name == "--package-path") ok = value(options.packagePath);
        else if (name == "--threads") ok = number(options.threads);
        else if (name == "--exit-with-parent") options.exitWithParent = true;
        else {
            error = "unknown option: " + name;
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    if (options.threads < 1) options.threads = 1;
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    return options;
}

}  // namespace devserver
