#pragma once
// The report library's own daily log: "YYYYMMDD.log" in its logs folder, one
// line per message with local time and process id, flushed line by line.
#include <cstdio>
#include <mutex>
#include <string>

class SdkLog {
public:
    SdkLog() = default;
    ~SdkLog();
    SdkLog(const SdkLog&) = delete;
    SdkLog& operator=(const SdkLog&) = delete;

    // Opens (appending) the file of today in logsFolder; a log already open is closed first.
    bool Open(const std::string& logsFolder);
    void Close();
    // Writes one line; nothing before Open.
    void Write(const std::string& message);
    std::string Path() const;

    // "%s/%4d%02d%02d.log" for the local day of now.
    static std::string DailyFileName(const std::string& logsFolder);
    // "%4d%02d%02d-%02d%02d%02d-%03d [%d] %s\n" for the local time of now.
    static std::string Line(const std::string& message);
    // At most 4095 characters, never cutting a character in two.
    static std::string Bounded(const std::string& message);

private:
    mutable std::mutex lock_;
    std::FILE* file_ = nullptr;
    std::string path_;
};
