#include "RequestRecorder.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <unistd.h>

namespace devserver {

namespace {

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

RequestRecorder::RequestRecorder(const std::string& path) {
    if (!path.empty()) fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

RequestRecorder::~RequestRecorder() {
    if (fd_ >= 0) ::close(fd_);
}

void RequestRecorder::Write(Json::Value record) {
    if (fd_ < 0) return;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    record["time"] = static_cast<Json::Int64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    std::lock_guard guard(lock_);
    record["seq"] = static_cast<Json::Int64>(++sequence_);
    WriteAll(fd_, Json::writeString(builder, record) + "\n");
}

void RequestRecorder::Clear() {
    if (fd_ < 0) return;
    std::lock_guard guard(lock_);
    if (::ftruncate(fd_, 0) != 0) return;
}

}  // namespace devserver
