#pragma once
// Sends a body source in large chunks with the stream faults of a rule
// (drop after N bytes, a stall, a rate limit).
#include <cstdint>
#include <memory>
#include <string>

#include "BodySource.h"

namespace httplib {
struct Response;
}

namespace devserver {

struct StreamFaults {
    std::int64_t dropAfterBytes = -1;
    std::int64_t stallAfterBytes = -1;
    int stallMs = 0;
    bool closeAfterStall = false;
    std::int64_t rateBytesPerSecond = 0;
};

// Makes the response send the source with a Content-Length of its size.
void StreamBody(httplib::Response& response, std::shared_ptr<BodySource> source,
                const std::string& contentType, const StreamFaults& faults);

}  // namespace devserver
