#include "uitoolkit/window/MessageLoop.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <vector>

#include <easylogging++.h>

#include "uitoolkit/window/CursorSet.h"
#include "uitoolkit/window/HostWindow.h"
#include "uitoolkit/window/PostedQueue.h"

namespace ZembraUI {
namespace {

void ReportProtocolError(const std::string& text) { LOG(INFO) << " X protocol error ignored: " << text; }

CMessageLoop* g_current = nullptr;
std::atomic<HostWindowId> g_lastWindowId{kNoHostWindow};

void SetPlatformHints() {
    // Without this SDL moves window surfaces to OpenGL: a new X window, Mesa
    // loaded, far more memory and a slow first frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The installer has its own crash and signal handling.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Only the program decides when its loop ends.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Translucent windows need the compositor, and an installer must not keep the screen awake.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // A click on an inactive window acts at once, as it does on the desktop.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
}

std::uint32_t WindowIdOf(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: return event.window.windowID;
        case SDL_MOUSEMOTION: return event.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return event.button.windowID;
        case SDL_MOUSEWHEEL: return event.wheel.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return event.key.windowID;
        case SDL_TEXTINPUT: return event.text.windowID;
        case SDL_TEXTEDITING: return event.edit.windowID;
        default: return 0;
    }
}

}  // namespace

std::int64_t CMessageLoop::SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CMessageLoop::CMessageLoop(Clock clock) : timers_(std::move(clock)), cursors_(std::make_unique<CCursorSet>()) {}

CMessageLoop::~CMessageLoop() {
    if (!started_) return;
    const std::size_t dropped = CPostedQueue::Instance().Detach();
    if (dropped != 0) LOG(INFO) << " Message loop ended with " << dropped << " messages undelivered";
    // Windows that outlive the loop lose their native part now, while SDL still runs.
    const auto windows = windows_;
    for (const auto& [id, window] : windows) window->LoopGone();
    cursors_.reset();
    if (g_current == this) g_current = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

bool CMessageLoop::Start() {
    if (started_) return true;
    if (g_current != nullptr) {
        LOG(INFO) << " A message loop already runs in this process";
        return false;
    }
    SetPlatformHints();
    // Installed before the windowing library starts as well: it keeps the
    // handler it finds and puts that one back when it shuts down, just before
    // closing its second connection, where a protocol error about a window
    // destroyed a moment ago (its wake-up message to that window) may still
    // be waiting to be read. With the default handler that error ended the
    // process.
    platform::X11Desktop::ReportProtocolErrors(ReportProtocolError);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LOG(INFO) << " Display unavailable: " << SDL_GetError();
        return false;
    }
    // The windowing library's own handler ends the process on any protocol
    // error, also on one about a window that was destroyed a moment ago.
    platform::X11Desktop::ReportProtocolErrors(ReportProtocolError);
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == std::uint32_t(-1)) {
        LOG(INFO) << " No event number left for window messages";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (desktop_.Open()) scale_ = platform::DesktopScale(std::getenv("GDK_SCALE"), desktop_.ResourceText());
    LOG(INFO) << " Display scale: " << scale_;
    const std::uint32_t wakeEvent = wakeEvent_;
    CPostedQueue::Instance().Attach([wakeEvent] {
        SDL_Event wake{};
        wake.type = wakeEvent;
        // A full SDL queue loses this wake-up, but then there are events to
        // wake the loop, and it drains the messages before it waits again.
        SDL_PushEvent(&wake);
    });
    started_ = true;
    g_current = this;
    return true;
}

CMessageLoop* CMessageLoop::Current() { return g_current; }

int CMessageLoop::Run() {
    for (;;) {
        if (const auto code = PumpOnce(-1)) return *code;
    }
}

std::optional<int> CMessageLoop::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (const auto code = PumpOnce(-1)) return code;
    }
    return std::nullopt;
}

int CMessageLoop::WaitBudget(int maxWaitMs) {
    if (quit_ || CPostedQueue::Instance().HasMessages() || AnyWindowNeedsPaint()) return 0;
    const auto next = timers_.MillisecondsToNext();
    if (!next) return maxWaitMs;
    const int untilTimer = int(std::min<std::int64_t>(*next, INT_MAX));
    return maxWaitMs < 0 ? untilTimer : std::min(maxWaitMs, untilTimer);
}

