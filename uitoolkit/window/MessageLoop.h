#pragma once
// The UI thread's message loop: SDL events to their windows, messages posted
// from any thread, window timers from a heap, and at the end of every turn
// the paint of each window whose surface has dirty rectangles. It sleeps in
// SDL until the next event or the next due timer; nothing polls.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/X11Desktop.h"
#include "uitoolkit/window/HostWindowId.h"
#include "uitoolkit/window/TimerHeap.h"

union SDL_Event;

namespace ZembraUI {

class CHostWindow;
class CCursorSet;

class CMessageLoop {
public:
    using Clock = CTimerHeap::Clock;

    // Milliseconds of the steady clock.
    static std::int64_t SteadyMilliseconds();

    // clock drives the window timers; tests pass one they move by hand.
    explicit CMessageLoop(Clock clock = SteadyMilliseconds);
    ~CMessageLoop();
    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;

    // Starts SDL video on the calling thread, which becomes the UI thread.
    // False, with a log line, when there is no display.
    bool Start();
    // The started loop of this process (UI thread only), or null.
    static CMessageLoop* Current();

    // Runs until a quit request and returns its code.
    int Run();
    // Runs until done() holds after a turn (nullopt) or a quit request ends
    // it (its code; a nested loop hands it on by posting it again).
    std::optional<int> RunUntil(const std::function<bool()>& done);
    // One turn: waits at most maxWaitMs (negative: as long as nothing
    // happens) for an event or the next timer, then handles every event and
    // message waiting, fires due timers and paints. Returns a quit request's code.
    std::optional<int> PumpOnce(int maxWaitMs);
    // Asks the innermost running loop to end; any thread.
    static bool PostQuit(int code);

    CTimerHeap& Timers() { return timers_; }
    // The desktop's scale for skin sizes and fonts (HiDPI), read at start.
    double DesktopScale() const { return scale_; }
    platform::X11Desktop& Desktop() { return desktop_; }
    CCursorSet& Cursors() { return *cursors_; }

    // Windows announce themselves here at creation and leave at destruction.
    HostWindowId Add(CHostWindow& window, std::uint32_t sdlWindowId);
    void Remove(CHostWindow& window);
    CHostWindow* Find(HostWindowId id) const;
    // Runs a window's message handler now (UI thread); nullopt when the window is gone.
    std::optional<std::intptr_t> DeliverNow(HostWindowId id, unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam);

private:
    int WaitBudget(int maxWaitMs);
    void Dispatch(const SDL_Event& event);
    void DrainPosted();
    void PaintWindows();
    bool AnyWindowNeedsPaint() const;

    CTimerHeap timers_;
    platform::X11Desktop desktop_;
    std::unique_ptr<CCursorSet> cursors_;
    double scale_ = 1.0;
    std::uint32_t wakeEvent_ = 0;
    bool started_ = false;
    std::optional<int> quit_;
    std::map<HostWindowId, CHostWindow*> windows_;
    std::map<std::uint32_t, CHostWindow*> bySdlId_;
};

// Messages for a window from any thread. A post is queued behind every
// earlier one; a send from the UI thread runs the window's handler at once,
// from another thread it waits until the UI thread has run it. A message for
// a window that is gone is dropped with a log line (a send answers 0).
bool PostToWindow(HostWindowId window, unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
std::intptr_t SendToWindow(HostWindowId window, unsigned message, std::uintptr_t wParam = 0,
                           std::intptr_t lParam = 0);

}  // namespace ZembraUI
