#include "uitoolkit/headless/HeadlessHost.h"

#include <algorithm>

#include "uitoolkit/manager/UIManager.h"

namespace ZembraUI {
namespace {
// Cap on the invalidations kept for inspection.
constexpr std::size_t kMaxInvalidated = 4096;
}  // namespace

void CHeadlessHost::InvalidateRect(const UIRect& rect) {
    if (invalidated_.size() < kMaxInvalidated) invalidated_.push_back(rect);
}

bool CHeadlessHost::StartNativeTimer(unsigned nativeId, unsigned intervalMs) {
    const std::uint32_t interval = std::max(intervalMs, 1u);
    timers_[nativeId] = {interval, now_ + interval};
    return true;
}

void CHeadlessHost::StopNativeTimer(unsigned nativeId) { timers_.erase(nativeId); }

void CHeadlessHost::ResizeClient(const UISize& size) {
    UIMessage message;
    message.kind = UIMessageKind::Size;
    message.size = size;
    manager_.HandleEvent(message);
}

void CHeadlessHost::SetLayered(bool layered, int opacity) {
    layered_ = layered;
    opacity_ = opacity;
}

void CHeadlessHost::ShowTooltip(const UIRect&, const std::string& text, int maxWidth) {
    tooltip_ = text;
    tooltipWidth_ = maxWidth;
}

void CHeadlessHost::AdvanceClock(std::uint32_t ms) {
    const std::uint32_t end = now_ + ms;
    for (;;) {
        // The timer due first (lowest id among equals), if it is due by the end.
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due)) next = it;
        }
        if (next == timers_.end()) break;
        now_ = next->second.due;
        next->second.due += next->second.interval;
        UIMessage message;
        message.kind = UIMessageKind::Timer;
        message.timerId = next->first;
        manager_.HandleEvent(message);
    }
    now_ = end;
}

void CHeadlessHost::DeliverPosted() {
    if (!deletePosted_) return;
    deletePosted_ = false;
    UIMessage message;
    message.kind = UIMessageKind::DeleteScheduled;
    manager_.HandleEvent(message);
}

}  // namespace ZembraUI
