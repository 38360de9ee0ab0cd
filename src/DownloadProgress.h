#pragma once
// The figures of a running download that its owner reads.
#include <cstdint>
#include <string>

struct DownloadProgress {
    std::int64_t lastTick = 0;     // tick (ms) of the last update
    std::int64_t downloaded = 0;   // bytes, counted as the sum over the ranges
    std::string speedText = "0.0B/S";
    double percent = 0.0;          // two decimals
    std::int64_t downloadTime = 0;  // ms of downloading over all runs
    std::string averageSpeedText = "0.0B/S";
    int requestTimes = 0;          // failed range attempts of this run

    // Bytes per second over the whole download time, 0 without one.
    std::int64_t averageSpeed() const { return downloadTime == 0 ? 0 : downloaded * 1000 / downloadTime; }
};
