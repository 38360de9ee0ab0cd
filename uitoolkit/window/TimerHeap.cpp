#include "uitoolkit/window/TimerHeap.h"

#include <algorithm>

namespace ZembraUI {

CTimerHeap::CTimerHeap(Clock now) : now_(std::move(now)) {}

void CTimerHeap::Set(HostWindowId window, unsigned id, unsigned periodMs) {
    const unsigned period = std::max(periodMs, kMinimumPeriodMs);
    const Key key{window, id};
    const std::uint64_t generation = ++generations_;
    timers_[key] = Timer{period, generation};
    heap_.push(Entry{now_() + period, generation, key});
}

bool CTimerHeap::Kill(HostWindowId window, unsigned id) { return timers_.erase(Key{window, id}) != 0; }

void CTimerHeap::KillAllOf(HostWindowId window) {
    const auto first = timers_.lower_bound(Key{window, 0});
    auto last = first;
    while (last != timers_.end() && last->first.first == window) ++last;
    timers_.erase(first, last);
}

bool CTimerHeap::IsRunning(HostWindowId window, unsigned id) const { return timers_.count(Key{window, id}) != 0; }

bool CTimerHeap::IsCurrent(const Entry& entry) const {
    const auto found = timers_.find(entry.key);
    return found != timers_.end() && found->second.generation == entry.generation;
}

void CTimerHeap::DropStaleTop() {
    while (!heap_.empty() && !IsCurrent(heap_.top())) heap_.pop();
}

void CTimerHeap::FireDue(const Tick& onTick) {
    const std::int64_t now = now_();
    for (DropStaleTop(); !heap_.empty() && heap_.top().due <= now; DropStaleTop()) {
        const Entry due = heap_.top();
        heap_.pop();
        // Rescheduled before the tick runs, so that whatever the tick does
        // (kill, restart, a nested loop) sees a consistent heap.
        Timer& timer = timers_.at(due.key);
        timer.generation = ++generations_;
        heap_.push(Entry{now + timer.periodMs, timer.generation, due.key});
        onTick(due.key.first, due.key.second);
    }
}

std::optional<std::int64_t> CTimerHeap::MillisecondsToNext() {
    DropStaleTop();
    if (heap_.empty()) return std::nullopt;
    return std::max<std::int64_t>(0, heap_.top().due - now_());
}

}  // namespace ZembraUI
