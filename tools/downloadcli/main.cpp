// zembra-download: runs one download or one MD5 check of the installer's
// download engine from the command line.
//
//   zembra-download [--aux] [--any-network] [--log FILE] URL PATH
//       downloads URL into PATH (resuming from PATH.xml); prints
//       "result N", "cdn REPORT" and "writes" with how the package was
//       written; exits 0 on success, else with N.
//       --aux downloads as an auxiliary file; --any-network skips the
//       check for a network interface besides loopback.
//   zembra-download [--log FILE] --md5 PATH [EXPECTED]
//       prints the MD5 of PATH; exits 0 when it equals EXPECTED (or none given).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <easylogging++.h>

#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "PackageWriter.h"

namespace {

void ConfigureLog(const std::string& file) {
    el::Configurations configuration;
    configuration.setToDefault();
    configuration.setGlobally(el::ConfigurationType::Format, "%datetime--[Thread](%thread) %msg");
    configuration.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
    configuration.setGlobally(el::ConfigurationType::ToFile, file.empty() ? "false" : "true");
    if (!file.empty()) configuration.setGlobally(el::ConfigurationType::Filename, file);
    if (file.empty()) configuration.setGlobally(el::ConfigurationType::Enabled, "false");
    el::Loggers::reconfigureLogger("default", configuration);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zembra-download [--aux] [--any-network] [--log FILE] URL PATH\n"
                 "       zembra-download [--log FILE] --md5 PATH [EXPECTED]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool main = true;
    bool md5 = false;
    std::string logFile;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--aux") == 0) {
            main = false;
        } else if (std::strcmp(argv[i], "--any-network") == 0) {
            CDownLoadImpl::SetNetworkCheck([] { return true; });
        } else if (std::strcmp(argv[i], "--md5") == 0) {
            md5 = true;
        } else if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            logFile = argv[++i];
        } else {
            operands.emplace_back(argv[i]);
        }
    }
    ConfigureLog(logFile);
    if (md5) {
        if (operands.empty() || operands.size() > 2) return Usage();
        const std::string digest = CDownLoadImpl::FileMd5(operands[0]);
        std::printf("%s\n", digest.c_str());
        return operands.size() == 1 || digest == operands[1] ? 0 : 1;
    }
    if (operands.size() != 2) return Usage();
    curl_global_init(CURL_GLOBAL_ALL);
    std::string cdnReport;
    const int result = CDownLoadImpl::SuperDownloadFile(operands[0], operands[1], cdnReport, main);
    std::printf("result %d\ncdn %s\nwrites %s\n", result, cdnReport.c_str(),
                CPackageWriter::UsageText().c_str());
    std::fflush(stdout);
    curl_global_cleanup();
    return result == static_cast<int>(EnumErrorCode::Success) ? 0 : result;
}
