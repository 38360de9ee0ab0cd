#pragma once
// The report library's one interface. The object comes from the exported
// GetReportObj and is torn down with DestroyReportObj.

class IWebLog {
public:
    virtual ~IWebLog() = default;

    virtual int Init(int type, int mainPid, int pid, const char* email, const char* phone,
                     const char* product, const char* productVersion, const char* userId) = 0;
    virtual int SetDownloaderInfo(int downloaderId, int kitType, const char* toolsLang,
                                  const char* toolsVersion) = 0;
    virtual int SetExtraCommon(const char* extraJson, const char* userId, const char* toolsLang,
                               const char* productVersion, int pid) = 0;
    // 0, -1 (dropped as a repeat) or a refusal code 157..166.
    virtual int SendFunnel(const char* eventJson, bool bWait) = 0;
    // 0 or -1.
    virtual int SendGA4(const char* tail, bool bWait) = 0;
};
