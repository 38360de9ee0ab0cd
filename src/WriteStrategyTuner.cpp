#include "WriteStrategyTuner.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kNames[kWriteStrategyCount] = {"page cache, page calls", "page cache, 64 KiB calls",
                                                     "page cache, whole-buffer calls", "direct, whole-buffer calls"};

}  // namespace

std::size_t CWriteStrategyTuner::CallBytes(WriteStrategy strategy, std::size_t bufferBytes) {
    switch (strategy) {
        case WriteStrategy::PageCalls: return 4096;
        case WriteStrategy::MediumCalls: return 64 << 10;
        case WriteStrategy::WholeCalls:
        case WriteStrategy::Direct: return bufferBytes;
    }
    return bufferBytes;
}

double CWriteStrategyTuner::Score(const Samples& samples) const {
    // The cheapest: a write slowed down because its thread lost the
    // processor says nothing about the strategy.
    const auto taken = static_cast<std::size_t>(std::min(samples.count, kWindow));
    if (taken == 0) return 0;
    return *std::min_element(samples.nsPerByte.begin(), samples.nsPerByte.begin() + static_cast<std::ptrdiff_t>(taken));
}

WriteStrategy CWriteStrategyTuner::Choose(bool directAvailable) {
    std::lock_guard guard(lock_);
    ++choices_;
    const int available = directAvailable ? kWriteStrategyCount : kWriteStrategyCount - 1;
    // Warm-up: the strategy with the fewest samples.
    int fewest = 0;
    for (int i = 1; i < available; ++i) {
        if (samples_[i].count < samples_[fewest].count) fewest = i;
    }
    if (samples_[fewest].count < kWarmUpSamples) return static_cast<WriteStrategy>(fewest);
    // Now and then: the strategy measured longest ago.
    if (choices_ % kExploreEvery == 0) {
        int stalest = 0;
        for (int i = 1; i < available; ++i) {
            if (samples_[i].lastTaken < samples_[stalest].lastTaken) stalest = i;
        }
        return static_cast<WriteStrategy>(stalest);
    }
    int best = 0;
    for (int i = 1; i < available; ++i) {
        if (Score(samples_[i]) < Score(samples_[best])) best = i;
    }
    return static_cast<WriteStrategy>(best);
}

void CWriteStrategyTuner::Record(WriteStrategy strategy, std::size_t bytes, std::int64_t nanoseconds) {
    std::lock_guard guard(lock_);
    Samples& samples = samples_[static_cast<int>(strategy)];
    samples.bytes += static_cast<std::int64_t>(bytes);
    if (bytes < kSampleMinimumBytes) return;
    samples.nsPerByte[static_cast<std::size_t>(samples.count % kWindow)] =
        static_cast<double>(std::max<std::int64_t>(nanoseconds, 1)) / static_cast<double>(bytes);
    ++samples.count;
    samples.lastTaken = choices_;
}

std::array<std::int64_t, kWriteStrategyCount> CWriteStrategyTuner::BytesWritten() const {
    std::lock_guard guard(lock_);
    std::array<std::int64_t, kWriteStrategyCount> bytes{};
    for (int i = 0; i < kWriteStrategyCount; ++i) bytes[static_cast<std::size_t>(i)] = samples_[i].bytes;
    return bytes;
}

std::string CWriteStrategyTuner::UsageText() const {
    const auto bytes = BytesWritten();
    std::lock_guard guard(lock_);
    std::int64_t total = 0;
    for (const std::int64_t part : bytes) total += part;
    std::string text;
    for (int i = 0; i < kWriteStrategyCount; ++i) {
        if (bytes[static_cast<std::size_t>(i)] == 0) continue;
        char share[128];
        std::snprintf(share, sizeof share, "%s%s %.1f%% (%.2f ns/B)", text.empty() ? "" : ", ", kNames[i],
                      100.0 * static_cast<double>(bytes[static_cast<std::size_t>(i)]) / static_cast<double>(total),
                      Score(samples_[i]));
        text += share;
    }
    return text;
}
