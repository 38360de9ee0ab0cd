#include "Common/install_ui_mainwnd/MessageBoxWnd.h"

#include <memory>
#include <optional>
#include <utility>

#include <easylogging++.h>

#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "LanguageTexts.h"
#include "platform/EmbeddedResources.h"
#include "platform/LocalSettings.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/WindowMessages.h"

namespace {

using ZembraUI::CControlUI;

constexpr char kHelpIcon[] = "skin\\message_help.png";
constexpr char kExclamationIcon[] = "skin\\message_exclamation.png";
constexpr char kTextGroup[] = "message_page";
constexpr char kDrivePlaceholder[] = "**1**";

// Popup, visible, caption, system menu, clip children and siblings; tool
// window with a modal frame.
constexpr std::uint32_t kDialogStyle = 0x96C80000;
constexpr std::uint32_t kDialogExStyle = 0x00000081;
constexpr int kCreateWidth = 452;
constexpr int kCreateHeight = 190;

// What a kind shows: null keys give empty texts, a null icon no icon.
struct KindLook {
    const char* icon;
    const char* describeKey;
    const char* questionKey;
    const char* yesKey;
    const char* noKey;
    bool singleButton;
};

// Indexed by EnumMsgType; kind 5 keeps its layout's look.
constexpr KindLook kKindLooks[] = {
    {kHelpIcon, "ReplaceDesText", "ReplaceQueText", "ReplaceText", "CancelText", false},
    {nullptr, nullptr, nullptr, nullptr, nullptr, false},
    {kHelpIcon, "CancelDesText", "CancelQueText", "YesText", "NoText", false},
    {kHelpIcon, "AppExistDesText", "AppExistQueText", "OkButtonText", nullptr, true},
    {kExclamationIcon, "PathErrorDesText", nullptr, "OkButtonText", nullptr, true},
    {nullptr, nullptr, nullptr, nullptr, nullptr, true},
    {kExclamationIcon, "InstallRunTimeOutDesText", "InstallRunTimeOutQueText", "ConfirmText", nullptr, true},
    {kExclamationIcon, "MD5FailDesText", "MD5FailQueText", "ConfirmText", nullptr, true},
    {kExclamationIcon, "UrlFailDexText", "UrlFailQueText", "ConfirmText", nullptr, true},
    {kExclamationIcon, "InternetFailDesText", "InternetFailQueText", "ConfirmText", nullptr, true},
    {kExclamationIcon, "InternetTimeoutDesText", "InternetTimeoutQueText", "ConfirmText", nullptr, true},
    {kExclamationIcon, "NoEnoughSpaceDesText", nullptr, "OkButtonText", nullptr, true},
    {kExclamationIcon, "ClickShortcutToLaunchText", nullptr, "ConfirmText", nullptr, true},
    {kExclamationIcon, "NotSupportSystemDesText", nullptr, "OkButtonText", nullptr, true},
    {kExclamationIcon, "AgreeDesText", nullptr, "AgreeInstallText", "NotAgreeText", false},
    {kExclamationIcon, "SuggestSSDText", nullptr, "AcceptText", "RejectText", false},
};

const KindLook* LookOf(EnumMsgType kind) {
    const auto index = static_cast<std::size_t>(kind);
    return kind >= 0 && index < std::size(kKindLooks) ? &kKindLooks[index] : nullptr;
}

// text drawn literally inside rich text: every markup character becomes its escape.
std::string LiteralRichText(const std::string& text) {
    std::string literal;
    literal.reserve(text.size());
    for (const char character : text) {
        switch (character) {
            case '{': literal += "<{>"; break;
            case '}': literal += "<}>"; break;
            case '<': literal += "{<}"; break;
            case '>': literal += "{>}"; break;
            default: literal += character; break;
        }
    }
    return literal;
}

std::string ReplacedEverywhere(std::string text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The message texts of one language; keys its file lacks come from the English file.
class MessageTexts {
public:
    explicit MessageTexts(EnumLanguage language) : language_(language) {
        chosenLoaded_ = Load(language_, chosen_);
        englishLoaded_ = language_ != English && Load(English, english_);
        if (chosenLoaded_ && !FuntionImpl::LanguageGroupIn(chosen_, kTextGroup).IsValid()) {
            LOG(INFO) << " Group " << kTextGroup << " missing in " << LanguageFileOf(language_)
                      << ", the English texts are used";
        }
    }
    bool AnyLoaded() const { return chosenLoaded_ || englishLoaded_; }

    std::string Text(const char* key) const {
        if (key == nullptr) return {};
        if (chosenLoaded_) {
            if (auto text = FuntionImpl::LanguageTextIn(chosen_, kTextGroup, key)) return *text;
        }
        if (englishLoaded_) {
            if (auto text = FuntionImpl::LanguageTextIn(english_, kTextGroup, key)) {
                LOG(INFO) << " Message text " << key << " missing for " << EnglishNameOf(language_)
                          << ", the English text is used";
                return *text;
            }
        }
        LOG(INFO) << " Message text " << key << " not found";
        return {};
    }

private:
    static bool Load(EnumLanguage language, ZembraUI::CMarkupDoc& document) {
        if (document.LoadFromFile(std::string("language\\") + LanguageFileOf(language))) return true;
        LOG(INFO) << " Language file " << LanguageFileOf(language) << " does not load ("
                  << document.GetLastErrorMessage() << ")";
        return false;
    }

    EnumLanguage language_;
    ZembraUI::CMarkupDoc chosen_;
    ZembraUI::CMarkupDoc english_;
    bool chosenLoaded_ = false;
    bool englishLoaded_ = false;
};

// The box reads the skin the program runs with; a process that chose
// neither an archive nor a folder yet gets the embedded archive.
void OpenSkinWhenNoneChosen() {
    if (ZembraUI::CSkinArchive::IsOpen() || !ZembraUI::CSkinArchive::GetResourceFolder().empty()) return;
    const auto archive = platform::EmbeddedSkinArchive();
    if (archive.empty() || !ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size())) {
        LOG(INFO) << " The embedded skin cannot be opened for a message box";
    }
}

}  // namespace

