// The edit's selection (keys, mouse, clipboard), its painting and an input
// method's composition, on the headless host.
#include <gtest/gtest.h>

#include "uitoolkit/controls/EditUI.h"
#include "unit/uitoolkit/SurfaceProbe.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
namespace KeyCode = ZembraUI::KeyCode;
using ZembraUI::UIPoint;
namespace KeyState = ZembraUI::KeyState;

constexpr auto kShift = KeyState::kShift;
constexpr auto kControl = KeyState::kControl;

constexpr const char* kMarkup = R"(<Window selectedcolor="#FF00FF00"><VerticalLayout>
    <Edit name="field" height="30" text="hello world" />
    <Edit name="secret" height="30" password="true" text="hunter2" />
    <Edit name="short" height="30" maxchar="8" />
</VerticalLayout></Window>)";

ZembraUI::CEditUI* EditOf(TestWindow& t, const std::string& name) {
    return static_cast<ZembraUI::CEditUI*>(t[name]);
}

int CountPixels(const ZembraUI::CPaintSurface& surface, const ZembraUI::UIRect& rect, std::uint32_t colour) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) count += surface.PixelAt(x, y) == colour ? 1 : 0;
    }
    return count;
}

TEST(EditSelectionTest, KeysSelectAndTheClipboardKeysCopyCutAndPasteTheSelection) {
    TestWindow t(kMarkup, {300, 100});
    auto* field = EditOf(t, "field");
    field->TakeFocus();
    // Focus selects the whole text.
    EXPECT_EQ(field->SelectedText(), "hello world");
    t.window.PressKey(KeyCode::kHome);
    for (int i = 0; i < 5; ++i) t.window.PressKey(KeyCode::kRight, kShift);
    EXPECT_EQ(field->SelectedText(), "hello");
    t.window.PressKey('C', kControl);
    EXPECT_EQ(t.window.Host().ClipboardText(), "hello");

    t.window.Type("J");
    EXPECT_EQ(field->Text(), "J world");
    t.window.PressKey(KeyCode::kEnd, kShift);
    t.window.PressKey(KeyCode::kLeft, kShift);
    EXPECT_EQ(field->SelectedText(), " worl");
    t.window.PressKey('X', kControl);
    EXPECT_EQ(field->Text(), "Jd");
    EXPECT_EQ(t.window.Host().ClipboardText(), " worl");
    t.window.PressKey('A', kControl);
    t.window.PressKey('V', kControl);
    EXPECT_EQ(field->Text(), " worl");
    t.window.PressKey(KeyCode::kHome, kShift);
    t.window.PressKey(KeyCode::kBack);
    EXPECT_EQ(field->Text(), "");

    // A paste keeps to the limit; the selection it replaces makes room.
    t.window.Host().SetClipboardText("0123456789");
    auto* limited = EditOf(t, "short");
    limited->TakeFocus();
    t.window.PressKey('V', kControl);
    EXPECT_EQ(limited->Text(), "01234567");
    t.window.PressKey(KeyCode::kLeft, kShift);
    t.window.Type("xy");
    EXPECT_EQ(limited->Text(), "0123456x");

    // A password is never copied or cut, but takes a paste.
    t.window.Host().SetClipboardText("kept");
    auto* secret = EditOf(t, "secret");
    secret->TakeFocus();
    t.window.PressKey('C', kControl);
    t.window.PressKey('X', kControl);
    EXPECT_EQ(t.window.Host().ClipboardText(), "kept");
    EXPECT_EQ(secret->Text(), "hunter2");
    t.window.PressKey('V', kControl);
    EXPECT_EQ(secret->Text(), "kept");
}

