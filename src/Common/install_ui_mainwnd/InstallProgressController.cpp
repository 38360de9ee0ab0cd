#include "Common/install_ui_mainwnd/InstallProgressController.h"

#include <string>

#include <easylogging++.h>

#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"
#include "Common/install_ui_mainwnd/IRunEndReactions.h"
#include "Common/install_ui_mainwnd/IWindowTimers.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "Common/install_ui_mainwnd/InstallTimeEstimate.h"
#include "SingleUserLog.h"
#include "platform/LocalSettings.h"

InstallProgressController::InstallProgressController(IInstallWindowPort& window, IWindowTimers& timers,
                                                     IRunEndReactions& reactions, IFlowAnalytics& analytics)
    : window_(window), timers_(timers), reactions_(reactions), analytics_(analytics) {}

long InstallProgressController::HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t,
                                                    bool& handled) {
    handled = false;
    switch (message) {
        case installmsg::kClearAppData: reactions_.ClearAppData(); break;
        case installmsg::kDownloadFailed: reactions_.DownloadFailed(static_cast<int>(wParam)); break;
        case installmsg::kNothingToInstall: reactions_.NothingToInstall(); break;
        case installmsg::kVerifyStarted: VerificationStarted(); break;
        case installmsg::kSetupStarted: SetupStarted(); break;
        case installmsg::kSetupTimedOut: reactions_.SetupTimedOut(); break;
        case installmsg::kInstallComplete: reactions_.InstallFinished(); break;
        case installmsg::kSignatureInvalid: reactions_.SignatureInvalid(); break;
        case installmsg::kInstallFolderGone: reactions_.InstallFolderGone(); break;
        case installmsg::kBannersArrived: reactions_.BannersArrived(); break;
        default: break;
    }
    return 0;
}

long InstallProgressController::OnTimer(int timerId) {
    switch (timerId) {
        case installtimer::kVerifyCreep: VerifyCreepTick(); break;
        case installtimer::kInstallCreep: InstallCreepTick(); break;
        case installtimer::kFirstPercent:
            timers_.KillTimer(installtimer::kFirstPercent);
            window_.SetProgress(1);
            break;
        case installtimer::kFinalCreep: FinalCreepTick(); break;
        case installtimer::kBanner: reactions_.NextBanner(); break;
        case installtimer::kAutoInstall: AutoClick(timerId, "install_btn"); break;
        case installtimer::kAutoRetry: AutoClick(timerId, "start_app"); break;
        default: break;
    }
    return 0;
}

void InstallProgressController::VerificationStarted() {
    window_.SetProgress(85);
    timers_.SetTimer(installtimer::kVerifyCreep, installtimer::kVerifyCreepMs);
}

void InstallProgressController::SetupStarted() {
    timers_.KillTimer(installtimer::kVerifyCreep);
    window_.SetProgress(90);
    const std::int64_t estimate = installestimate::EstimateSeconds(window_.RunState().packageSize);
    const std::int64_t extra = CSingleUserLog::GetInstance().additionalTime;
    const unsigned period = installestimate::UsablePeriodMs(installestimate::TimerPeriodMs(estimate, extra));
    timers_.SetTimer(installtimer::kInstallCreep, period);
    LOG(INFO) << " Estimate install time is " << estimate << ", extra install time is " << extra
              << ", timer elapse is " << period;
    analytics_.FunnelParam("RunningTime", "Estimated Duration", "EstimatedDurationPar", std::to_string(estimate));
}

void InstallProgressController::VerifyCreepTick() {
    const int current = window_.GetProgress();
    if (window_.RunState().verificationDone == 1 || current + 1 > 90)
        timers_.KillTimer(installtimer::kVerifyCreep);
    else
        window_.SetProgress(current + 1);
}

void InstallProgressController::InstallCreepTick() {
    InstallRunState& state = window_.RunState();
    const int next = window_.GetProgress() + 1;
    const bool finished = state.setupFinished;
    LOG(INFO) << " TIMER_INSTALLPROGRESS_ID: " << (finished ? 1 : 0) << ", " << next;
    if (!finished && next < 100) {
        window_.SetProgress(next);
        return;
    }
    timers_.KillTimer(installtimer::kInstallCreep);
    if (!finished) return;
    if (next > 98)
        state.progressFinished.Set();
    else
        timers_.SetTimer(installtimer::kFinalCreep, installtimer::kFinalCreepMs);
}

void InstallProgressController::FinalCreepTick() {
    const int next = window_.GetProgress() + 1;
    LOG(INFO) << " TIMER_ATLASTPROGRESS_ID: " << (window_.RunState().setupFinished ? 1 : 0) << ", " << next;
    if (next < 100) {
        window_.SetProgress(next);
        return;
    }
    timers_.KillTimer(installtimer::kFinalCreep);
    window_.RunState().progressFinished.Set();
}

void InstallProgressController::AutoClick(int timerId, const char* controlName) {
    if (!platform::IsAutoRun()) return;
    timers_.KillTimer(timerId);
    reactions_.ClickControl(controlName);
}
