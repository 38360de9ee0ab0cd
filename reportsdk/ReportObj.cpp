// The process-wide objects of the report library and the two functions the
// program exports for them.
#include <mutex>
#include <shared_mutex>

#include "platform/Process.h"
#include "platform/ProcessCommandLine.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/WebLog.h"

namespace {

// Never destroyed: the resend process ends inside Init, under a lease.
std::shared_mutex& ObjectLock() {
    static auto* lock = new std::shared_mutex;
    return *lock;
}

IWebLog* g_reportObj = nullptr;

}  // namespace

CManagement& CManagement::GetInstance() {
    static CManagement instance(SystemReportFacts(), platform::CurrentExecutablePath());
    return instance;
}

CNetworkCommunicate& CNetworkCommunicate::GetInstance() {
    static CNetworkCommunicate instance(CManagement::GetInstance());
    return instance;
}

WebLog::WebLog()
    : WebLog(
          CManagement::GetInstance(), []() -> CNetworkCommunicate& { return CNetworkCommunicate::GetInstance(); },
          ResendProcess::IsResendCommandLine(platform::CurrentProcessCommandLine())) {}

ReportObjLease::ReportObjLease() : hold_(ObjectLock()), object_(g_reportObj) {}

bool ReleaseReportObj() {
    std::unique_lock hold(ObjectLock());
    IWebLog* object = g_reportObj;
    g_reportObj = nullptr;
    delete object;
    return object != nullptr;
}

extern "C" IWebLog* GetReportObj() {
    std::unique_lock hold(ObjectLock());
    if (!g_reportObj) g_reportObj = new WebLog();
    return g_reportObj;
}

extern "C" void DestroyReportObj() {
    ReleaseReportObj();
    ResendProcess::Launch(platform::CurrentExecutablePath());
}
