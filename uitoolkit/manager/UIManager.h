#pragma once
// A window's paint and message manager: it holds the control tree and the
// window's resources (fonts, images, default attribute lists, option groups,
// colours), turns the host's messages into control events (hover, capture,
// focus, keys, timers), delivers notifications and paints the tree into one
// offscreen surface, only where it is dirty. It knows nothing of the native
// window: the host feeds it UIMessages, calls Paint and presents the surface,
// and implements IUIHost for what the manager asks of the window.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/controls/ControlEvent.h"
#include "uitoolkit/manager/ControlTimers.h"
#include "uitoolkit/manager/NotifyUI.h"
#include "uitoolkit/manager/UIHost.h"
#include "uitoolkit/manager/UIMessage.h"
#include "uitoolkit/manager/WindowAttributes.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/render/FontInfo.h"
#include "uitoolkit/render/ImageSource.h"
#include "uitoolkit/render/PaintSurface.h"
#include "uitoolkit/text/TextRenderer.h"

namespace ZembraUI {

class CControlUI;

class CUIManager : public IImageSource, public IFontSource {
public:
    CUIManager();
    ~CUIManager() override;
    CUIManager(const CUIManager&) = delete;
    CUIManager& operator=(const CUIManager&) = delete;

    // --- the window ---
    // Joins the manager to its window. Until then nothing is invalidated on a
    // window, timers do not start and the clock stands at 0.
    void AttachToWindow(IUIHost* host);
    IUIHost* Host() const { return host_; }
    bool HasWindow() const { return host_ != nullptr; }
    // The window's client size; the surface follows it.
    void SetClientSize(const UISize& size);
    UISize ClientSize() const { return clientSize_; }
    const CPaintSurface& Surface() const { return surface_; }
    CTextRenderer& TextRenderer() { return textRenderer_; }
    // A cairo context on a tiny surface, for measuring text during layout.
    cairo_t* MeasureContext();

    // --- the tree ---
    bool AttachRoot(CControlUI* root);
    CControlUI* Root() const { return root_; }
    // Registers every control of the subtree under its name (first wins) and
    // gives it the manager and its parent.
    void InitControls(CControlUI* control, CControlUI* parent = nullptr);
    CControlUI* ControlByName(const std::string& name) const;
    // Case-insensitive search under parent (the root when null).
    CControlUI* ControlByNameUnder(CControlUI* parent, std::string_view name) const;
    CControlUI* ControlAtPoint(const UIPoint& point) const;
    // Every control of the tree whose class answers the interface name.
    std::vector<CControlUI*> ControlsByInterface(std::string_view name) const;
    // Deletes the control (detached from the manager now) when the host
    // delivers the posted delete message.
    void ScheduleDelete(CControlUI* control);
    // Drops every reference the manager keeps to the control.
    void ForgetControl(CControlUI* control);
    // Controls painted after the tree (overlays).
    void AddPostPaint(CControlUI* control);
    void RemovePostPaint(CControlUI* control);

    // --- input ---
    // One host message: pre-translation (filters, Tab, shortcuts), then the
    // message handling. True when the message was answered.
    bool HandleEvent(const UIMessage& message);
    bool PreTranslate(const UIMessage& message);
    bool MessageHandler(const UIMessage& message);
    CControlUI* FocusedControl() const { return focus_; }
    CControlUI* HoveredControl() const { return hover_; }
    CControlUI* ClickedControl() const { return click_; }
    UIPoint LastMousePos() const { return lastMouse_; }
    void MoveFocus(CControlUI* control);
    void TabToNextControl(bool forward);
    void SetCursor(CursorShape shape);

    // --- notifications ---
    void SendNotification(CControlUI* sender, const std::string& type, std::uintptr_t wParam = 0,
                          std::intptr_t lParam = 0, bool queued = false);
    void AddListener(INotifyUI* listener);
    void RemoveListener(INotifyUI* listener);
    void AddPreFilter(IMessageFilterUI* filter);
    void RemovePreFilter(IMessageFilterUI* filter);
    void AddFilter(IMessageFilterUI* filter);
    void RemoveFilter(IMessageFilterUI* filter);
    void UseVirtualWindows(bool used) { virtualWindows_ = used; }

    // --- timers ---
    bool StartTimer(CControlUI* control, unsigned id, unsigned intervalMs);
    bool StopTimer(CControlUI* control, unsigned id);
    void StopTimers(CControlUI* control);
    const CControlTimers& Timers() const { return timers_; }
    // The caret of a text field: shown now and blinking on the caret timer
    // (241) until stopped. control is the field it stands in.
    static constexpr unsigned kCaretBlinkMs = 530;
    void StartCaret(CControlUI* control);
    void StopCaret(CControlUI* control);
    bool CaretVisible() const { return caretVisible_; }

    // --- painting ---
    void Invalidate(const UIRect& rect);
    void MarkForLayout();
    // Lays out what needs it, sends "windowinit" once per tree, moves the
    // first focus and paints the dirty rectangles into the surface. Returns
    // the rectangles painted, which the host presents; empty when nothing
    // was dirty.
    std::vector<UIRect> Paint();
    bool NeedsUpdate() const { return updateNeeded_; }

