#include "support/LogCapture.h"

#include <sstream>

#include <easylogging++.h>

namespace testsupport {

namespace {

std::string CaptureFile(const TempDir& dir) { return dir.str() + "/capture.log"; }

}  // namespace

LogCapture::LogCapture() {
    el::Logger* logger = el::Loggers::getLogger("default");
    saved_ = std::make_unique<el::Configurations>(*logger->configurations());
    el::Configurations capture(*saved_);
    capture.set(el::Level::Global, el::ConfigurationType::Format, "%msg");
    capture.set(el::Level::Global, el::ConfigurationType::ToFile, "true");
    capture.set(el::Level::Global, el::ConfigurationType::Filename, CaptureFile(dir_));
    capture.set(el::Level::Global, el::ConfigurationType::ToStandardOutput, "false");
    el::Loggers::reconfigureLogger(logger, capture);
}

LogCapture::~LogCapture() { el::Loggers::reconfigureLogger("default", *saved_); }

std::vector<std::string> LogCapture::Lines() const {
    el::Loggers::flushAll();
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(CaptureFile(dir_)));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool LogCapture::Contains(const std::string& text) const {
    for (const auto& line : Lines()) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace testsupport
