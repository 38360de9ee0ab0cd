#include "PackageHost.h"

#include <charconv>
#include <utility>

#include <fcntl.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileBody.h"
#include "StreamBody.h"
#include "RuleBook.h"

namespace devserver {

namespace {

std::optional<std::uint64_t> ToNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::string Trim(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    const auto end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

std::string ContentRangeValue(const ByteRange& range, std::uint64_t total) {
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           std::to_string(total);
}

}  // namespace

ByteRange ParseByteRange(const std::string& header, std::uint64_t size) {
    ByteRange range;
    const std::string text = Trim(header);
    if (text.rfind("bytes=", 0) != 0) return range;
    const std::string first = Trim(text.substr(6, text.find(',') == std::string::npos
                                                      ? std::string::npos
                                                      : text.find(',') - 6));
    const auto dash = first.find('-');
    if (dash == std::string::npos) return range;
    const auto from = Trim(std::string_view(first).substr(0, dash));
    const auto to = Trim(std::string_view(first).substr(dash + 1));
    if (from.empty()) {  // suffix form: the last n bytes
        const auto count = ToNumber(to);
        if (!count) return range;
        if (*count == 0 || size == 0) {
            range.kind = ByteRange::Kind::Unsatisfiable;
            return range;
        }
        range.kind = ByteRange::Kind::Satisfiable;
        range.first = *count >= size ? 0 : size - *count;
        range.last = size - 1;
        return range;
    }
    const auto start = ToNumber(from);
    const auto end = to.empty() ? std::optional<std::uint64_t>(UINT64_MAX) : ToNumber(to);
    if (!start || !end || *end < *start) return range;
    if (*start >= size) {
        range.kind = ByteRange::Kind::Unsatisfiable;
        return range;
    }
    range.kind = ByteRange::Kind::Satisfiable;
    range.first = *start;
    range.last = std::min(*end, size - 1);
    return range;
}

std::optional<std::string> PackageHost::LocalPath(const std::string& urlPath) const {
    if (filesDir_.empty() || urlPath.empty() || urlPath[0] != '/') return std::nullopt;
    if (urlPath.find("/../") != std::string::npos || urlPath.ends_with("/..") ||
        urlPath.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const std::string path = filesDir_ + urlPath;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return path;
}

bool PackageHost::Serve(const httplib::Request& request, httplib::Response& response,
                        const Rule* rule, const StreamFaults& faults) const {
    const auto path = LocalPath(request.path);
    if (!path) return false;
    const int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    // The descriptor goes to the body that is sent, or is closed when none is.
    auto descriptor = std::make_shared<int>(fd);
    ServeRanged(request, response, rule, faults, size,
                [descriptor](std::uint64_t offset, std::uint64_t length) {
                    const int owned = std::exchange(*descriptor, -1);
                    return std::make_shared<FileBody>(owned, offset, length);
                },
                "application/octet-stream");
    if (*descriptor >= 0) ::close(*descriptor);
    return true;
}

void ServeRanged(const httplib::Request& request, httplib::Response& response, const Rule* rule,
                 const StreamFaults& faults, std::uint64_t size, const BodySlicer& slice,
                 const std::string& contentType) {
    response.set_header("Accept-Ranges", "bytes");

    ByteRange range = ParseByteRange(request.get_header_value("Range"), size);
    if (rule && rule->ignoreRange) range.kind = ByteRange::Kind::None;

    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        response.set_content("", "text/plain");
        return;
    }

    std::uint64_t offset = 0;
    std::uint64_t length = size;
    if (range.kind == ByteRange::Kind::Satisfiable) {
        response.status = 206;
        offset = range.first;
        length = range.last - range.first + 1;
        std::string contentRange = ContentRangeValue(range, size);
        if (rule && rule->contentRangeTotal) {
            contentRange = ContentRangeValue(range, static_cast<std::uint64_t>(*rule->contentRangeTotal));
        }
        if (rule && rule->contentRange) contentRange = *rule->contentRange;
        response.set_header("Content-Range", contentRange);
    } else {
        response.status = 200;
    }
    if (rule && rule->surplusBytes > 0) length += static_cast<std::uint64_t>(rule->surplusBytes);
    StreamBody(response, slice(offset, length), contentType, faults);
}

}  // namespace devserver