TEST(EditSelectionTest, TheMouseDragsAndDoubleClicksASelectionThatIsPaintedInTheWindowColour) {
    TestWindow t(kMarkup, {300, 100});
    auto* field = EditOf(t, "field");
    const ZembraUI::UIRect pos = t.Pos("field");
    const int middle = (pos.top + pos.bottom) / 2;
    t.window.Press({pos.left + 4, middle});
    EXPECT_TRUE(field->Focused());
    EXPECT_EQ(field->Caret(), 0u);
    t.window.MoveTo({pos.right - 2, middle});
    t.window.Release({pos.right - 2, middle});
    EXPECT_EQ(field->SelectedText(), "hello world");
    t.window.Pump();
    const std::uint32_t green = 0xFF00FF00;
    EXPECT_GT(CountPixels(t.window.Manager().Surface(), pos, green), 100);

    // A double click inside "world" selects the word.
    field->SetSelection(8, 8);
    const int insideWorld = field->CaretRect().left + 1;
    ZembraUI::UIMessage twice;
    twice.kind = ZembraUI::UIMessageKind::DoubleClick;
    twice.point = {insideWorld, middle};
    t.window.Send(twice);
    t.window.Release({insideWorld, middle});
    EXPECT_EQ(field->SelectedText(), "world");

    // Shift+click extends from the anchor; a plain click drops the selection and its paint.
    t.window.Press({pos.left + 4, middle}, kShift);
    t.window.Release({pos.left + 4, middle}, kShift);
    EXPECT_EQ(field->SelectedText(), "hello ");
    t.window.Click({pos.left + 4, middle});
    EXPECT_EQ(field->SelectedText(), "");
    t.window.Pump();
    EXPECT_EQ(CountPixels(t.window.Manager().Surface(), pos, green), 0);
}

TEST(EditSelectionTest, ATextWiderThanTheFieldScrollsToKeepTheCaretInView) {
    TestWindow t(R"(<Window><HorizontalLayout>
        <Edit name="narrow" width="80" height="30" text="/home/someone/.local/opt/Zembra Morvanta" /><Control />
    </HorizontalLayout></Window>)", {300, 40});
    auto* narrow = EditOf(t, "narrow");
    const ZembraUI::UIRect pos = t.Pos("narrow");
    narrow->TakeFocus();
    EXPECT_LT(narrow->CaretRect().right, pos.right);
    EXPECT_GT(narrow->CaretRect().left, pos.left + 40);
    t.window.PressKey(KeyCode::kHome);
    EXPECT_EQ(narrow->CaretRect().left, pos.left + 4);
    // A press near the right edge lands on a character in view, not past the end.
    t.window.Click({pos.right - 6, 15});
    EXPECT_LT(narrow->Caret(), 15u);
    EXPECT_GT(narrow->Caret(), 5u);
}

TEST(EditSelectionTest, ACompositionShowsUnderlinedAtTheCaretUntilTheInputMethodCommits) {
    TestWindow t(kMarkup, {300, 100});
    auto* field = EditOf(t, "field");
    field->TakeFocus();
    t.window.PressKey(KeyCode::kEnd);
    const ZembraUI::UIRect before = field->CaretRect();
    EXPECT_EQ(t.window.Host().TextInputArea(), before);

    field->PutComposition("にほ", 2);
    EXPECT_EQ(field->Text(), "hello world");
    // The candidates follow the caret to the end of the composed text.
    const ZembraUI::UIRect composing = t.window.Host().TextInputArea();
    EXPECT_GT(composing.left, before.left + 10);
    t.window.Pump();
    const int underline = composing.bottom - 1;
    EXPECT_EQ(CountPixels(t.window.Manager().Surface(), {before.left + 1, underline, composing.left - 1, underline + 1},
                          t.window.Manager().Surface().PixelAt(before.left + 1, underline)),
              composing.left - before.left - 2);
    EXPECT_NE(t.window.Manager().Surface().PixelAt(before.left + 1, underline), 0xFFFFFFFFu);

    t.window.Type("日本");
    EXPECT_EQ(field->Composition(), "");
    EXPECT_EQ(field->Text(), "hello world日本");
}

}  // namespace
