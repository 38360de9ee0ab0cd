#pragma once
// Notifications: the record the manager fills and the interfaces of those
// that receive notifications and filter host messages.
#include <cstdint>
#include <string>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

class CControlUI;
struct UIMessage;

struct tagTNotifyUI {
    std::string type;
    // Virtual window of the sender; filled only when the manager uses them.
    std::string virtualWindow;
    CControlUI* sender = nullptr;
    std::uint32_t timestamp = 0;
    UIPoint mouse;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};
using TNotifyUI = tagTNotifyUI;

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(tagTNotifyUI& notification) = 0;
};

class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    // Sets handled when the message is answered; the result is the answer.
    virtual long MessageHandler(const UIMessage& message, bool& handled) = 0;
};

}  // namespace ZembraUI
