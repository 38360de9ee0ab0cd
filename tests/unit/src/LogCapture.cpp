#include "LogCapture.h"

#include <algorithm>
#include <easylogging++.h>
#include <mutex>

namespace testsupport {

namespace {

std::mutex capturedLock;
std::vector<std::string> captured;

class CaptureCallback : public el::LogDispatchCallback {
protected:
    void handle(const el::LogDispatchData* data) noexcept override {
        std::lock_guard lock(capturedLock);
        captured.push_back(data->logMessage()->message());
    }
};

constexpr const char* kCallbackName = "testsupport-log-capture";

}  // namespace

LogCapture::LogCapture() {
    Clear();
    el::Helpers::installLogDispatchCallback<CaptureCallback>(kCallbackName);
}

LogCapture::~LogCapture() { el::Helpers::uninstallLogDispatchCallback<CaptureCallback>(kCallbackName); }

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard lock(capturedLock);
    return captured;
}

bool LogCapture::Has(const std::string& text) const {
    const auto messages = Messages();
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

bool LogCapture::HasPart(const std::string& text) const {
    const auto messages = Messages();
    return std::any_of(messages.begin(), messages.end(),
                       [&text](const std::string& message) { return message.find(text) != std::string::npos; });
}

void LogCapture::Clear() {
    std::lock_guard lock(capturedLock);
    captured.clear();
}

}  // namespace testsupport
