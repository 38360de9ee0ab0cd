#pragma once
// How long the setup is expected to run, from the package size, and the
// period of the timer that moves the bar from 90 to 99 in ten ticks over
// that time.
#include <cstdint>

namespace installestimate {

// ((bytes × 4) ÷ 716800) × 10 ÷ 1000 seconds, truncating at each step:
// roughly one second per 17.9 MB.
std::int64_t EstimateSeconds(std::int64_t packageBytes);
// (estimate + extra) × 100 milliseconds.
std::int64_t TimerPeriodMs(std::int64_t estimateSeconds, std::int64_t extraSeconds);
// A period the timer can run with: a package of unknown size and no extra
// time would otherwise ask for a timer that fires continuously.
constexpr std::int64_t kMinimumPeriodMs = 100;
unsigned UsablePeriodMs(std::int64_t periodMs);

}  // namespace installestimate
