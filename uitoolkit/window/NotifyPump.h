#pragma once
// Notification dispatch by map: each class level adds its own entry list
// (derived levels after their base), and virtual windows (named pumps that
// take the notifications of controls inside a "virtualwnd").
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "uitoolkit/manager/NotifyUI.h"

namespace ZembraUI {

struct NotifyMapEntry {
    using ValueHandler = std::function<void(std::uintptr_t wParam, std::intptr_t lParam)>;
    using RecordHandler = std::function<void(TNotifyUI& notification)>;
    NotifyMapEntry(std::string type, std::string control, RecordHandler handler)
        : type(std::move(type)), control(std::move(control)), onRecord(std::move(handler)) {}
    NotifyMapEntry(std::string type, std::string control, ValueHandler handler)
        : type(std::move(type)), control(std::move(control)), onValues(std::move(handler)) {}
    std::string type;
    std::string control;  // empty: any control
    RecordHandler onRecord;
    ValueHandler onValues;
};

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;

    // A class level's map; the last added is searched first.
    void AddNotifyMap(std::vector<NotifyMapEntry> entries);
    bool AddVirtualWnd(const std::string& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::string& name);
    // Offers the notification to the virtual windows of its name, then to
    // the map chain; true when a handler took it.
    bool NotifyPump(TNotifyUI& notification);

private:
    bool DispatchByMap(TNotifyUI& notification);

    std::vector<std::vector<NotifyMapEntry>> maps_;
    std::vector<std::pair<std::string, CNotifyPump*>> virtualWindows_;
};

}  // namespace ZembraUI
