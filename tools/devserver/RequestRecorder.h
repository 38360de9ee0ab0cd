#pragma once
// Writes one JSON line per request into the record file, so tests can see
// exactly what the installer sent. Each line is complete and flushed before
// the reply leaves the server.
#include <mutex>
#include <string>

#include <json/json.h>

namespace devserver {

class RequestRecorder {
public:
    // Bodies up to this size are recorded in full (base64); larger ones by size only.
    static constexpr std::size_t kMaxRecordedBody = 1 << 20;

    explicit RequestRecorder(const std::string& path);
    ~RequestRecorder();
    RequestRecorder(const RequestRecorder&) = delete;
    RequestRecorder& operator=(const RequestRecorder&) = delete;

    bool Enabled() const { return fd_ >= 0; }
    // Adds "seq" and "time" (milliseconds since the epoch) and appends the line.
    void Write(Json::Value record);
    // Empties the record file.
    void Clear();

private:
    std::mutex lock_;
    int fd_ = -1;
    long long sequence_ = 0;
};

}  // namespace devserver