MessageBoxWnd::MessageBoxWnd(EnumMsgType kind, EnumLanguage language, std::string text)
    : kind_(kind), language_(NormalizedLanguage(language)), text_(std::move(text)) {}

std::string MessageBoxWnd::SkinFile() const {
    return kind_ == MsgNetFrameDown ? "MessageBox_down.xml" : "MessageBox.xml";
}

ZembraUI::SkinResourceKind MessageBoxWnd::ResourceKind() const {
    return ZembraUI::CSkinArchive::IsOpen() ? ZembraUI::SkinResourceKind::ZipResource
                                            : ZembraUI::SkinResourceKind::Folder;
}

int MessageBoxWnd::ShowModal(ZembraUI::CWindowWnd* owner, EnumMsgType kind, EnumLanguage language,
                             const std::string& text) {
    OpenSkinWhenNoneChosen();
    MessageBoxWnd box(kind, language, text);
    if (!box.CreateHostWindow(owner, "MSGUIDemo", kDialogStyle, kDialogExStyle, 0, 0, kCreateWidth, kCreateHeight)) {
        LOG(INFO) << " Message box " << int(kind) << " cannot be created; answered as closed";
        return kResultNo;
    }
    if (box.PaintManager().Root() == nullptr) {
        LOG(INFO) << " Message box " << int(kind) << " has no content; answered as closed";
        box.Destroy();
        return kResultNo;
    }
    box.SendToWindow(ZembraUI::WindowMessage::kSysCommand, ZembraUI::SysCommand::kRestore);
    box.CenterWindowOnOwner();
    box.ShowHostWindow(true, true);
    // A close that carried no answer (0, or a quit request) is the close button's 2.
    return box.RunModal() == kResultYes ? kResultYes : kResultNo;
}

void MessageBoxWnd::InitWindow() {
    PaintManager().TextRenderer().SetLanguage(TextLanguageTagOf(language_));
    if (kind_ != MsgNetFrameDown) ApplyKindTexts();
    const CControlUI* noButton = PaintManager().ControlByName("btn_no");
    if (platform::IsAutoRun() && (noButton == nullptr || !noButton->Visible())) {
        SetTimer(kAutoRunTimer, kAutoRunDelayMs);
    }
}

