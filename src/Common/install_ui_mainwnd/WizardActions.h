#pragma once
// What the wizard window does for a notification from one of its controls.
// The window runs the action (close requests, message boxes, analytics of
// the install click, opening links); the page and panel changes themselves
// live in InstallWizardPages.
#include <cstdint>
#include <string>

enum class WizardAction {
    None,
    RequestClose,          // closebtn, install_closebtn, cancel_btn
    Minimise,              // minbtn, install_minbtn
    InstallClick,          // install_btn
    BrowseInstallFolder,   // browser_btn
    EnableInstall,         // license_checkbox, whatever its check state
    StartOrRetry,          // start_app
    ToggleSettingsPanel,   // install_setting
    ToggleLicencePanel,    // the link of license_link
    OpenPrivacyPage,       // link 0 of license_link_new
    OpenLicencePage,       // any other link of license_link_new
    OpenPackageDownload,   // the link of text_fail_advice
    ChangeLanguage,        // an item chosen in language_combox
    SelectBanner,          // a banner dot chosen
};

// The action for a notification of type ("click", "link", "itemselect",
// "selectchanged") from the control named control; linkIndex is the
// notification's link number. None for everything the wizard ignores.
WizardAction WizardActionFor(const std::string& type, const std::string& control, std::uintptr_t linkIndex);
