#pragma once
// Window timers kept in one queue and fired by the thread that owns them,
// against a clock it is given: the real steady clock in a message loop, a
// hand-moved one in tests. Like the system's timers, an overdue timer fires
// once, not once per missed period.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "Common/install_ui_mainwnd/IWindowTimers.h"
#include "SteadyTicks.h"  // SteadyTickMs, the tick count the window and the worker share

class TimerQueue : public IWindowTimers {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds
    // The shortest period the queue runs a timer with.
    static constexpr unsigned kMinimumPeriodMs = 10;

    explicit TimerQueue(Clock now);

    void SetTimer(int id, unsigned periodMs) override;
    void KillTimer(int id) override;
    bool IsActive(int id) const;
    std::optional<unsigned> PeriodOf(int id) const;

    // Calls onTick for every timer due now, earliest first (lower id first
    // among equals). A tick may
    // start or stop timers; a timer stopped by an earlier tick does not fire.
    void FireDue(const std::function<void(int id)>& onTick);
    // When the next timer is due; nullopt without timers.
    std::optional<std::int64_t> NextDue() const;

private:
    struct Timer {
        unsigned periodMs;
        std::int64_t due;
        std::uint64_t generation;  // tells a restarted timer from the one that was due
    };

    Clock now_;
    std::map<int, Timer> timers_;
    std::uint64_t generations_ = 0;
};
