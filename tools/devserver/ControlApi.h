#pragma once
// The control API that tests and the demo drive (never recorded):
//   GET    /__control/ping             -> {"http":port,"https":port}
//   GET    /__control/rules            -> the rules with "id", "seen", "applied"
//   POST   /__control/rules            rule object or array, added -> {"ids":[...]}
//   PUT    /__control/rules            array replacing every rule
//   DELETE /__control/rules            removes every rule
//   DELETE /__control/rules/<id>       removes one rule
//   POST   /__control/reload           rules file read again, replacing every rule
//   POST   /__control/records/clear    empties the record file
#include <string>

namespace httplib {
struct Response;
}

namespace devserver {

class RuleBook;
class RequestRecorder;
struct ReceivedRequest;

struct ListeningPorts {
    int http = 0;
    int https = 0;
};

class ControlApi {
public:
    static constexpr const char* kPrefix = "/__control";

    ControlApi(RuleBook& rules, RequestRecorder& recorder, std::string rulesFile, const ListeningPorts& ports)
        : rules_(rules), recorder_(recorder), rulesFile_(std::move(rulesFile)), ports_(ports) {}

    void Serve(const ReceivedRequest& request, httplib::Response& response);
    // Loads the rules file (an array of rules), replacing every rule.
    bool LoadRulesFile(std::string& error);

private:
    RuleBook& rules_;
    RequestRecorder& recorder_;
    std::string rulesFile_;
    const ListeningPorts& ports_;
};

}  // namespace devserver
