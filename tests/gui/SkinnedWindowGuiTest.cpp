#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gui/GuiTest.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/ScrollBarUI.h"
#include "uitoolkit/controls/VerticalLayoutUI.h"
#include "uitoolkit/window/KeyCodes.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/DropDownWindow.h"
#include "uitoolkit/window/TooltipWindow.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

using namespace ZembraUI;
using testsupport::PixelOf;

constexpr char kMainLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40">
  <VerticalLayout bkcolor="FFFFFFFF">
    <HorizontalLayout height="40" bkcolor="FF336699">
      <Label name="title" />
      <Button name="maxbtn" width="30" bkcolor="FF00FF00" />
      <Button name="restorebtn" width="30" visible="false" bkcolor="FF00FFFF" />
      <Button name="capbtn" width="60" bkcolor="FFFF0000" />
    </HorizontalLayout>
    <Button name="okbtn" height="40" tooltip="Starts the installation" bkcolor="FF0000FF" />
    <Edit name="edit" height="30" />
    <Edit name="edit2" height="30" />
    <Combo name="combo" height="30">
      <ListLabelElement text="zero" height="24" />
      <ListLabelElement text="one" height="24" />
      <ListLabelElement text="two" height="24" />
    </Combo>
    <Control />
  </VerticalLayout>
</Window>
)";

constexpr char kBoxLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="200,100">
  <VerticalLayout bkcolor="FFEEEEEE">
    <Button name="yesbtn" height="100" bkcolor="FF00AA00" />
  </VerticalLayout>
</Window>
)";

constexpr char kComboLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="200,120">
  <Default name="VerticalLayout" value="childpadding=&quot;4&quot;" />
  <HorizontalLayout bkcolor="FFFFFFFF">
    <Combo name="combo" height="30" dropbox="inset=&quot;3,3,3,3&quot;" dropboxsize="0,60" itemfont="0">
      <ListLabelElement text="zero" height="20" selected="true" />
      <ListLabelElement text="one" height="20" />
      <ListLabelElement text="two" height="20" />
      <ListLabelElement text="three" height="20" />
    </Combo>
  </HorizontalLayout>
</Window>
)";

constexpr char kEmptyLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="200,100"></Window>
)";

// A skin folder of its own per test.
class TestSkin {
public:
    TestSkin() {
        folder_ = std::filesystem::temp_directory_path() / ("zembra-gui-skin-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        Write("main.xml", kMainLayout);
        Write("box.xml", kBoxLayout);
        Write("empty.xml", kEmptyLayout);
        Write("combo.xml", kComboLayout);
        CSkinArchive::Close();
        CSkinArchive::SetResourceFolder(folder_.string() + "/");
    }
    ~TestSkin() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Folder() const { return folder_.string(); }

private:
    void Write(const std::string& name, const char* text) { std::ofstream(folder_ / name) << text; }
    std::filesystem::path folder_;
};

// Pixels of the headless picture whose colour on screen (the window at the
// top-left corner, each pixel shown scale times as large) is off by more
// than 24 in a channel.
int DifferingPixels(const LoadedImage& shot, const CPaintSurface& expected, int scale) {
    int count = 0;
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            const std::uint32_t a = PixelOf(shot, scale * x + scale / 2, scale * y + scale / 2);
            const std::uint32_t b = expected.PixelAt(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24) {
                    ++count;
                    break;
                }
            }
        }
    }
    return count;
}

