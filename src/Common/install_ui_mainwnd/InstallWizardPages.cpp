#include "Common/install_ui_mainwnd/InstallWizardPages.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include <easylogging++.h>

#include "CConfigure.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IWizardWindow.h"
#include "Common/install_ui_mainwnd/WizardTextFormat.h"
#include "LanguageTexts.h"
#include "uitoolkit/controls/CheckBoxUI.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/ListLabelElementUI.h"
#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/text/Utf8Text.h"

namespace {

using TextList = std::vector<std::pair<std::string, std::string>>;

// The labels of a language file's install_page, in file order.
TextList InstallPageTexts(const ZembraUI::CMarkupDoc& document) {
    TextList texts;
    const auto page = FuntionImpl::LanguageGroupIn(document, "install_page");
    if (!page.IsValid()) return texts;
    for (auto label = page.GetChild(); label.IsValid(); label = label.GetSibling()) {
        std::string text;
        label.GetAttributeValue("text", text);
        texts.emplace_back(label.GetAttributeValue("name"), std::move(text));
    }
    return texts;
}

}  // namespace

InstallWizardPages::InstallWizardPages(ZembraUI::CUIManager& manager, IWizardWindow& window,
                                       IFlowAnalytics& analytics)
    : manager_(manager), window_(window), analytics_(analytics) {}

template <typename T>
T* InstallWizardPages::Find(const char* name) const {
    return dynamic_cast<T*>(manager_.ControlByName(name));
}

void InstallWizardPages::PrepareStartPage(const StartSettings& settings) {
    settings_ = settings;
    for (const char* failureText : {"text_fail_retry", "text_fail_advice", "img_warning"}) {
        if (auto* control = Find<ZembraUI::CControlUI>(failureText)) control->PutVisible(false);
    }
    if (auto* consent = Find<ZembraUI::CCheckBoxUI>("license_checkbox")) consent->PutCheck(settings.consentPreset);
    keptConsentText_ = settings.newLicenceScheme ? "license_link_new" : "license_link";
    const char* dropped = settings.newLicenceScheme ? "license_link" : "license_link_new";
    auto* area = Find<ZembraUI::CContainerUI>("license_area");
    if (auto* control = Find<ZembraUI::CControlUI>(dropped); area != nullptr && control != nullptr) {
        area->Remove(control);
    }
    SetInstallFolder(settings.installRoot);
}

// --- notifications ----------------------------------------------------------

WizardAction InstallWizardPages::Notify(const ZembraUI::tagTNotifyUI& notification) {
    const std::string name = notification.sender != nullptr ? notification.sender->Name() : std::string();
    const WizardAction action = WizardActionFor(notification.type, name, notification.wParam);
    switch (action) {
        case WizardAction::ToggleSettingsPanel:
            ToggleSettingsPanel();
            break;
        case WizardAction::ToggleLicencePanel:
            ToggleLicencePanel();
            break;
        case WizardAction::EnableInstall:
            // The consent itself is checked at the install click.
            if (auto* install = Find<ZembraUI::CControlUI>("install_btn")) install->PutEnabled(true);
            break;
        case WizardAction::ChangeLanguage:
            OnLanguageSelected(static_cast<int>(notification.wParam));
            break;
        default:
            break;
    }
    return action;
}

std::string InstallWizardPages::ConsentLinkUrl(WizardAction action, const CConfigure& configuration) const {
    const std::string code = FuntionImpl::GetWebLanguageCode(currentLanguage_);
    if (action == WizardAction::OpenPrivacyPage) {
        std::string url = configuration.GetPrivacyLink(code);
        LOG(INFO) << " Open Privacy Url: " << url;
        return url;
    }
    if (action == WizardAction::OpenLicencePage) {
        std::string url = configuration.GetLicenceLink(code);
        LOG(INFO) << " Open License Url: " << url;
        return url;
    }
    return {};
}

// --- languages ----------------------------------------------------------------

void InstallWizardPages::InitLanguage(EnumLanguage start) {
    currentLanguage_ = NormalizedLanguage(start);
    FillEmptyLanguageList();
    SelectLanguageItem(currentLanguage_);
    analytics_.SetLanguageInfo(currentLanguage_, settings_.softwareVersion);
    ApplyLanguage();
    ResizeWizard(true);
}

// One item per language in EnumLanguage order: a blank and the language's
// own name, the name alone as the tooltip; the languages the shipped list
// hides stay hidden.
void InstallWizardPages::FillEmptyLanguageList() {
    auto* list = Find<ZembraUI::CComboUI>("language_combox");
    if (list == nullptr || list->Count() != 0) return;
    constexpr int kItemHeight = 28;
    for (int value = 0; value < kLanguageCount; ++value) {
        const auto language = static_cast<EnumLanguage>(value);
        auto* item = new ZembraUI::CListLabelElementUI();
        const std::string text = ListItemTextOf(language);
        item->PutText(text);
        item->PutTooltip(text.substr(1));
        item->PutHeight(kItemHeight);
        item->PutVisible(!HiddenInShippedList(language));
        list->Add(item);
    }
}