    // --- fonts ---
    const FontInfo* AddFontEntry(const std::string& face, int size, bool bold, bool underline, bool italic);
    const FontInfo& FontAt(int index) const override;
    const FontInfo& DefaultFont() const override;
    void SetDefaultFont(const FontInfo& font);
    int FontCount() const { return static_cast<int>(fonts_.size()); }

    // --- images ---
    const LoadedImage* ImageByName(const std::string& name, const std::string& resType,
                                   std::uint32_t mask) override;
    const LoadedImage* ImageByName(const std::string& name) { return ImageByName(name, {}, 0); }
    // Registers a picture the application drew; null when the picture is
    // empty or a size is not positive, or when the name is taken (the old
    // entry stays).
    const LoadedImage* AddBitmapImage(const std::string& name, LoadedImage image);
    // Forgets every cached picture, the ones found missing included: controls
    // load theirs again at their next paint, drawn pictures must be added again.
    void RemoveAllImages();
    // Forgets one cached picture; false when none has that name.
    bool RemoveImage(const std::string& name);
    // Bytes of pixels the cache holds (drawn and loaded pictures).
    std::size_t ImageCacheBytes() const;

    // --- resources shared with a parent manager ---
    void AddDefaultAttributeList(const std::string& name, const std::string& list);
    // Looked up here, then in the parent managers; empty when none.
    std::string DefaultAttributeList(const std::string& name) const;
    // Refused (false) when it would close a cycle.
    bool SetParentManager(CUIManager* parent);
    CUIManager* ParentManager() const { return parent_; }

    void AddOptionGroup(const std::string& group, CControlUI* option);
    void RemoveOptionGroup(const std::string& group, CControlUI* option);
    const std::vector<CControlUI*>* OptionGroup(const std::string& group) const;

    // --- window attributes and colours ---
    // Applies one attribute of a root Window element; false for unknown names.
    bool ApplyWindowAttribute(std::string_view name, std::string_view value);
    // Colours and the default font always come from the top-most manager.
    const WindowAttributes& Window() const;
    WindowAttributes& MutableWindow() { return window_; }
    TextColours ColoursFor(std::uint32_t textColour) const;
    void SetInitSize(const UISize& size);
    bool IsLayered() const { return window_.layered; }

private:
    const CUIManager& TopManager() const;
    void DeliverQueuedNotifications();
    void DeliverNotification(tagTNotifyUI& notification);
    ControlEvent MakeEvent(int kind, CControlUI* target, const UIMessage& message) const;
    void SendEventTo(CControlUI* control, int kind, const UIMessage& message, std::uintptr_t wParam = 0,
                     std::intptr_t lParam = 0);
    bool PreMessage(const UIMessage& message);
    bool HandleShortcut(char32_t key);
    void OnMouseMove(const UIMessage& message);
    void OnButtonDown(const UIMessage& message, int kind);
    void OnMouseHover(const UIMessage& message);
    void OnClose();
    void LayOutIfNeeded();
    void PaintRect(const UIRect& rect);
    void DeleteScheduled();
    std::uint32_t Now() const;
    bool OwnsControl(const CControlUI* control) const;

    IUIHost* host_ = nullptr;
    CUIManager* parent_ = nullptr;
    UISize clientSize_;
    CPaintSurface surface_;
    CTextRenderer textRenderer_;
    cairo_surface_t* measureSurface_ = nullptr;
    cairo_t* measureContext_ = nullptr;

    CControlUI* root_ = nullptr;
    CControlUI* focus_ = nullptr;
    CControlUI* hover_ = nullptr;
    CControlUI* click_ = nullptr;
    CControlUI* keyControl_ = nullptr;
    UIPoint lastMouse_{-1, -1};

    bool firstLayout_ = false;
    bool updateNeeded_ = false;
    bool focusNeeded_ = false;
    bool fullLayeredRepaint_ = false;
    bool mouseTracking_ = false;
    bool mouseCaptured_ = false;
    bool virtualWindows_ = false;
    bool caretVisible_ = false;
    CControlUI* caretControl_ = nullptr;

    std::vector<INotifyUI*> listeners_;
    std::vector<IMessageFilterUI*> preFilters_;
    std::vector<IMessageFilterUI*> filters_;
    std::vector<CControlUI*> postPaint_;
    std::vector<CControlUI*> scheduledDeletes_;
    std::deque<tagTNotifyUI> queuedNotifications_;
    CControlTimers timers_;

    std::unordered_map<std::string, CControlUI*> names_;
    std::map<std::string, std::vector<CControlUI*>> optionGroups_;
    std::map<std::string, std::string> defaultAttributes_;
    std::map<std::string, std::unique_ptr<LoadedImage>> images_;
    std::set<std::string> missingImages_;
    std::vector<FontInfo> fonts_;
    FontInfo defaultFont_;
    WindowAttributes window_;
};

}  // namespace ZembraUI
