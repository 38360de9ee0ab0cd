#pragma once
// What the window does when the flow's messages and its own timers arrive,
// beyond moving the progress bar: the finish, failure and message-box
// reactions, the banners, and the unattended clicks.
#include <string>

class IRunEndReactions {
public:
    virtual ~IRunEndReactions() = default;
    virtual void ClearAppData() = 0;                 // message 0xB7F
    virtual void DownloadFailed(int reason) = 0;     // 0xB80, an EnumErrorCode or 14
    virtual void NothingToInstall() = 0;             // 0xB81
    virtual void SetupTimedOut() = 0;                // 0xB84
    virtual void InstallFinished() = 0;              // 0xB85
    virtual void SignatureInvalid() = 0;             // 0xB86
    virtual void InstallFolderGone() = 0;            // 0xB87
    virtual void BannersArrived() = 0;               // 0xB88
    virtual void NextBanner() = 0;                   // timer 2000
    // Acts as a click on the named control ("install_btn", "start_app").
    virtual void ClickControl(const std::string& controlName) = 0;
};