// A skinned window that records what reaches it.
class TestWnd : public WindowImplBase {
public:
    explicit TestWnd(std::string layout) : layout_(std::move(layout)) {
        AddNotifyMap({
            NotifyMapEntry("click", "okbtn", NotifyMapEntry::ValueHandler([this](std::uintptr_t, std::intptr_t) {
                               named.push_back("okbtn");
                           })),
            NotifyMapEntry("click", "", NotifyMapEntry::RecordHandler([this](TNotifyUI& notification) {
                               unnamed.push_back(notification.sender->Name());
                               if (notification.sender->Name() == "yesbtn") PostClose(7);
                               OnClick(notification);  // the defaults of the base map
                           })),
        });
    }
    std::string WindowClassName() const override { return "TestWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return layout_; }
    bool DefaultKeyResponse(unsigned key) override {
        ++keyResponses;
        return WindowImplBase::DefaultKeyResponse(key);
    }
    Result OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override {
        ++closes;
        return WindowImplBase::OnClose(message, wParam, lParam, handled);
    }
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, bool& handled) override {
        if (message != WindowMessage::kUser) return 0;
        custom.push_back(int(wParam));
        onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
        handled = true;
        return 0;
    }
    bool Open(int x, int y, CWindowWnd* owner = nullptr) {
        if (!CreateHostWindow(owner, layout_, 0, 0, x, y, 100, 100)) return false;
        ShowHostWindow(true, true);
        return true;
    }
    std::string FocusName() {
        CControlUI* focus = PaintManager().FocusedControl();
        return focus != nullptr ? focus->Name() : std::string();
    }
    CControlUI* Find(const std::string& name) { return PaintManager().ControlByName(name); }

    std::vector<std::string> named;
    std::vector<std::string> unnamed;
    int keyResponses = 0;
    int closes = 0;
    std::vector<int> custom;
    bool onUiThread = true;
    std::thread::id uiThread = std::this_thread::get_id();

private:
    std::string layout_;
};

class SkinnedWindowGuiTest : public testsupport::GuiTest {
protected:
    bool Xdo(const std::vector<std::string>& args) { return display_.XdotoolInBackground(args); }
    bool Shown(TestWnd& window) {
        return PumpUntil([&] { return window.IsVisible() && !window.FocusName().empty(); });
    }
    bool Click(int x, int y) { return Xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}); }

    TestSkin skin_;
};

