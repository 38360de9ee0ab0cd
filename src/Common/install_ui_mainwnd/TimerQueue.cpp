#include "Common/install_ui_mainwnd/TimerQueue.h"

#include <algorithm>
#include <vector>

TimerQueue::TimerQueue(Clock now) : now_(std::move(now)) {}

void TimerQueue::SetTimer(int id, unsigned periodMs) {
    const unsigned period = std::max(periodMs, kMinimumPeriodMs);
    timers_[id] = Timer{period, now_() + period, ++generations_};
}

void TimerQueue::KillTimer(int id) { timers_.erase(id); }

bool TimerQueue::IsActive(int id) const { return timers_.count(id) != 0; }

std::optional<unsigned> TimerQueue::PeriodOf(int id) const {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return std::nullopt;
    return found->second.periodMs;
}

void TimerQueue::FireDue(const std::function<void(int id)>& onTick) {
    const std::int64_t now = now_();
    struct Due {
        std::int64_t at;
        int id;
        std::uint64_t generation;
    };
    std::vector<Due> due;
    for (const auto& [id, timer] : timers_)
        if (timer.due <= now) due.push_back({timer.due, id, timer.generation});
    std::sort(due.begin(), due.end(),
              [](const Due& a, const Due& b) { return a.at != b.at ? a.at < b.at : a.id < b.id; });
    for (const Due& entry : due) {
        const auto found = timers_.find(entry.id);
        if (found == timers_.end() || found->second.generation != entry.generation) continue;
        found->second.due = now + found->second.periodMs;
        onTick(entry.id);
    }
}

std::optional<std::int64_t> TimerQueue::NextDue() const {
    std::optional<std::int64_t> next;
    for (const auto& [id, timer] : timers_)
        if (!next || timer.due < *next) next = timer.due;
    return next;
}
