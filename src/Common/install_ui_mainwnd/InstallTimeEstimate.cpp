#include "Common/install_ui_mainwnd/InstallTimeEstimate.h"

#include <algorithm>
#include <limits>

namespace installestimate {

std::int64_t EstimateSeconds(std::int64_t packageBytes) {
    // Sizes beyond a sane package would overflow the multiplication.
    const std::int64_t bytes = std::clamp<std::int64_t>(packageBytes, 0, std::int64_t{1} << 50);
    return ((bytes * 4) / 716800) * 10 / 1000;
}

std::int64_t TimerPeriodMs(std::int64_t estimateSeconds, std::int64_t extraSeconds) {
    return (estimateSeconds + extraSeconds) * 100;
}

unsigned UsablePeriodMs(std::int64_t periodMs) {
    return static_cast<unsigned>(
        std::clamp<std::int64_t>(periodMs, kMinimumPeriodMs, std::numeric_limits<int>::max()));
}

}  // namespace installestimate
