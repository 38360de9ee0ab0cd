#pragma once
// The report library's one object behind IWebLog. It keeps no state of its
// own: the common fields live in CManagement, delivery in CNetworkCommunicate.
#include <functional>
#include <shared_mutex>

#include "reportsdk/IWebLog.h"
#include "reportsdk/ResendProcess.h"

class CManagement;
class CNetworkCommunicate;

class WebLog : public IWebLog {
public:
    // The process-wide parts; the resend mode comes from the command line.
    WebLog();
    // Given parts (tests): network is asked for the delivery part before each use.
    WebLog(CManagement& management, std::function<CNetworkCommunicate&()> network, bool resendProcess,
           ResendProcess::Limits limits = {});
    ~WebLog() override;

    int Init(int type, int mainPid, int pid, const char* email, const char* phone, const char* product,
             const char* productVersion, const char* userId) override;
    int SetDownloaderInfo(int downloaderId, int kitType, const char* toolsLang, const char* toolsVersion) override;
    int SetExtraCommon(const char* extraJson, const char* userId, const char* toolsLang, const char* productVersion,
                       int pid) override;
    int SendFunnel(const char* eventJson, bool bWait) override;
    int SendGA4(const char* tail, bool bWait) override;

    // The resend process's part of Init after the usual steps: delivers and
    // returns whether everything went out (the process then ends).
    bool DeliverLeftovers();

private:
    CManagement& management_;
    std::function<CNetworkCommunicate&()> network_;
    bool resendProcess_;
    ResendProcess::Limits limits_;
};

// A call through the report object holds a lease, so that DestroyReportObj
// never deletes the object under a caller on another thread. get() is null
// when there is no object (never made, or destroyed).
class ReportObjLease {
public:
    ReportObjLease();
    IWebLog* get() const { return object_; }

private:
    std::shared_lock<std::shared_mutex> hold_;
    IWebLog* object_;
};

// Deletes the object and forgets it; true when there was one. The resend
// process is not started (DestroyReportObj does both).
bool ReleaseReportObj();

extern "C" {
// The one IWebLog object, made on the first call.
__attribute__((visibility("default"))) IWebLog* GetReportObj();
// Deletes the object, then starts the program again with "-sendrestlogs" to
// deliver what is left.
__attribute__((visibility("default"))) void DestroyReportObj();
}
