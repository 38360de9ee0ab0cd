#include "reportsdk/WebLog.h"

#include <cstdlib>

#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/CollectorPayload.h"
#include "reportsdk/Ga4Request.h"
#include "reportsdk/JsonText.h"
#include "reportsdk/RepeatKey.h"

namespace {

std::string Text(const char* text) { return text ? text : ""; }

std::int64_t Now(CManagement& management) {
    const auto& clock = management.Facts().nowMilliseconds;
    return clock ? clock() : 0;
}

std::string Fact(const std::function<std::string()>& source) { return source ? source() : ""; }

}  // namespace

WebLog::WebLog(CManagement& management, std::function<CNetworkCommunicate&()> network, bool resendProcess,
               ResendProcess::Limits limits)
    : management_(management), network_(std::move(network)), resendProcess_(resendProcess), limits_(limits) {}

WebLog::~WebLog() = default;

int WebLog::Init(int type, int mainPid, int pid, const char* email, const char* phone, const char* product,
                 const char* productVersion, const char* userId) {
    management_.Init(type, mainPid, pid, Text(email), Text(phone), Text(product), Text(productVersion), Text(userId));
    CNetworkCommunicate& network = network_();
    if (!resendProcess_) {
        network.RequeueHistory();
        return 0;
    }
    // The resend process ends here: it has no window and nothing else to do.
    DeliverLeftovers();
    network.Stop();
    std::exit(0);
}

bool WebLog::DeliverLeftovers() {
    CNetworkCommunicate& network = network_();
    network.RequeueHistoryForResend(limits_.claimWait, limits_.claimPoll);
    management_.Log("Send rest logs, wait begin");
    const bool delivered = ResendProcess::WaitForDelivery(network, limits_.deliveryWait, limits_.poll);
    if (!delivered)
        management_.Log("Send rest logs, gave up with " + std::to_string(network.QueuedCount()) +
                        " events left for the next run");
    management_.Log("Send rest logs, wait end");
    return delivered;
}

int WebLog::SetDownloaderInfo(int downloaderId, int kitType, const char* toolsLang, const char* toolsVersion) {
    management_.SetDownloaderInfo(downloaderId, kitType, Text(toolsLang), Text(toolsVersion));
    return 0;
}

int WebLog::SetExtraCommon(const char* extraJson, const char* userId, const char* toolsLang,
                           const char* productVersion, int pid) {
    management_.SetExtraCommon(Text(extraJson), Text(userId), Text(toolsLang), Text(productVersion), pid);
    return 0;
}

int WebLog::SendFunnel(const char* eventJson, bool bWait) {
    const std::int64_t ts = Now(management_);
    Json::Value event;
    JsonText::Parse(Text(eventJson), event);
    const Json::Value payload = CollectorPayload::Build(management_.Fields(), event, ts);
    if (const int refusal = CollectorPayload::RefusalCode(payload); refusal != 0) return refusal;

    const Json::Value& actions = JsonText::MemberOf(payload, "actions");
    const std::string key =
        RepeatKey::Make(RepeatKey::kFunnelKind, ts, JsonText::TextOf(JsonText::MemberOf(actions, "event_category")),
                        JsonText::TextOf(JsonText::MemberOf(actions, "event_action")));
    const std::string text = JsonText::StyledStream(payload);
    return network_().Submit(key, text, false, true, bWait);
}

int WebLog::SendGA4(const char* tail, bool bWait) {
    const std::int64_t ts = Now(management_);
    const std::string clientId =
        Ga4Request::ClientId(Fact(management_.Facts().volumeSerial), Fact(management_.Facts().macAddress));
    const std::string encoded = Ga4Request::PercentEncode(Text(tail));
    const std::string key = RepeatKey::Make(RepeatKey::kGa4Kind, ts, Ga4Request::CategoryOfTail(encoded),
                                            Ga4Request::ActionOfTail(encoded));
    const std::string url = Ga4Request::Url(management_.Ga4BaseUrl(), clientId, encoded);
    return network_().Submit(key, url, false, true, bWait);
}
