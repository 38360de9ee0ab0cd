#pragma once
// Chooses how package bytes are written, by measuring rather than assuming:
// the cost of a byte depends on the machine (system-call overhead, how the
// page cache gets fresh memory, how fast the disk takes direct writes), so
// every strategy is tried, the cheapest is used, and the others are tried
// again now and then in case the machine changes its mind (a page cache
// that fills up, a disk that slows down).
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

enum class WriteStrategy : int {
    PageCalls,    // through the page cache, one page per call
    MediumCalls,  // through the page cache, 64 KiB per call
    WholeCalls,   // through the page cache, the whole buffer in one call
    Direct,       // past the page cache, straight to the disk
};
inline constexpr int kWriteStrategyCount = 4;

class CWriteStrategyTuner {
public:
    // Each strategy is measured this often before any is preferred.
    static constexpr int kWarmUpSamples = 3;
    // One write in this many tries the strategy measured longest ago.
    static constexpr int kExploreEvery = 64;
    // Writes shorter than this say little about a byte's cost.
    static constexpr std::size_t kSampleMinimumBytes = 64 << 10;

    // The strategy for the next write; Direct only when directAvailable.
    WriteStrategy Choose(bool directAvailable);
    // What a write by strategy cost.
    void Record(WriteStrategy strategy, std::size_t bytes, std::int64_t nanoseconds);

    // Bytes written by each strategy so far, for the record.
    std::array<std::int64_t, kWriteStrategyCount> BytesWritten() const;
    // "direct 512 KiB calls 97.3%, page cache 4 KiB calls 2.7%" (strategies that wrote anything).
    std::string UsageText() const;
    // Bytes per write call of a strategy (the buffer size for whole-buffer ones).
    static std::size_t CallBytes(WriteStrategy strategy, std::size_t bufferBytes);

private:
    // Costs change as the machine runs (a page cache that used up its warm
    // memory, a disk that fills its cache): only the newest samples count.
    static constexpr int kWindow = 3;
    struct Samples {
        std::array<double, kWindow> nsPerByte{};
        int count = 0;           // samples ever taken
        std::int64_t lastTaken = 0;  // choice number of the newest sample
        std::int64_t bytes = 0;
    };
    double Score(const Samples& samples) const;  // the cheapest of the newest samples

    mutable std::mutex lock_;
    std::array<Samples, kWriteStrategyCount> samples_{};
    std::int64_t choices_ = 0;
};
