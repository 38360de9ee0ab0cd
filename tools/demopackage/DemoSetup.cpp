// The demo product's setup program. It accepts the switches of a silent
// setup (/VERYSILENT /SP- /NORESTART /DIR= /LANG= /LOG= /sptrack), unpacks
// the product carried at the end of its own file into /DIR, writes its log
// and exits. A package made with a "hang" flag never finishes, so the
// installer's time-out path can be exercised for real.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PackageLayout.h"

namespace {

struct SetupArguments {
    std::string installDir;
    std::string logPath;
    std::string language = "en";
    std::string track = "null";
};

std::string Unquoted(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

SetupArguments ParseArguments(int argc, char** argv) {
    SetupArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string item = argv[i];
        if (item.rfind("/DIR=", 0) == 0) arguments.installDir = Unquoted(item.substr(5));
        else if (item.rfind("/LOG=", 0) == 0) arguments.logPath = Unquoted(item.substr(5));
        else if (item.rfind("/LANG=", 0) == 0) arguments.language = item.substr(6);
        else if (item == "/sptrack" && i + 1 < argc) arguments.track = argv[++i];
    }
    return arguments;
}

class SetupLog {
public:
    explicit SetupLog(const std::string& path) : out_(path, std::ios::app) {}
    void Line(const std::string& text) {
        const std::time_t now = std::time(nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
        if (out_) out_ << stamp << "   " << text << '\n' << std::flush;
    }

private:
    std::ofstream out_;
};

std::vector<char> ReadOwnFile() {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The signature, when present, sits after the payload trailer.
std::size_t EndWithoutSignature(const std::vector<char>& file) {
    const std::size_t markerLength = std::strlen(demopackage::kSignatureMarker);
    if (file.size() < markerLength + 12 ||
        std::memcmp(file.data() + file.size() - markerLength, demopackage::kSignatureMarker, markerLength) != 0)
        return file.size();
    const unsigned char* record = reinterpret_cast<const unsigned char*>(file.data() + file.size() - markerLength - 12);
    const std::uint32_t signatureLength = (std::uint32_t{record[8]} << 24) | (std::uint32_t{record[9]} << 16) |
                                          (std::uint32_t{record[10]} << 8) | record[11];
    const std::size_t suffix = markerLength + 12 + signatureLength;
    return suffix <= file.size() ? file.size() - suffix : file.size();
}

bool ReadTrailer(const std::vector<char>& file, std::size_t end, demopackage::PayloadTrailer& trailer) {
    if (end < sizeof trailer) return false;
    std::memcpy(&trailer, file.data() + end - sizeof trailer, sizeof trailer);
    return std::memcmp(trailer.magic, demopackage::kPayloadMagic, sizeof trailer.magic) == 0 &&
           trailer.payloadOffset + trailer.payloadSize <= end - sizeof trailer;
}

bool InstallProduct(const std::vector<char>& file, const demopackage::PayloadTrailer& trailer,
                    const std::string& installDir) {
    std::string folder;
    for (std::size_t i = 0; i <= installDir.size(); ++i) {
        if (i == installDir.size() || installDir[i] == '/') {
            if (!folder.empty()) mkdir(folder.c_str(), 0755);
        }
        if (i < installDir.size()) folder += installDir[i];
    }
    const std::string target = installDir + (installDir.back() == '/' ? "" : "/") + demopackage::kProductFileName;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(file.data() + trailer.payloadOffset, static_cast<std::streamsize>(trailer.payloadSize));
    out.close();
    return out.good() && chmod(target.c_str(), 0755) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const SetupArguments arguments = ParseArguments(argc, argv);
    SetupLog log(arguments.logPath);
    log.Line("Setup started: language " + arguments.language + ", track " + arguments.track);
    if (arguments.installDir.empty()) {
        log.Line("No /DIR given");
        return 2;
    }
    const std::vector<char> file = ReadOwnFile();
    demopackage::PayloadTrailer trailer{};
    if (!ReadTrailer(file, EndWithoutSignature(file), trailer)) {
        log.Line("The package carries no product");
        return 3;
    }
    if (trailer.flags & demopackage::kFlagHang) {
        log.Line("Waiting forever (test package)");
        for (;;) pause();
    }
    if (trailer.flags & demopackage::kFlagFail) {
        log.Line("Failing on purpose (test package)");
        return demopackage::kFailExitCode;
    }
    log.Line("Installing into " + arguments.installDir);
    std::this_thread::sleep_for(std::chrono::milliseconds(trailer.installMilliseconds));
    if (!InstallProduct(file, trailer, arguments.installDir)) {
        log.Line("Could not write the product");
        return 4;
    }
    log.Line("Installation finished");
    return 0;
}