void MessageBoxWnd::ApplyKindTexts() {
    const KindLook* look = LookOf(kind_);
    if (look == nullptr) {
        LOG(INFO) << " Message box kind " << int(kind_) << " is unknown; the layout's texts stay";
        return;
    }
    const MessageTexts texts(language_);
    if (!texts.AnyLoaded()) return;  // the layout's texts stay
    auto& manager = PaintManager();
    if (CControlUI* icon = manager.ControlByName("iconimage")) icon->ApplyAttr("bkimage", look->icon ? look->icon : "");
    std::string describe = texts.Text(look->describeKey);
    if (kind_ == MsgSuggestSSD) describe = ReplacedEverywhere(describe, kDrivePlaceholder, LiteralRichText(text_));
    const std::pair<const char*, std::string> shown[] = {
        {"btn_yes", texts.Text(look->yesKey)},
        {"btn_no", texts.Text(look->noKey)},
        {"msg_describe", describe},
        {"msg_question", texts.Text(look->questionKey)},
    };
    for (const auto& [name, text] : shown) {
        if (CControlUI* control = manager.ControlByName(name)) control->PutText(text);
    }
    // Right-to-left text reads from the right edge.
    if (CControlUI* control = manager.ControlByName("msg_describe"); control != nullptr && language_ == Arabic) {
        control->ApplyAttr("align", "right");
    }
    if (CControlUI* noButton = manager.ControlByName("btn_no"); noButton != nullptr && look->singleButton) {
        noButton->PutVisible(false);
    }
}

void MessageBoxWnd::OnClick(ZembraUI::TNotifyUI& notification) {
    const std::string name = notification.sender != nullptr ? notification.sender->Name() : std::string();
    if (name == "minbtn") {
        SendToWindow(ZembraUI::WindowMessage::kSysCommand, ZembraUI::SysCommand::kMinimize);
    } else if (name == "closebtn") {
        Answer(kResultNo);
    } else if (name == "btn_yes") {
        Confirm();
    } else if (name == "btn_no") {
        Answer(kResultNo);
    }
}

void MessageBoxWnd::Confirm() {
    if (answered_) return;
    // Confirming a close hides the wizard at once, so closing looks immediate.
    if (kind_ == MsgCloseNow || kind_ == MsgCancel) {
        ShowHostWindow(false);
        if (ZembraUI::CWindowWnd* owner = Owner()) owner->ShowHostWindow(false);
    }
    Answer(kResultYes);
}

void MessageBoxWnd::Answer(int result) {
    if (answered_) return;
    answered_ = true;
    AskOwnerToDeletePackage();
    PostClose(std::uintptr_t(result));
}

// A package that timed out in setup or failed its checks is of no use: the
// owner deletes it whichever way the box is closed.
void MessageBoxWnd::AskOwnerToDeletePackage() {
    if (kind_ != MsgInstallRunTimeOut && kind_ != MsgMD5Fail) return;
    if (ZembraUI::CWindowWnd* owner = Owner()) owner->PostToWindow(installmsg::kClearAppData);
}

MessageBoxWnd::Result MessageBoxWnd::HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t,
                                                          bool& handled) {
    if (message != ZembraUI::WindowMessage::kTimer || wParam != kAutoRunTimer) return 0;
    handled = true;
    KillTimer(kAutoRunTimer);
    LOG(INFO) << " AutoRun confirms message box " << int(kind_);
    Confirm();
    return 0;
}

MessageBoxWnd::Result MessageBoxWnd::OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                             bool& handled) {
    if (!answered_) {
        answered_ = true;
        AskOwnerToDeletePackage();
    }
    return WindowImplBase::OnClose(message, wParam, lParam, handled);
}

int ShowNotSupportSystemBox(EnumLanguage language) {
    std::unique_ptr<ZembraUI::CMessageLoop> ownLoop;
    if (ZembraUI::CMessageLoop::Current() == nullptr) {
        ownLoop = std::make_unique<ZembraUI::CMessageLoop>();
        if (!ownLoop->Start()) {
            LOG(INFO) << " No display for the message box: a 64-bit operating system is required";
            return 0;
        }
    }
    return MessageBoxWnd::ShowModal(nullptr, MsgNotSupportSystem, language, "");
}
