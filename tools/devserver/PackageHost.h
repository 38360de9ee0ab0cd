#pragma once
// Package hosting: every GET or HEAD whose path names a file below the files
// folder is answered from that file, with byte ranges (206 and Content-Range),
// HEAD and Content-Length, and the range faults of a rule.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BodySource.h"

namespace httplib {
struct Request;
struct Response;
}

namespace devserver {

struct Rule;
struct StreamFaults;

struct ByteRange {
    enum class Kind { None, Satisfiable, Unsatisfiable };
    Kind kind = Kind::None;
    std::uint64_t first = 0;  // inclusive
    std::uint64_t last = 0;   // inclusive
};

// The first range of a "bytes=" Range header against a file of the given
// size. A header that does not parse is ignored (Kind::None), as HTTP asks.
ByteRange ParseByteRange(const std::string& header, std::uint64_t size);

// The bytes offset..offset+length-1 of a body.
using BodySlicer = std::function<std::shared_ptr<BodySource>(std::uint64_t offset, std::uint64_t length)>;

// Answers a GET or HEAD for a body of size bytes: 206 with Content-Range for
// a satisfiable range, 416 past the end, else 200; the rule's range faults apply.
void ServeRanged(const httplib::Request& request, httplib::Response& response, const Rule* rule,
                 const StreamFaults& faults, std::uint64_t size, const BodySlicer& slice,
                 const std::string& contentType);

class PackageHost {
public:
    explicit PackageHost(std::string filesDir) : filesDir_(std::move(filesDir)) {}

    // The local file a request path names, or nullopt (no folder, "..", not a regular file).
    std::optional<std::string> LocalPath(const std::string& urlPath) const;
    // Answers the request from the file; false when the path names no file.
    bool Serve(const httplib::Request& request, httplib::Response& response, const Rule* rule,
               const StreamFaults& faults) const;

private:
    std::string filesDir_;
};

}  // namespace devserver
