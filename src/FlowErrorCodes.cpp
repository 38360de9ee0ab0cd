#include "FlowErrorCodes.h"

#include "SingleUserLog.h"

namespace FlowError {

std::string CodeForDownloadResult(int result) {
    switch (result) {
        case 1:
            return "";
        case 6:
            return kContentLengthFailed;
        case 7:
            return kOpenLocalFileFailed;
        case 8:
            return kNoDownloadThread;
        case 9:
            return kNetworkNotAlive;
        case 10:
            return kNoSpeedTimeout;
        case 11:
            return kCdnFailed;
        case 12:
            return kLengthLessThanRemote;
        case 13:
            return kTooManyRedirects;
        case 15:
            return kFileTooSmall;
        default:
            return kDownloadFailedOther;
    }
}

int ReportFlowError(const std::string& code) {
    return CSingleUserLog::GetInstance().AddUserLogEvent("Other", "FlowError", code, false);
}

}  // namespace FlowError
