#include "uitoolkit/window/NotifyPump.h"

#include <algorithm>
#include <strings.h>

#include "uitoolkit/controls/ControlUI.h"

namespace ZembraUI {
namespace {

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

void Call(const NotifyMapEntry& entry, TNotifyUI& notification) {
    if (entry.onRecord) {
        entry.onRecord(notification);
    } else if (entry.onValues) {
        entry.onValues(notification.wParam, notification.lParam);
    }
}

}  // namespace

void CNotifyPump::AddNotifyMap(std::vector<NotifyMapEntry> entries) { maps_.push_back(std::move(entries)); }

bool CNotifyPump::AddVirtualWnd(const std::string& name, CNotifyPump* pump) {
    if (name.empty() || pump == nullptr || pump == this) return false;
    const auto found = std::find_if(virtualWindows_.begin(), virtualWindows_.end(),
                                    [&](const auto& entry) { return SameName(entry.first, name); });
    if (found != virtualWindows_.end()) return false;
    virtualWindows_.emplace_back(name, pump);
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(const std::string& name) {
    const auto before = virtualWindows_.size();
    std::erase_if(virtualWindows_, [&](const auto& entry) { return SameName(entry.first, name); });
    return virtualWindows_.size() != before;
}

bool CNotifyPump::NotifyPump(TNotifyUI& notification) {
    if (!notification.virtualWindow.empty()) {
        for (const auto& [name, pump] : std::vector(virtualWindows_)) {
            if (SameName(name, notification.virtualWindow) && pump->DispatchByMap(notification)) return true;
        }
    }
    return DispatchByMap(notification);
}

bool CNotifyPump::DispatchByMap(TNotifyUI& notification) {
    const std::string senderName = notification.sender != nullptr ? notification.sender->Name() : std::string();
    const NotifyMapEntry* fallback = nullptr;
    for (auto map = maps_.rbegin(); map != maps_.rend(); ++map) {
        for (const NotifyMapEntry& entry : *map) {
            if (entry.type != notification.type) continue;
            if (entry.control.empty()) {
                if (fallback == nullptr) fallback = &entry;
            } else if (entry.control == senderName) {
                Call(entry, notification);
                return true;
            }
        }
    }
    if (fallback == nullptr) return false;
    Call(*fallback, notification);
    return true;
}

}  // namespace ZembraUI
