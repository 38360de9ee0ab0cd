#pragma once
// Receives every request of both servers, applies the matching rule,
// records the request and hands it to the service its path belongs to.
#include <string>

#include "ContentService.h"
#include "ControlApi.h"
#include "PackageHost.h"
#include "QueryService.h"
#include "ReportServices.h"

namespace httplib {
class Server;
}

namespace devserver {

struct Options;
struct Rule;
class RuleBook;
class RequestRecorder;

class ServiceRouter {
public:
    ServiceRouter(const Options& options, RuleBook& rules, RequestRecorder& recorder, ControlApi& control,
                  ContentCatalog catalog);

    // Registers the router for every method on the server. port is read at
    // request time (it is known only after binding).
    void Install(httplib::Server& server, const std::string& scheme, const int& port);

private:
    void Handle(ReceivedRequest& received, httplib::Response& response);
    void Answer(ReceivedRequest& received, httplib::Response& response, const Rule* rule, Json::Value& record);
    void ServeService(ReceivedRequest& received, httplib::Response& response, const Rule* rule,
                      Json::Value& record);

    const std::string host_;
    RuleBook& rules_;
    RequestRecorder& recorder_;
    ControlApi& control_;
    PackageHost packages_;
    QueryService query_;
    ReportServices reports_;
    ContentService content_;
};

}  // namespace devserver