void InstallWizardPages::SelectLanguageItem(EnumLanguage wanted) {
    auto* list = Find<ZembraUI::CComboUI>("language_combox");
    const int count = list != nullptr ? list->Count() : 0;
    currentLanguage_ = FuntionImpl::ChooseLanguageItem(NormalizedLanguage(wanted), count, [list](int item) {
        return list->ItemAt(item)->Visible();
    });
    // A changed selection sends "itemselect"; the window hands it back to Notify.
    if (list != nullptr) list->SelectItem(count == 0 ? 0 : currentLanguage_);
}

void InstallWizardPages::OnLanguageSelected(int index) {
    currentLanguage_ = NormalizedLanguage(index);
    analytics_.SetLanguageInfo(currentLanguage_, settings_.softwareVersion);
    LOG(INFO) << " ChangeLanguageTo: " << LanguageFileOf(currentLanguage_);
    ApplyLanguage();
}

void InstallWizardPages::ApplyLanguage() {
    // Text is shaped for the language, so Han characters take the Japanese,
    // Chinese or Korean faces their readers expect.
    manager_.TextRenderer().SetLanguage(TextLanguageTagOf(currentLanguage_));
    ShowLicenceText();
    ZembraUI::CMarkupDoc chosen;
    ZembraUI::CMarkupDoc english;
    const bool englishLoaded = LoadLanguageFile(English, english);
    if (currentLanguage_ == English || !LoadLanguageFile(currentLanguage_, chosen)) {
        if (!englishLoaded) return;
        ApplyInstallPageTexts(english, nullptr);
    } else {
        ApplyInstallPageTexts(chosen, englishLoaded ? &english : nullptr);
    }
    ShowSpaceTexts();
    if (auto* settingsButton = Find<ZembraUI::CControlUI>("install_setting")) settingsButton->PutVisible(true);
    if (auto* consent = manager_.ControlByName(keptConsentText_)) consent->PutVisible(true);
}

void InstallWizardPages::ShowLicenceText() {
    const auto* holder = manager_.ControlByName(LicenceControlOf(currentLanguage_));
    if (holder == nullptr) return;
    if (auto* text = Find<ZembraUI::CControlUI>("license_text")) text->PutText(holder->Text());
    if (auto* layout = Find<ZembraUI::CControlUI>("license_text_layout")) {
        layout->PutHeight(LicencePanelHeight(currentLanguage_, settings_.siteId));
    }
}

bool InstallWizardPages::LoadLanguageFile(EnumLanguage language, ZembraUI::CMarkupDoc& document) const {
    if (document.LoadFromFile(std::string("language\\") + LanguageFileOf(language))) return true;
    LOG(INFO) << " Language file " << LanguageFileOf(language) << " does not load ("
              << document.GetLastErrorMessage() << ")" << (language != English ? ", the English texts are used" : "");
    return false;
}

// Walks the chosen file's install_page from the last label to the first;
// keys the file lacks take the English text, so no control keeps the
// previous language's text.
void InstallWizardPages::ApplyInstallPageTexts(const ZembraUI::CMarkupDoc& chosen,
                                               const ZembraUI::CMarkupDoc* english) {
    TextList texts = InstallPageTexts(chosen);
    if (english != nullptr) {
        std::map<std::string, bool> present;
        for (const auto& entry : texts) present[entry.first] = true;
        int missing = 0;
        for (auto& entry : InstallPageTexts(*english)) {
            if (present.count(entry.first) != 0) continue;
            texts.insert(texts.begin(), std::move(entry));
            ++missing;
        }
        if (missing > 0) {
            LOG(INFO) << " " << missing << " texts missing in " << LanguageFileOf(currentLanguage_)
                      << ", the English texts are used";
        }
    }
    for (auto entry = texts.rbegin(); entry != texts.rend(); ++entry) ApplyText(entry->first, entry->second);
}

void InstallWizardPages::ApplyText(const std::string& key, const std::string& text) {
    if (key == "install_label") installLabelFormat_ = text;
    if (key == "space_need") spaceNeedFormat_ = text;
    if (key == "space_free") spaceFreeFormat_ = text;
    auto* control = manager_.ControlByName(key);
    if (control == nullptr) return;
    // The progress text shows the bar's value rather than the bare format.
    control->PutText(key == "install_label" ? FormatWithNumber(text, GetProgress()) : text);
}

