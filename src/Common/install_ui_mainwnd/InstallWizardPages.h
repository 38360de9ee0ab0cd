#pragma once
// The wizard's behaviour on its control tree: pages, the settings and
// licence panels, the progress bar and its text, the language list and the
// texts of the current language, the install folder field, and which action
// a notification asks for. It works on the tree built from InstallMainWnd.xml
// and asks the native window (IWizardWindow) only to resize and to show the
// taskbar progress, so it runs the same in a real and a headless window.
// UI thread only.
#include <string>

#include "Common/install_ui_mainwnd/WizardActions.h"
#include "EnumLanguage.h"

namespace ZembraUI {
class CUIManager;
class CMarkupDoc;
struct tagTNotifyUI;
}  // namespace ZembraUI

class CConfigure;
class IFlowAnalytics;
class IWizardWindow;

class InstallWizardPages {
public:
    static constexpr int kWidth = 650;
    static constexpr int kCompactHeight = 360;
    static constexpr int kPanelHeight = 560;

    // How the setting page starts, from the configuration labels.
    struct StartSettings {
        int siteId = 0;
        // NewLicenseFlag is "1": the two-link consent text stays, else the one-link text.
        bool newLicenceScheme = false;
        // AutoRun is on or ChooseLicense is 1: the consent box starts checked.
        bool consentPreset = false;
        std::string installRoot;      // the install folder field
        std::string softwareVersion;  // handed to the logger with the language
    };

    InstallWizardPages(ZembraUI::CUIManager& manager, IWizardWindow& window, IFlowAnalytics& analytics);

    // Prepares the setting page: hides the failure texts, keeps one consent
    // text, presets the consent box and fills the install folder field.
    void PrepareStartPage(const StartSettings& settings);

    // --- notifications -------------------------------------------------------
    // Runs what the notification asks of the pages (panel toggles, enabling
    // install_btn, a language chosen in the list) and returns the action, so
    // the window runs the rest (closing, the install click, links, ...).
    WizardAction Notify(const ZembraUI::tagTNotifyUI& notification);
    // The URL a consent link opens in the current language, logged; "" when
    // the configuration has none (then nothing is opened).
    std::string ConsentLinkUrl(WizardAction action, const CConfigure& configuration) const;

    // --- languages -------------------------------------------------------------
    // The start language: selected in the list, handed to the logger, applied;
    // the window then goes compact. A skin whose language list is empty gets
    // the twenty items first.
    void InitLanguage(EnumLanguage start);
    // Selects wanted in the language list, or the first visible item when
    // wanted is hidden. A changed selection re-texts the window through the
    // list's "itemselect".
    void SelectLanguageItem(EnumLanguage wanted);
    // Re-texts every control named in the current language's file.
    void ApplyLanguage();
    EnumLanguage CurrentLanguage() const { return currentLanguage_; }

    // --- pages and panels ------------------------------------------------------
    void ToggleSettingsPanel();
    void ToggleLicencePanel();
    // 650 x 360 when compact, else 650 x 560.
    void ResizeWizard(bool compact);
    // The running page (and, for the end of the run, the finish sub-page).
    void ShowRunningPage();
    // The setting page again with its finish sub-page: "Start", or after a
    // failure the failure texts and "Try again".
    void ShowEndPage(bool failed);

    // --- progress --------------------------------------------------------------
    // Raises the bar, its text and the taskbar progress; a value not above
    // the bar's changes nothing (false).
    bool SetProgress(int percent);
    int GetProgress() const;
    // The bar back at 0 for a new start of the flow.
    void ResetProgress();

    // --- install folder --------------------------------------------------------
    // Shows text in the field: invalid UTF-8 replaced, cut to the field's
    // length limit (logged).
    void SetInstallFolder(const std::string& text);
    std::string InstallFolder() const;
    // Free space of the chosen folder's drive, shown in space_free.
    void SetFreeSpace(double gigabytes);

private:
    struct Panel {
        int page;
        bool toggled = false;
    };

    template <typename T>
    T* Find(const char* name) const;
    void TogglePanel(Panel& panel);
    void FillEmptyLanguageList();
    void ShowLicenceText();
    bool LoadLanguageFile(EnumLanguage language, ZembraUI::CMarkupDoc& document) const;
    void ApplyInstallPageTexts(const ZembraUI::CMarkupDoc& chosen, const ZembraUI::CMarkupDoc* english);
    void ApplyText(const std::string& key, const std::string& text);
    void ShowSpaceTexts();
    void OnLanguageSelected(int index);

    ZembraUI::CUIManager& manager_;
    IWizardWindow& window_;
    IFlowAnalytics& analytics_;
    StartSettings settings_;
    EnumLanguage currentLanguage_ = English;
    std::string installLabelFormat_;
    std::string spaceNeedFormat_;
    std::string spaceFreeFormat_;
    double freeSpaceGb_ = 0;
    std::string keptConsentText_;
    Panel settingsPanel_{1};
    Panel licencePanel_{0};
};
