#pragma once
// The installer's skinned modal box for every question and error. The kind
// fixes the icon, the texts taken from the "message_page" group of the box's
// language file, whether there are one or two buttons, and the side effects
// on the owner window (kinds 1 and 2 hide it at once when confirmed; kinds 6
// and 7 ask it to delete the downloaded package on either button).
// UI thread only.
#include <cstdint>
#include <string>

#include "Common/install_ui_mainwnd/EnumMsgType.h"
#include "EnumLanguage.h"
#include "uitoolkit/window/WindowImplBase.h"

class MessageBoxWnd : public ZembraUI::WindowImplBase {
public:
    // With AutoRun on, a single-button box confirms itself after this timer.
    static constexpr unsigned kAutoRunTimer = 777;
    static constexpr unsigned kAutoRunDelayMs = 1000;
    static constexpr int kResultYes = 1;
    static constexpr int kResultNo = 2;

    MessageBoxWnd(EnumMsgType kind, EnumLanguage language, std::string text);

    // Shows the box modally over owner (may be null: centred on the screen)
    // and answers 1 for the Yes/OK button, 2 for No or the close button.
    // Kinds 6 and 7 post installmsg 0xB7F to the owner on either button.
    static int ShowModal(ZembraUI::CWindowWnd* owner, EnumMsgType kind, EnumLanguage language,
                         const std::string& text);

    std::string WindowClassName() const override { return "MESSAGEBOX_UI_Frame"; }
    // Vertical and horizontal redraw, double clicks, save bits.
    unsigned ClassStyle() const override { return 0x80B; }
    std::string SkinFolder() const override { return "skin\\"; }
    std::string SkinFile() const override;
    // The skin archive the program opened (the embedded one); a skin folder
    // chosen instead of an archive is read as it is.
    ZembraUI::SkinResourceKind ResourceKind() const override;
    std::string ResourceId() const override { return "138"; }

    void InitWindow() override;
    void OnClick(ZembraUI::TNotifyUI& notification) override;
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override;
    // Any close that is not an answer (the window manager's close) counts as the close button.
    Result OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override;

private:
    void ApplyKindTexts();
    void Answer(int result);
    void Confirm();
    void AskOwnerToDeletePackage();

    EnumMsgType kind_;
    EnumLanguage language_;
    std::string text_;
    bool answered_ = false;
};

// Start-up's refusal on a 32-bit system: the kind 13 box without an owner,
// in language, modal. Starts a message loop of its own when none runs yet;
// answers the box's result, 0 when no box can be shown (no display).
int ShowNotSupportSystemBox(EnumLanguage language);
