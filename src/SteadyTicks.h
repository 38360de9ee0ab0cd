#pragma once
// Milliseconds of a monotonic clock: the download engine's tick count.
#include <chrono>
#include <cstdint>

inline std::int64_t SteadyTickMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
