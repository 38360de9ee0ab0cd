#pragma once
// The wizard host used while the program has no window of its own: it says
// so in the log and lets start-up shut down normally.
#include "Common/wWndMain.h"

class HeadlessWizardHost : public startup::IWizardHost {
public:
    bool RunWizard(const std::string& windowClassName) override;
    void ShowExistingWizard() override;
    void WaitForAllThreadExit() override;
    void ShowNotSupportSystemBox() override;
};
