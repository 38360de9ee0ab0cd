#pragma once
// Every way the installation flow can go wrong, as the short codes analytics
// counts failures by. A site reports a code with ReportFlowError; the code
// never changes the flow by itself.
#include <string>

namespace FlowError {

inline constexpr const char* kQueryTimedOut = "DL002";          // download-information query: transfer result 28
inline constexpr const char* kQueryHostUnresolved = "DL003";    // download-information query: transfer result 6
inline constexpr const char* kPrivacyLinkMissing = "DL004";     // a language entry lacks its privacy link
inline constexpr const char* kTermsLinkMissing = "DL005";       // a language entry lacks its terms link
inline constexpr const char* kNotEnoughSpace = "DL008";         // work or install drive too full
inline constexpr const char* kInstallFolderFailed = "DL009";    // the install folder cannot be created
inline constexpr const char* kNetworkNotAlive = "DL010";        // download round ended NetworkNotAlive (9)
inline constexpr const char* kNoSpeedTimeout = "DL011";         // download round ended NoSpeedTimeout (10)
inline constexpr const char* kContentLengthFailed = "DL012";    // download round ended GetContentLengthFailed (6)
inline constexpr const char* kMd5Mismatch = "DL013";            // MD5 mismatch, signature valid
inline constexpr const char* kSignatureInvalid = "DL014";       // MD5 correct (or unchecked), signature invalid
inline constexpr const char* kMd5AndSignatureFailed = "DL015";  // MD5 mismatch and signature invalid
inline constexpr const char* kSetupTimedOut = "DL016";          // the setup ran longer than InstallTimeout
inline constexpr const char* kDownloadFailedOther = "DL017";    // download round ended with an unlisted result
inline constexpr const char* kProductStartFailed = "DL019";     // StartTargetMainExe failed
inline constexpr const char* kTooManyRedirects = "DL022";       // download round ended TooManyRedirects (13)
inline constexpr const char* kNoPackageAddress = "DL023";       // no usable package address
inline constexpr const char* kProductRunning = "DL024";         // product running, or process list unreadable
inline constexpr const char* kTaskFileLengthChanged = "DL025";  // remote length differs from the task file's
inline constexpr const char* kTaskFileInconsistent = "DL026";   // stored tasks out of order, gapped or short
inline constexpr const char* kOpenLocalFileFailed = "DL027";    // download round ended OpenLocalFileFailed (7)
inline constexpr const char* kNoDownloadThread = "DL028";       // download round ended NoDownloadThread (8)
inline constexpr const char* kCdnFailed = "DL029";              // download round ended CdnFailed (11)
inline constexpr const char* kLengthLessThanRemote = "DL030";   // download round ended LengthLessThanRemote (12)
inline constexpr const char* kFileTooSmall = "DL031";           // download round ended FileTooSmall (15)

// The code for a download round that ended with an EnumErrorCode result;
// "" for success (1).
std::string CodeForDownloadResult(int result);

// Sends ("Other", "FlowError", code) without waiting for delivery. Returns
// what the logger returns.
int ReportFlowError(const std::string& code);

}  // namespace FlowError
