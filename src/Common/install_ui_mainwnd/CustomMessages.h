#pragma once
// The wizard window's own message and timer numbers. Workers and message
// boxes post the messages; the window's timers drive the progress display.
// The values are fixed: logs and other components name them by number.

namespace installmsg {

constexpr unsigned kUserBase = 0x400;

constexpr unsigned kClearAppData = kUserBase + 1919;      // 0xB7F: delete the downloaded package
constexpr unsigned kDownloadFailed = kUserBase + 1920;    // 0xB80: wParam = download result, 14 = no address
constexpr unsigned kNothingToInstall = kUserBase + 1921;  // 0xB81: the package is the product itself
constexpr unsigned kVerifyStarted = kUserBase + 1922;     // 0xB82
constexpr unsigned kSetupStarted = kUserBase + 1923;      // 0xB83
constexpr unsigned kSetupTimedOut = kUserBase + 1924;     // 0xB84
constexpr unsigned kInstallComplete = kUserBase + 1925;   // 0xB85
constexpr unsigned kSignatureInvalid = kUserBase + 1926;  // 0xB86
constexpr unsigned kInstallFolderGone = kUserBase + 1927; // 0xB87: the checked install folder vanished
constexpr unsigned kBannersArrived = kUserBase + 1928;    // 0xB88

// The window's own messages, handled on its thread.
constexpr unsigned kStartAppClick = kUserBase + 3001;  // the flow's automatic product start
constexpr unsigned kShowProgress = kUserBase + 3002;   // wParam: a percent the worker reached
constexpr unsigned kShowWindow = kUserBase + 3003;     // another instance asked to see the wizard

// The window's close request, as the system numbers it.
constexpr unsigned kClose = 0x0010;

// wParam of kDownloadFailed when no package address was usable.
constexpr unsigned kNoUsableAddress = 14;

}  // namespace installmsg

namespace installtimer {

constexpr int kVerifyCreep = 1920;     // 2000 ms, from kVerifyStarted
constexpr int kInstallCreep = 1921;    // the install-time estimate, from kSetupStarted
constexpr int kFirstPercent = 1922;    // 1000 ms one-shot at the start of the flow
constexpr int kFinalCreep = 1923;      // 500 ms after the setup ended
constexpr int kBanner = 2000;          // banner carousel
constexpr int kAutoInstall = 666;      // 2000 ms, unattended start
constexpr int kAutoRetry = 888;        // 1000 ms, unattended retry after a failure
constexpr int kBackgroundExit = 1930;  // 3000 ms one-shot: a hidden run closes after success

constexpr unsigned kVerifyCreepMs = 2000;
constexpr unsigned kFirstPercentMs = 1000;
constexpr unsigned kFinalCreepMs = 500;
constexpr unsigned kAutoInstallMs = 2000;
constexpr unsigned kAutoRetryMs = 1000;
constexpr unsigned kBackgroundExitMs = 3000;

}  // namespace installtimer
