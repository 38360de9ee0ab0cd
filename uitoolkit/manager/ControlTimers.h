#pragma once
// The control timers of one window. Each (control, id) pair keeps its record
// and native id once made; a stopped record is restarted under the same
// native id. New native ids follow the window's counter: (counter + 1) mod
// 240 from 4096 on, so the first is 17 and ids never reach the caret's 241.
#include <optional>
#include <vector>

namespace ZembraUI {

class CControlUI;
class IUIHost;

struct ControlTimer {
    CControlUI* control = nullptr;
    unsigned id = 0;
    unsigned nativeId = 0;
    bool stopped = false;
};

class CControlTimers {
public:
    static constexpr unsigned kCaretTimerId = 241;

    // False when the timer runs already (nothing changes) or the host
    // refuses a native timer (no record is added then).
    bool Start(IUIHost* host, CControlUI* control, unsigned id, unsigned intervalMs);
    // False when no running timer matches.
    bool Stop(IUIHost* host, CControlUI* control, unsigned id);
    // Stops the control's timers and forgets their records.
    void Forget(IUIHost* host, CControlUI* control);
    // The running record of a native id, if any.
    std::optional<ControlTimer> Running(unsigned nativeId) const;
    const std::vector<ControlTimer>& Records() const { return records_; }

private:
    unsigned NextNativeId();
    bool InUse(unsigned nativeId) const;

    std::vector<ControlTimer> records_;
    unsigned counter_ = 4096;
};

}  // namespace ZembraUI
