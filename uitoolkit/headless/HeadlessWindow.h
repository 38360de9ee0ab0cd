#pragma once
// A window without a screen: a manager, its headless host and the layout
// built into it. It feeds synthetic input, paints into the manager's
// surface and writes it as a PNG. Used by skinshot, the benchmark and the
// tests.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/headless/HeadlessHost.h"
#include "uitoolkit/manager/UIManager.h"

namespace ZembraUI {

class IDialogBuilderCallback;

class CHeadlessWindow {
public:
    // The client size used when a layout sets none.
    static constexpr UISize kDefaultSize{800, 600};

    CHeadlessWindow();
    ~CHeadlessWindow();
    CHeadlessWindow(const CHeadlessWindow&) = delete;
    CHeadlessWindow& operator=(const CHeadlessWindow&) = delete;

    // Builds the layout file of the skin and attaches it; false (with
    // LastError) when it yields no control.
    bool Load(const std::string& layoutFile, IDialogBuilderCallback* callback = nullptr);
    // The same from markup text.
    bool LoadMarkup(std::string_view markup, IDialogBuilderCallback* callback = nullptr);
    const std::string& LastError() const { return lastError_; }

    CUIManager& Manager() { return *manager_; }
    CHeadlessHost& Host() { return *host_; }
    CControlUI* Root() const { return manager_->Root(); }
    template <typename T>
    T* Find(const std::string& name) {
        return dynamic_cast<T*>(manager_->ControlByName(name));
    }

    void Resize(UISize size);
    // One turn of the loop: posted messages, then the paint. Returns the
    // rectangles painted.
    std::vector<UIRect> Pump();

    // Synthetic input in client coordinates.
    void MoveTo(UIPoint point);
    void Press(UIPoint point, std::uint16_t keyState = 0);
    void Release(UIPoint point, std::uint16_t keyState = 0);
    void Click(UIPoint point);
    void KeyDown(unsigned key, std::uint16_t keyState = 0);
    void KeyUp(unsigned key, std::uint16_t keyState = 0);
    // Key down and up of one key.
    void PressKey(unsigned key, std::uint16_t keyState = 0);
    void Type(std::string_view utf8);
    void Wheel(UIPoint point, int delta);
    void Send(const UIMessage& message);

    bool WritePng(const std::string& path) const;

private:
    bool Attach(CControlUI* root);
    void SendKey(UIMessageKind kind, unsigned key, std::uint16_t keyState);

    std::unique_ptr<CUIManager> manager_;
    std::unique_ptr<CHeadlessHost> host_;
    std::string lastError_;
};

}  // namespace ZembraUI
