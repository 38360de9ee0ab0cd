#pragma once
// Drops floods of equal events: an event that finds more than ten earlier
// equal keys (same kind, category and action) within 60 seconds.
#include <cstdint>
#include <deque>
#include <string>

#include "reportsdk/RepeatKey.h"

class RepeatDetector {
public:
    static constexpr int kAllowedRepeats = 10;
    static constexpr int kWindowSeconds = 60;

    // Counts the earlier keys equal to key within the window and records key
    // (a dropped key is recorded too, so a flood stays dropped).
    int CountAndRecord(const std::string& key);

    static bool IsFlood(int count) { return count > kAllowedRepeats; }
    std::size_t RecordedCount() const { return earlier_.size(); }

private:
    struct Earlier {
        RepeatKey::Parts parts;
        std::int64_t order;  // the time as a number, for pruning only
    };
    void PruneOlderThanWindow();

    std::deque<Earlier> earlier_;
    std::string newestTime_;
    std::int64_t newestOrder_ = 0;
};