void InstallWizardPages::ShowSpaceTexts() {
    if (auto* spaceFree = Find<ZembraUI::CControlUI>("space_free")) {
        spaceFree->PutText(FormatWithNumber(spaceFreeFormat_, freeSpaceGb_));
    }
    if (auto* spaceNeed = Find<ZembraUI::CControlUI>("space_need")) {
        const auto* productSize = manager_.ControlByName("ProductSize");
        spaceNeed->PutText(FormatWithText(spaceNeedFormat_, productSize != nullptr ? productSize->Text() : ""));
    }
}

// --- pages and panels -----------------------------------------------------------

void InstallWizardPages::ToggleSettingsPanel() { TogglePanel(settingsPanel_); }

void InstallWizardPages::ToggleLicencePanel() { TogglePanel(licencePanel_); }

// Open: select the panel's page and grow. Open and shown: shrink. Open but
// the other panel shown: grow and show this one.
void InstallWizardPages::TogglePanel(Panel& panel) {
    auto* panels = Find<ZembraUI::CTabLayoutUI>("set_layout");
    if (panels == nullptr) return;
    if (!panel.toggled) {
        panels->SelectItem(panel.page);
        ResizeWizard(false);
        panel.toggled = true;
    } else if (panels->CurrentSelection() == panel.page) {
        ResizeWizard(true);
        panel.toggled = false;
    } else {
        ResizeWizard(false);
        panels->SelectItem(panel.page);
    }
}

void InstallWizardPages::ResizeWizard(bool compact) {
    window_.ResizeWindow(kWidth, compact ? kCompactHeight : kPanelHeight);
}

void InstallWizardPages::ShowRunningPage() {
    if (auto* pages = Find<ZembraUI::CTabLayoutUI>("main_tablayout")) pages->SelectItem(1);
    if (auto* subPages = Find<ZembraUI::CTabLayoutUI>("page_layout")) subPages->SelectItem(1);
}

void InstallWizardPages::ShowEndPage(bool failed) {
    if (auto* pages = Find<ZembraUI::CTabLayoutUI>("main_tablayout")) pages->SelectItem(0);
    if (auto* subPages = Find<ZembraUI::CTabLayoutUI>("page_layout")) subPages->SelectItem(1);
    for (const char* failureText : {"text_fail_retry", "text_fail_advice", "img_warning"}) {
        if (auto* control = Find<ZembraUI::CControlUI>(failureText)) control->PutVisible(failed);
    }
    if (auto* shortcut = Find<ZembraUI::CControlUI>("text_startshortcut")) shortcut->PutVisible(false);
    if (auto* start = Find<ZembraUI::CControlUI>("start_app")) {
        start->PutText(FuntionImpl::GetLanguageText("install_page", failed ? "retry_btn" : "start_app",
                                                    currentLanguage_));
        start->PutEnabled(true);
        start->PutVisible(true);
    }
}

// --- progress -----------------------------------------------------------------

bool InstallWizardPages::SetProgress(int percent) {
    auto* label = Find<ZembraUI::CControlUI>("install_label");
    auto* bar = Find<ZembraUI::CProgressUI>("install_progress");
    if (label == nullptr || bar == nullptr || percent <= bar->Value()) return false;
    percent = std::min(percent, bar->MaxValue());
    label->PutText(FormatWithNumber(installLabelFormat_, percent));
    bar->PutValue(percent);
    LOG(INFO) << " Progress shown: " << percent;
    window_.ShowTaskbarProgress(std::clamp(percent, 0, 100));
    return true;
}

void InstallWizardPages::ResetProgress() {
    if (auto* bar = Find<ZembraUI::CProgressUI>("install_progress")) bar->PutValue(0);
    if (auto* label = Find<ZembraUI::CControlUI>("install_label")) label->PutText(FormatWithNumber(installLabelFormat_, 0.0));
}

int InstallWizardPages::GetProgress() const {
    const auto* bar = Find<ZembraUI::CProgressUI>("install_progress");
    return bar != nullptr ? bar->Value() : 0;
}

// --- install folder -------------------------------------------------------------

void InstallWizardPages::SetInstallFolder(const std::string& text) {
    auto* field = Find<ZembraUI::CEditUI>("install_file_path_edit");
    if (field == nullptr) return;
    std::string shown = ZembraUI::ValidUtf8(text);
    if (shown != text) LOG(INFO) << " Install path is not valid UTF-8; invalid bytes are replaced";
    const std::size_t length = ZembraUI::Utf8::Length(shown);
    if (length > field->MaxChar()) {
        LOG(INFO) << " Install path of " << length << " characters cut to " << field->MaxChar();
        shown.resize(ZembraUI::Utf8::Offset(shown, field->MaxChar()));
    }
    field->PutText(shown);
}

std::string InstallWizardPages::InstallFolder() const {
    const auto* field = Find<ZembraUI::CEditUI>("install_file_path_edit");
    return field != nullptr ? field->Text() : std::string();
}

void InstallWizardPages::SetFreeSpace(double gigabytes) {
    freeSpaceGb_ = gigabytes;
    ShowSpaceTexts();
}
