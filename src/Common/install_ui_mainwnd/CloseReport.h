#pragma once
// What a close of the wizard reports, decided by where the user closes it:
// the close code (the "CrashRate"/"Close" label and the close-diagnostics
// catalogue), the flow named in the key-point event, and the running-time
// report with the moment its duration counts from.
#include <string>

// Where the wizard stands when it closes.
struct WizardPageState {
    bool runningPage = false;     // the install is running (main page 1)
    bool endSubPage = false;      // the setting page shows its finish/failure part
    bool failureShown = false;    // the failure headline is visible
    bool productStarted = false;  // the product start was requested
    int progress = 0;             // the bar, read once
};

struct CloseReport {
    // The moment a running-time duration counts from.
    enum class Since { None, WindowOpened, InstallClicked, DownloadFinished };

    std::string code;      // "close01" .. "close07"
    std::string flowName;  // "BeforeDownload", "Downloading", "Md5Check", "Installing", "Starting"
    std::string action;    // running-time report; "" when there is none
    std::string key;
    Since since = Since::None;
};

CloseReport CloseReportFor(const WizardPageState& state);
