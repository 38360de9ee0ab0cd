#include "StreamBody.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include <httplib.h>
#include <unistd.h>

#include "StopFlag.h"

namespace devserver {

namespace {

// Large chunks keep the per-call overhead of the HTTP library negligible.
constexpr std::size_t kChunkSize = 1 << 20;

struct StreamState {
    std::shared_ptr<BodySource> source;
    StreamFaults faults;
    std::vector<char> buffer;
    bool stalled = false;
    bool started = false;
    std::chrono::steady_clock::time_point start;
};

std::size_t ChunkLimit(const StreamState& state, std::uint64_t offset, std::size_t length) {
    const StreamFaults& faults = state.faults;
    std::size_t limit = std::min(length, kChunkSize);
    if (faults.dropAfterBytes >= 0) {
        limit = std::min<std::uint64_t>(limit, static_cast<std::uint64_t>(faults.dropAfterBytes) - offset);
    }
    if (faults.stallAfterBytes >= 0 && !state.stalled &&
        offset < static_cast<std::uint64_t>(faults.stallAfterBytes)) {
        limit = std::min<std::uint64_t>(limit, static_cast<std::uint64_t>(faults.stallAfterBytes) - offset);
    }
    if (faults.rateBytesPerSecond > 0) {
        // About twenty writes a second keep a throttled stream smooth.
        const auto slice = std::max<std::int64_t>(1, faults.rateBytesPerSecond / 20);
        limit = std::min<std::uint64_t>(limit, static_cast<std::uint64_t>(slice));
    }
    return limit;
}

// Waits until the bytes sent so far fit the configured rate.
bool Throttle(const StreamState& state, std::uint64_t sentBytes) {
    const auto rate = state.faults.rateBytesPerSecond;
    if (rate <= 0) return true;
    const auto due = state.start + std::chrono::milliseconds(sentBytes * 1000 / static_cast<std::uint64_t>(rate));
    const auto now = std::chrono::steady_clock::now();
    if (due <= now) return true;
    return StopFlag::Instance().SleepFor(std::chrono::duration_cast<std::chrono::milliseconds>(due - now));
}

bool ProvideChunk(StreamState& state, std::uint64_t offset, std::size_t length, httplib::DataSink& sink) {
    if (!state.started) {
        state.started = true;
        state.start = std::chrono::steady_clock::now();
    }
    const StreamFaults& faults = state.faults;
    if (faults.stallAfterBytes >= 0 && !state.stalled &&
        offset >= static_cast<std::uint64_t>(faults.stallAfterBytes)) {
        state.stalled = true;
        if (!StopFlag::Instance().SleepFor(std::chrono::milliseconds(faults.stallMs))) return false;
        if (faults.closeAfterStall) return false;
    }
    if (faults.dropAfterBytes >= 0 && offset >= static_cast<std::uint64_t>(faults.dropAfterBytes)) {
        return false;  // the connection is closed mid-body
    }
    const std::size_t wanted = ChunkLimit(state, offset, length);
    if (state.buffer.size() < wanted) state.buffer.resize(std::max(wanted, kChunkSize));
    const std::size_t got = state.source->Read(offset, state.buffer.data(), wanted);
    if (got == 0 || !sink.write(state.buffer.data(), got)) return false;
    return Throttle(state, offset + got);
}

}  // namespace

void StreamBody(httplib::Response& response, std::shared_ptr<BodySource> source,
                const std::string& contentType, const StreamFaults& faults) {
    const std::uint64_t size = source->Size();
    if (size == 0) {
        response.set_content("", contentType);
        return;
    }
    auto state = std::make_shared<StreamState>();
    state->source = std::move(source);
    state->faults = faults;
    response.set_content_provider(
        static_cast<std::size_t>(size), contentType,
        [state](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            return ProvideChunk(*state, offset, length, sink);
        });
}

}  // namespace devserver