std::optional<int> CMessageLoop::PumpOnce(int maxWaitMs) {
    if (!started_) return 0;
    SDL_Event event;
    const int budget = WaitBudget(maxWaitMs);
    const bool got = budget == 0 ? SDL_PollEvent(&event) != 0
                     : budget < 0 ? SDL_WaitEvent(&event) != 0
                                  : SDL_WaitEventTimeout(&event, budget) != 0;
    if (got) Dispatch(event);
    while (!quit_ && SDL_PollEvent(&event) != 0) Dispatch(event);
    if (!quit_) DrainPosted();
    if (!quit_) {
        timers_.FireDue([this](HostWindowId id, unsigned timer) {
            if (CHostWindow* window = Find(id)) {
                window->DeliverTimer(timer);
            } else {
                timers_.KillAllOf(id);
            }
        });
    }
    PaintWindows();
    const auto code = quit_;
    quit_.reset();
    return code;
}

void CMessageLoop::Dispatch(const SDL_Event& event) {
    if (event.type == wakeEvent_) return;
    if (event.type == SDL_QUIT) {
        quit_ = 0;
        return;
    }
    const auto found = bySdlId_.find(WindowIdOf(event));
    if (found != bySdlId_.end()) found->second->HandleEvent(event);
}

void CMessageLoop::DrainPosted() {
    CPostedQueue& queue = CPostedQueue::Instance();
    while (!quit_) {
        auto taken = queue.Take();
        if (!taken) return;
        const WindowMessage& message = taken->message;
        if (message.quit) {
            quit_ = int(message.wParam);
            CPostedQueue::Answer(taken->reply, 0);
            return;
        }
        CHostWindow* window = Find(message.window);
        if (window == nullptr) {
            LOG(INFO) << " Message " << message.message << " for closed window " << message.window << " dropped";
            CPostedQueue::Answer(taken->reply, 0);
            continue;
        }
        CPostedQueue::Answer(taken->reply, window->DeliverMessage(message.message, message.wParam, message.lParam));
    }
}

bool CMessageLoop::AnyWindowNeedsPaint() const {
    for (const auto& [id, window] : windows_) {
        if (window->NeedsPaint()) return true;
    }
    return false;
}

void CMessageLoop::PaintWindows() {
    std::vector<HostWindowId> ids;
    for (const auto& [id, window] : windows_) {
        if (window->NeedsPaint()) ids.push_back(id);
    }
    // A paint may close windows: each is looked up again.
    for (HostWindowId id : ids) {
        if (CHostWindow* window = Find(id)) window->PaintPending();
    }
}

bool CMessageLoop::PostQuit(int code) {
    WindowMessage quit;
    quit.quit = true;
    quit.wParam = std::uintptr_t(code);
    return CPostedQueue::Instance().Post(quit);
}

HostWindowId CMessageLoop::Add(CHostWindow& window, std::uint32_t sdlWindowId) {
    const HostWindowId id = ++g_lastWindowId;
    windows_[id] = &window;
    bySdlId_[sdlWindowId] = &window;
    return id;
}

void CMessageLoop::Remove(CHostWindow& window) {
    timers_.KillAllOf(window.Id());
    windows_.erase(window.Id());
    std::erase_if(bySdlId_, [&window](const auto& entry) { return entry.second == &window; });
}

CHostWindow* CMessageLoop::Find(HostWindowId id) const {
    const auto found = windows_.find(id);
    return found == windows_.end() ? nullptr : found->second;
}

std::optional<std::intptr_t> CMessageLoop::DeliverNow(HostWindowId id, unsigned message, std::uintptr_t wParam,
                                                     std::intptr_t lParam) {
    CHostWindow* window = Find(id);
    if (window == nullptr) return std::nullopt;
    return window->DeliverMessage(message, wParam, lParam);
}

bool PostToWindow(HostWindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (CPostedQueue::Instance().Post(WindowMessage{window, message, wParam, lParam})) return true;
    LOG(INFO) << " Message " << message << " for window " << window << " dropped: no message loop";
    return false;
}

std::intptr_t SendToWindow(HostWindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    CPostedQueue& queue = CPostedQueue::Instance();
    if (queue.IsUiThread()) {
        CMessageLoop* loop = CMessageLoop::Current();
        if (const auto answer = loop != nullptr ? loop->DeliverNow(window, message, wParam, lParam) : std::nullopt) {
            return *answer;
        }
        LOG(INFO) << " Message " << message << " for closed window " << window << " dropped";
        return 0;
    }
    if (const auto answer = queue.SendAndWait(WindowMessage{window, message, wParam, lParam})) return *answer;
    LOG(INFO) << " Message " << message << " for window " << window << " dropped: no message loop";
    return 0;
}

}  // namespace ZembraUI
