#pragma once
// Fault and reply rules. A rule matches requests by method and path and
// changes how the matching service answers: latency, a forced status and
// body, redirects, extra headers, range faults and stream faults. Rules come
// from the rules file and from the control API; the newest matching rule
// wins, and only one rule applies to a request.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <json/json.h>

namespace devserver {

struct Rule {
    int id = 0;

    // Matching.
    std::string method;      // "" = any method
    std::string path;        // exact path, or
    std::string pathPrefix;  // path prefix ("" with path "" = every path)
    int skip = 0;            // the first `skip` matching requests pass untouched
    int times = -1;          // then the rule applies this many times (-1 = always)

    // Reply changes.
    int latencyMs = 0;                 // wait before answering
    int status = 0;                    // answer with this status instead of the service
    std::optional<std::string> body;   // reply body ("body" text or "bodyBase64")
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;  // added to the reply
    std::string redirect;              // answer with a redirect to this address or path
    bool redirectLoop = false;         // answer with a redirect to the request itself
    int redirectStatus = 302;

    // Range faults (package hosting).
    bool ignoreRange = false;                  // 200 with the whole file instead of 206
    std::optional<std::int64_t> contentRangeTotal;
    std::optional<std::string> contentRange;   // Content-Range value sent verbatim
    std::int64_t surplusBytes = 0;             // body longer than the range by this many bytes

    // Stream faults (any streamed body).
    std::int64_t dropAfterBytes = -1;   // close the connection after this many body bytes
    std::int64_t stallAfterBytes = -1;  // then pause for stallMs once
    int stallMs = 0;
    bool closeAfterStall = false;       // close instead of going on after the pause
    std::int64_t rateBytesPerSecond = 0;

    // Download-information reply ({"mode":..., "fields":{...}, "size":...}).
    Json::Value queryReply;

    // Bookkeeping, reported by GET /__control/rules.
    int seen = 0;
    int applied = 0;
    Json::Value source;
};

// Builds a rule from its JSON form; nullopt and an error text for unknown
// keys or wrongly typed values.
std::optional<Rule> RuleFromJson(const Json::Value& json, std::string& error);

class RuleBook {
public:
    // Adds one rule (object) or several (array); returns their ids.
    std::optional<std::vector<int>> Add(const Json::Value& json, std::string& error);
    // Replaces every rule; a bad rule leaves the book unchanged.
    bool Replace(const Json::Value& json, std::string& error);
    void Clear();
    bool Remove(int id);
    // The rule to apply to this request, counted as applied; nullopt when none.
    std::optional<Rule> Match(const std::string& method, const std::string& path);
    Json::Value ToJson() const;

private:
    static bool Matches(const Rule& rule, const std::string& method, const std::string& path);
    std::optional<std::vector<Rule>> Build(const Json::Value& json, std::string& error);

    mutable std::mutex lock_;
    std::vector<Rule> rules_;  // in the order added
    int nextId_ = 1;
};

}  // namespace devserver
