#include "reportsdk/SdkLog.h"

#include <chrono>
#include <ctime>
#include <unistd.h>

#include "platform/DesktopUserFiles.h"

namespace {

struct LocalNow {
    std::tm fields{};
    int milliseconds = 0;
};

LocalNow Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    LocalNow local;
    localtime_r(&seconds, &local.fields);
    local.milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return local;
}

// The message buffer holds 4096 characters with its terminator.
constexpr std::size_t kMaxCharacters = 4095;

}  // namespace

SdkLog::~SdkLog() { Close(); }

std::string SdkLog::DailyFileName(const std::string& logsFolder) {
    const LocalNow now = Now();
    char name[32];
    std::snprintf(name, sizeof name, "%4d%02d%02d.log", now.fields.tm_year + 1900, now.fields.tm_mon + 1,
                  now.fields.tm_mday);
    return logsFolder + "/" + name;
}

std::string SdkLog::Bounded(const std::string& message) {
    std::size_t characters = 0;
    for (std::size_t index = 0; index < message.size(); ++index) {
        // Count lead bytes only: continuation bytes belong to the character before.
        if ((static_cast<unsigned char>(message[index]) & 0xC0) == 0x80) continue;
        if (++characters > kMaxCharacters) return message.substr(0, index);
    }
    return message;
}

std::string SdkLog::Line(const std::string& message) {
    const LocalNow now = Now();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%4d%02d%02d-%02d%02d%02d-%03d [%d] ", now.fields.tm_year + 1900,
                  now.fields.tm_mon + 1, now.fields.tm_mday, now.fields.tm_hour, now.fields.tm_min,
                  now.fields.tm_sec, now.milliseconds, static_cast<int>(getpid()));
    return stamp + Bounded(message) + "\n";
}

bool SdkLog::Open(const std::string& logsFolder) {
    std::lock_guard hold(lock_);
    if (file_) std::fclose(file_);
    path_ = DailyFileName(logsFolder);
    file_ = std::fopen(path_.c_str(), "ae");
    if (file_) platform::HandToDesktopUser(path_);
    return file_ != nullptr;
}

void SdkLog::Close() {
    std::lock_guard hold(lock_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void SdkLog::Write(const std::string& message) {
    std::lock_guard hold(lock_);
    if (!file_) return;
    const std::string line = Line(message);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

std::string SdkLog::Path() const {
    std::lock_guard hold(lock_);
    return path_;
}
