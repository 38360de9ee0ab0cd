#include "Common/install_ui_mainwnd/CloseReport.h"

namespace {

// The bar splits the running page: the download fills it to 85, the
// verification to 90, the setup from 91.
constexpr int kVerificationStart = 85;
constexpr int kSetupStart = 91;

CloseReport RunningPageReport(int progress) {
    using Since = CloseReport::Since;
    if (progress < kVerificationStart) {
        return {"close02", "Downloading", "DownloadDuration", "UserCloses", Since::InstallClicked};
    }
    if (progress < kSetupStart) {
        return {"close04", "Md5Check", "VerificationDuration", "UserVerificationUserCloses", Since::DownloadFinished};
    }
    return {"close03", "Installing", "ActualTime", "UserCloses", Since::DownloadFinished};
}

}  // namespace

CloseReport CloseReportFor(const WizardPageState& state) {
    using Since = CloseReport::Since;
    if (state.runningPage) return RunningPageReport(state.progress);
    if (!state.endSubPage) {
        return {"close01", "BeforeDownload", "DurationFordownLoading", "UserCloses", Since::WindowOpened};
    }
    if (state.failureShown) return {"close05", "Installing", "", "", Since::None};
    if (state.productStarted) return {"close07", "Starting", "", "", Since::None};
    return {"close06", "Installing", "", "", Since::None};
}
