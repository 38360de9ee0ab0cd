#include "Common/install_ui_mainwnd/WizardActions.h"


namespace {

struct ClickRow {
    const char* control;
    WizardAction action;
};

// Looked up in this order; the first row naming the control wins.
constexpr ClickRow kClickTable[] = {
    {"closebtn", WizardAction::RequestClose},
    {"minbtn", WizardAction::Minimise},
    {"install_minbtn", WizardAction::Minimise},
    {"install_closebtn", WizardAction::RequestClose},
    {"install_btn", WizardAction::InstallClick},
    {"browser_btn", WizardAction::BrowseInstallFolder},
    {"cancel_btn", WizardAction::RequestClose},
    {"license_checkbox", WizardAction::EnableInstall},
    {"start_app", WizardAction::StartOrRetry},
    {"install_setting", WizardAction::ToggleSettingsPanel},
};

WizardAction ClickAction(const std::string& control) {
    for (const ClickRow& row : kClickTable) {
        if (control == row.control) return row.action;
    }
    return WizardAction::None;
}

WizardAction LinkAction(const std::string& control, std::uintptr_t linkIndex) {
    if (control == "license_link") return WizardAction::ToggleLicencePanel;
    if (control == "license_link_new") {
        return linkIndex == 0 ? WizardAction::OpenPrivacyPage : WizardAction::OpenLicencePage;
    }
    if (control == "text_fail_advice") return WizardAction::OpenPackageDownload;
    return WizardAction::None;
}

}  // namespace

WizardAction WizardActionFor(const std::string& type, const std::string& control, std::uintptr_t linkIndex) {
    if (type == "click") return ClickAction(control);
    if (type == "link") return LinkAction(control, linkIndex);
    if (type == "itemselect") return control == "language_combox" ? WizardAction::ChangeLanguage : WizardAction::None;
    if (type == "selectchanged") return control.starts_with("image_play_option") ? WizardAction::SelectBanner
                                                                                  : WizardAction::None;
    return WizardAction::None;
}
