#include "uitoolkit/manager/ControlTimers.h"

#include <algorithm>

#include "uitoolkit/manager/UIHost.h"

namespace ZembraUI {
namespace {
constexpr unsigned kNativeIdCount = 240;
}

unsigned CControlTimers::NextNativeId() {
    // After a wrap an id may still belong to a running timer of this window;
    // giving it out twice would send both timers' ticks to the older one, so
    // such ids are passed over.
    for (unsigned tries = 0; tries < kNativeIdCount; ++tries) {
        counter_ = (counter_ + 1) % kNativeIdCount;
        if (!InUse(counter_)) break;
    }
    return counter_;
}

bool CControlTimers::InUse(unsigned nativeId) const {
    return std::any_of(records_.begin(), records_.end(), [&](const ControlTimer& timer) {
        return timer.nativeId == nativeId && !timer.stopped;
    });
}

bool CControlTimers::Start(IUIHost* host, CControlUI* control, unsigned id, unsigned intervalMs) {
    for (ControlTimer& timer : records_) {
        if (timer.control != control || timer.id != id) continue;
        if (!timer.stopped) return false;
        if (host == nullptr || !host->StartNativeTimer(timer.nativeId, intervalMs)) return false;
        timer.stopped = false;
        return true;
    }
    const unsigned nativeId = NextNativeId();
    if (host == nullptr || !host->StartNativeTimer(nativeId, intervalMs)) return false;
    records_.push_back({control, id, nativeId, false});
    return true;
}

bool CControlTimers::Stop(IUIHost* host, CControlUI* control, unsigned id) {
    for (ControlTimer& timer : records_) {
        if (timer.control != control || timer.id != id || timer.stopped) continue;
        if (host != nullptr) host->StopNativeTimer(timer.nativeId);
        timer.stopped = true;
        return true;
    }
    return false;
}

void CControlTimers::Forget(IUIHost* host, CControlUI* control) {
    std::erase_if(records_, [&](const ControlTimer& timer) {
        if (timer.control != control) return false;
        if (!timer.stopped && host != nullptr) host->StopNativeTimer(timer.nativeId);
        return true;
    });
}

std::optional<ControlTimer> CControlTimers::Running(unsigned nativeId) const {
    for (const ControlTimer& timer : records_) {
        if (timer.nativeId == nativeId && !timer.stopped) return timer;
    }
    return std::nullopt;
}

}  // namespace ZembraUI
