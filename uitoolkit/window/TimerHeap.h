#pragma once
// The window timers of the UI thread in one heap ordered by due time, against
// an injectable millisecond clock. Like the system's timers, an overdue timer
// fires once, not once per missed period, and setting a running timer again
// restarts it.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

#include "uitoolkit/window/HostWindowId.h"

namespace ZembraUI {

class CTimerHeap {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds
    using Tick = std::function<void(HostWindowId window, unsigned id)>;
    // The shortest period a timer runs with.
    static constexpr unsigned kMinimumPeriodMs = 10;

    explicit CTimerHeap(Clock now);

    void Set(HostWindowId window, unsigned id, unsigned periodMs);
    // False when no such timer runs.
    bool Kill(HostWindowId window, unsigned id);
    void KillAllOf(HostWindowId window);
    bool IsRunning(HostWindowId window, unsigned id) const;

    // Fires every timer due now, earliest first. A tick may set or kill
    // timers, or run a nested loop that fires timers itself.
    void FireDue(const Tick& onTick);
    // Milliseconds until the next timer is due (0 when overdue); none without timers.
    std::optional<std::int64_t> MillisecondsToNext();

    std::int64_t Now() const { return now_(); }

private:
    using Key = std::pair<HostWindowId, unsigned>;
    struct Entry {
        std::int64_t due;
        std::uint64_t generation;  // tells a restarted or killed timer's stale entries apart
        Key key;
        bool operator>(const Entry& other) const {
            return due != other.due ? due > other.due : generation > other.generation;
        }
    };
    struct Timer {
        unsigned periodMs;
        std::uint64_t generation;
    };

    bool IsCurrent(const Entry& entry) const;
    void DropStaleTop();

    Clock now_;
    std::map<Key, Timer> timers_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap_;
    std::uint64_t generations_ = 0;
};

}  // namespace ZembraUI