TEST_F(SkinnedWindowGuiTest, ClicksReachTheirControlAndTheCaptionBandDragsExceptOverButtons) {
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(100, 100));
    ASSERT_TRUE(Shown(window));
    EXPECT_EQ(window.ClientSize(), (UISize{400, 300}));  // the layout's size

    // A named entry takes its control; the unnamed one every other control.
    ASSERT_TRUE(Click(150, 160));
    ASSERT_TRUE(PumpUntil([&] { return !window.named.empty(); }));
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(Click(470, 120));  // the button inside the caption band
    ASSERT_TRUE(PumpUntil([&] { return !window.unnamed.empty(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.named, std::vector<std::string>{"okbtn"});
    EXPECT_EQ(window.unnamed, std::vector<std::string>{"capbtn"});

    // The label in the band drags the window.
    ASSERT_TRUE(Xdo({"mousemove", "--sync", "150", "120", "mousedown", "1", "mousemove", "--sync", "250", "170",
                     "mouseup", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return window.ScreenRect().left == 200 && window.ScreenRect().top == 150; }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.unnamed.size(), 1u);

    // Resting on a control with a tooltip shows it in its popup, 300 px wide at most.
    ASSERT_TRUE(Xdo({"mousemove", "--sync", "250", "210"}));
    ASSERT_TRUE(PumpUntil([&] { return window.UIHost().Tooltip() != nullptr && window.UIHost().Tooltip()->IsVisible(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.UIHost().Tooltip()->Text(), "Starts the installation");
    EXPECT_EQ(window.UIHost().Tooltip()->MaxWidth(), 300);
    EXPECT_LE(window.UIHost().Tooltip()->ClientSize().cx, 300);

    // A worker's posts reach HandleCustomMessage in order, on the UI thread.
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) window.PostToWindow(WindowMessage::kUser, std::uintptr_t(i));
    });
    ASSERT_TRUE(PumpUntil([&] { return window.custom.size() == 50; }));
    worker.join();
    for (int i = 0; i < 50; ++i) EXPECT_EQ(window.custom[std::size_t(i)], i);
    EXPECT_TRUE(window.onUiThread);
}

TEST_F(SkinnedWindowGuiTest, MaximiseAndRestoreSwapTheirButtonsAndAltF4ReachesOnClose) {
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    CControlUI* maxButton = window.Find("maxbtn");
    CControlUI* restoreButton = window.Find("restorebtn");

    ASSERT_TRUE(Click(325, 20));  // maxbtn: the default click handling maximises
    ASSERT_TRUE(PumpUntil([&] { return restoreButton->Visible(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_FALSE(maxButton->Visible());
    EXPECT_TRUE(window.IsMaximized());
    const UIRect work = window.WorkArea();
    EXPECT_EQ(window.ClientSize(), (UISize{work.Width(), work.Height()}));

    window.SendToWindow(WindowMessage::kSysCommand, SysCommand::kRestore);
    EXPECT_TRUE(maxButton->Visible());
    EXPECT_FALSE(restoreButton->Visible());
    ASSERT_TRUE(PumpUntil([&] { return window.ClientSize() == UISize{400, 300}; }));

    window.TakeFocus();
    ASSERT_TRUE(Xdo({"key", "alt+F4"}));
    ASSERT_TRUE(PumpUntil([&] { return !window.IsAlive(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.closes, 1);
}

TEST_F(SkinnedWindowGuiTest, ModalBoxBlocksItsOwnerReturnsItsCodeAndHandsOnAQuit) {
    TestWnd owner("main.xml");
    ASSERT_TRUE(owner.Open(0, 0));
    ASSERT_TRUE(Shown(owner));

    TestWnd box("box.xml");
    ASSERT_TRUE(box.CreateHostWindow(&owner, "box", 0, 0, 500, 400, 10, 10));
    box.ShowHostWindow();
    ASSERT_TRUE(Shown(box));
    // A click on the owner's button is ignored, then the box's button closes it with 7.
    ASSERT_TRUE(Xdo({"mousemove", "--sync", "50", "60", "click", "1", "mousemove", "--sync", "600", "450", "click",
                     "1"}));
    EXPECT_EQ(box.RunModal(), 7);
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_TRUE(owner.named.empty());
    EXPECT_FALSE(box.IsAlive());
    EXPECT_TRUE(owner.IsEnabled());

    // A quit inside the modal loop ends it and reaches the outer loop.
    TestWnd second("box.xml");
    ASSERT_TRUE(second.CreateHostWindow(&owner, "box", 0, 0, 500, 400, 10, 10));
    std::thread([] { CMessageLoop::PostQuit(5); }).join();
    EXPECT_EQ(second.RunModal(), 0);
    EXPECT_TRUE(owner.IsEnabled());
    ASSERT_TRUE(PumpUntil([&] { return quitCode_.has_value(); }));
    EXPECT_EQ(*quitCode_, 5);
}

TEST_F(SkinnedWindowGuiTest, TabCyclesFocusTypedTextReachesTheEditAndEscapeStopsAtTheWindow) {
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    EXPECT_EQ(window.FocusName(), "maxbtn");  // the first tab stop
    window.TakeFocus();

    ASSERT_TRUE(Xdo({"key", "Tab", "key", "Tab"}));  // the hidden restorebtn is skipped
    ASSERT_TRUE(PumpUntil([&] { return window.FocusName() == "okbtn"; }));
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(Xdo({"key", "Tab", "key", "Tab", "key", "shift+Tab"}));
    ASSERT_TRUE(PumpUntil([&] { return window.FocusName() == "edit"; }));
    ASSERT_TRUE(display_.FinishBackground());

    // Escape on the window is swallowed by the default key response, not inside the edit.
    ASSERT_TRUE(Xdo({"key", "Escape"}));
    for (int turn = 0; turn < 20 && window.keyResponses == 0; ++turn) loop_->PumpOnce(20);
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.keyResponses, 0);

    // xdotool types characters outside the keymap by remapping a spare key
    // first; on a loaded machine a key can reach the window before the new
    // mapping does, so typing gets a few tries.
    bool typed = false;
    for (int attempt = 0; attempt < 3 && !typed; ++attempt) {
        window.Find("edit")->PutText("");
        ASSERT_TRUE(Xdo({"type", "--delay", "60", "Grüße 日本"}));
        typed = PumpUntil([&] { return window.Find("edit")->Text() == "Grüße 日本"; });
        ASSERT_TRUE(display_.FinishBackground());
    }
    EXPECT_EQ(window.Find("edit")->Text(), "Grüße 日本");

    // The selection through the clipboard into the other edit, whose own
    // text (selected by the Tab) it replaces.
    window.Find("edit2")->PutText("old");
    ASSERT_TRUE(Xdo({"key", "ctrl+a", "key", "ctrl+c", "key", "Tab", "key", "ctrl+v"}));
    ASSERT_TRUE(PumpUntil([&] { return window.Find("edit2")->Text() == "Grüße 日本"; }));
    ASSERT_TRUE(display_.FinishBackground());

    window.PaintManager().MoveFocus(window.Find("okbtn"));
    ASSERT_TRUE(Xdo({"key", "Escape"}));
    ASSERT_TRUE(PumpUntil([&] { return window.keyResponses == 1; }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_TRUE(window.IsAlive());
}

TEST_F(SkinnedWindowGuiTest, AnInputMethodComposesInTheFocusedEditUntilItCommits) {
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    auto* edit = dynamic_cast<CEditUI*>(window.Find("edit"));
    ASSERT_NE(edit, nullptr);
    window.PaintManager().MoveFocus(edit);
    // What the input method sends through the display, as SDL hands it on.
    const auto push = [&](std::uint32_t type, const char* text, int start) {
        SDL_Event event{};
        event.type = type;
        if (type == SDL_TEXTEDITING) {
            event.edit.windowID = SDL_GetWindowID(window.NativeWindow());
            SDL_strlcpy(event.edit.text, text, sizeof(event.edit.text));
            event.edit.start = start;
        } else {
            event.text.windowID = SDL_GetWindowID(window.NativeWindow());
            SDL_strlcpy(event.text.text, text, sizeof(event.text.text));
        }
        return SDL_PushEvent(&event) == 1;
    };
    ASSERT_TRUE(push(SDL_TEXTEDITING, "にほ", 2));
    ASSERT_TRUE(PumpUntil([&] { return edit->Composition() == "にほ"; }));
    EXPECT_EQ(edit->Text(), "");
    ASSERT_TRUE(push(SDL_TEXTINPUT, "日本", 0));
    ASSERT_TRUE(PumpUntil([&] { return edit->Text() == "日本"; }));
    EXPECT_EQ(edit->Composition(), "");
}

TEST_F(SkinnedWindowGuiTest, DropDownOpensSelectsAndClosesOnEscapeRestoringTheChoice) {
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    auto* combo = dynamic_cast<CComboUI*>(window.Find("combo"));
    ASSERT_NE(combo, nullptr);
    combo->SelectItem(0);
    window.TakeFocus();

    const auto opened = [&] {
        return PumpUntil([&] {
                   return window.UIHost().DropDown() != nullptr && window.UIHost().DropDown()->IsVisible();
               }) && display_.FinishBackground();
    };
    ASSERT_TRUE(Click(100, 155));
    ASSERT_TRUE(opened());
    ASSERT_TRUE(Xdo({"key", "Down", "key", "Down"}));
    ASSERT_TRUE(PumpUntil([&] { return combo->CurrentSelection() == 2; }));
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(Xdo({"key", "Escape"}));
    ASSERT_TRUE(PumpUntil([&] { return !window.UIHost().DropDown()->IsAlive(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(combo->CurrentSelection(), 0);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(window.keyResponses, 0);  // the list took the Escape

    // Return on the focused combo opens it again (a second click this soon would be a double click);
    // a click on an item chooses it. The rows start below the combo.
    ASSERT_TRUE(Xdo({"key", "Return"}));
    ASSERT_TRUE(opened());
    CDropDownWindow* list = window.UIHost().DropDown();
    ASSERT_TRUE(PumpUntil([&] { return !list->Manager()->NeedsUpdate(); }));
    // The items live under the list's manager, a child of the window's, while it is open.
    CControlUI* one = combo->ItemAt(1);
    EXPECT_EQ(list->Manager()->ParentManager(), &window.PaintManager());
    EXPECT_EQ(one->Manager(), list->Manager());
    const UIRect row = one->Pos();
    EXPECT_EQ(row.Height(), 24);
    EXPECT_EQ(list->ScreenRect().top, window.ScreenRect().top + combo->Pos().bottom);
    ASSERT_TRUE(Click(list->ScreenRect().left + row.left + 20, list->ScreenRect().top + (row.top + row.bottom) / 2));
    ASSERT_TRUE(PumpUntil([&] { return !list->IsAlive(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(combo->CurrentSelection(), 1);
    // Handed back to the combo.
    EXPECT_EQ(one->Manager(), &window.PaintManager());
    EXPECT_EQ(one->Parent(), combo);
}

TEST_F(SkinnedWindowGuiTest, TheDropDownListTakesTheWindowDefaultsAndTheComboDropBoxAttributes) {
    TestWnd window("combo.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    auto* combo = dynamic_cast<CComboUI*>(window.Find("combo"));
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(combo->Fire());
    CDropDownWindow* list = window.UIHost().DropDown();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return list->IsVisible() && !list->Manager()->NeedsUpdate(); }));
    // The window's "VerticalLayout" defaults (child padding 4), then the combo's "dropbox" (inset 3).
    EXPECT_EQ(list->Layout()->ChildPadding(), 4);
    EXPECT_EQ(list->Layout()->Inset(), (UIRect{3, 3, 3, 3}));
    EXPECT_EQ(combo->ItemAt(1)->Pos().top - combo->ItemAt(0)->Pos().bottom, 4);
    // More rows than "dropboxsize" holds: the list scrolls, and shows the choice.
    EXPECT_EQ(list->ClientSize().cy, 60);
    ASSERT_NE(list->Layout()->VerticalScrollBar(), nullptr);
    EXPECT_TRUE(list->Layout()->VerticalScrollBar()->Visible());
    ASSERT_TRUE(list->HandleKey({VirtualKey::kDown, 0, true, false}));
    ASSERT_TRUE(list->HandleKey({VirtualKey::kDown, 0, true, false}));
    ASSERT_TRUE(list->HandleKey({VirtualKey::kDown, 0, true, false}));
    EXPECT_EQ(combo->CurrentSelection(), 3);
    EXPECT_LE(combo->ItemAt(3)->Pos().bottom, list->Layout()->InnerRect().bottom);
    list->Close();
    EXPECT_EQ(combo->ItemAt(3)->Parent(), combo);
}

TEST_F(SkinnedWindowGuiTest, RealWindowShowsWhatTheHeadlessRendererPaints) {
    const auto archive = platform::EmbeddedSkinArchive();
    ASSERT_TRUE(CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    CHeadlessWindow headless;
    ASSERT_TRUE(headless.Load("MessageBox.xml"));
    headless.Pump();
    headless.Pump();

    TestWnd window("MessageBox.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    const CPaintSurface& expected = headless.Manager().Surface();
    const int width = expected.Width();
    const int height = expected.Height();
    ASSERT_EQ(window.ClientSize(), (UISize{width, height}));
    const auto differing = [&](const LoadedImage& shot) { return DifferingPixels(shot, expected, 1); };
    const int allowed = width * height / 100;
    const auto shot = ScreenshotWhen([&](const LoadedImage& image) { return differing(image) <= allowed; });
    ASSERT_TRUE(shot.has_value());
    EXPECT_LE(differing(*shot), allowed);
    CSkinArchive::Close();
}

bool fatalSkinError = false;

TEST_F(SkinnedWindowGuiTest, BadInputEndsAsDocumentedWithoutACrashOrHang) {
    // A layout without a root control takes the fatal path.
    WindowImplBase::SetFatalSkinHandler([] { fatalSkinError = true; });
    {
        TestWnd empty("empty.xml");
        empty.CreateHostWindow(nullptr, "empty", 0, 0, 0, 0, 100, 100);
        EXPECT_TRUE(fatalSkinError);
    }
    WindowImplBase::SetFatalSkinHandler(nullptr);

    // Closing the owner while its modal box runs takes the box along.
    TestWnd owner("main.xml");
    ASSERT_TRUE(owner.Open(0, 0));
    ASSERT_TRUE(Shown(owner));
    TestWnd box("box.xml");
    ASSERT_TRUE(box.CreateHostWindow(&owner, "box", 0, 0, 500, 400, 10, 10));
    owner.PostClose(0);
    EXPECT_EQ(box.RunModal(), 0);
    EXPECT_FALSE(owner.IsAlive());
    EXPECT_FALSE(box.IsAlive());

    // Closing a window while its drop-down is open.
    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    dynamic_cast<CComboUI*>(window.Find("combo"))->Fire();
    ASSERT_TRUE(PumpUntil([&] { return window.UIHost().DropDown() != nullptr; }));
    window.PostClose(3);
    ASSERT_TRUE(PumpUntil([&] { return !window.IsAlive(); }));
    EXPECT_FALSE(window.UIHost().DropDown()->IsAlive());
    EXPECT_EQ(window.closes, 1);

    // Messages for a window that is gone are dropped; a worker's send answers 0.
    const HostWindowId gone = window.Id();
    EXPECT_TRUE(PostToWindow(gone, WindowMessage::kUser));
    std::intptr_t answer = -1;
    std::thread worker([&] { answer = SendToWindow(gone, WindowMessage::kUser); });
    ASSERT_TRUE(PumpUntil([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 0);
}

TEST_F(SkinnedWindowGuiTest, SkinViewEndsWithExitCode1AfterTheErrorBoxForALayoutWithoutControls) {
    const auto skinview = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "skinview";
    ASSERT_TRUE(std::filesystem::exists(skinview));
    // The box is found by its caption and answered with Return; then the program must be gone with 1.
    const std::string script = skin_.Folder() + "/fatal.sh";
    std::ofstream(script) << "'" << skinview.string() << "' empty.xml --skin '" << skin_.Folder() << "' &\n"
                          << "pid=$!\n"
                          << "for i in $(seq 300); do\n"
                          << "  id=$(xwininfo -root -tree | awk '/\"ZembraUI\"/{print $1}')\n"
                          << "  [ -n \"$id\" ] && break; sleep 0.1\n"
                          << "done\n"
                          << "[ -n \"$id\" ] || { kill $pid; exit 99; }\n"
                          << "xdotool windowfocus \"$id\" key Return\n"
                          << "wait $pid\n";
    const int status = std::system(("sh " + script).c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace

namespace {

// A desktop at double density (GDK_SCALE=2) while the loop starts.
class ScaledWindowGuiTest : public SkinnedWindowGuiTest {
protected:
    void SetUp() override {
        const char* old = std::getenv("GDK_SCALE");
        previous_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("GDK_SCALE", "2", 1);
        SkinnedWindowGuiTest::SetUp();
        if (previous_) {
            ::setenv("GDK_SCALE", previous_->c_str(), 1);
        } else {
            ::unsetenv("GDK_SCALE");
        }
    }
    std::optional<std::string> previous_;
};

TEST_F(ScaledWindowGuiTest, ADoubleDensityDesktopShowsTheLayoutTwiceAsLargeAndClicksReachTheirControls) {
    ASSERT_EQ(loop_->DesktopScale(), 2.0);
    CHeadlessWindow headless;
    ASSERT_TRUE(headless.Load("main.xml"));
    headless.Pump();

    TestWnd window("main.xml");
    ASSERT_TRUE(window.Open(0, 0));
    ASSERT_TRUE(Shown(window));
    EXPECT_EQ(window.ClientSize(), (UISize{800, 600}));
    EXPECT_EQ(window.PaintManager().ClientSize(), (UISize{400, 300}));
    // A skinned window resizes in skin units too.
    window.Resize(300, 200);
    EXPECT_EQ(window.ClientSize(), (UISize{600, 400}));
    EXPECT_EQ(window.PaintManager().ClientSize(), (UISize{300, 200}));
    window.Resize(400, 300);

    // okbtn covers skin rows 40-80, device rows 80-160; capbtn sits in the caption band.
    ASSERT_TRUE(Click(300, 120));
    ASSERT_TRUE(PumpUntil([&] { return !window.named.empty(); }));
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(Click(770, 40));
    ASSERT_TRUE(PumpUntil([&] { return !window.unnamed.empty(); }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.named, std::vector<std::string>{"okbtn"});
    EXPECT_EQ(window.unnamed, std::vector<std::string>{"capbtn"});

    // On screen: the 1x picture with every pixel doubled, within a tolerance.
    const CPaintSurface& expected = headless.Manager().Surface();
    const auto differing = [&](const LoadedImage& shot) { return DifferingPixels(shot, expected, 2); };
    const int allowed = expected.Width() * expected.Height() / 50;
    const auto shot = ScreenshotWhen([&](const LoadedImage& image) { return differing(image) <= allowed; });
    ASSERT_TRUE(shot.has_value());
    EXPECT_LE(differing(*shot), allowed);
}

}  // namespace
