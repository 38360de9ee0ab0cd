#include "RuleBook.h"

#include <algorithm>
#include <functional>
#include <map>

#include "Base64.h"

namespace devserver {

namespace {

using FieldReader = std::function<bool(Rule&, const Json::Value&)>;

bool ReadString(const Json::Value& value, std::string& out) {
    if (!value.isString()) return false;
    out = value.asString();
    return true;
}

bool ReadInt(const Json::Value& value, int& out) {
    if (!value.isInt()) return false;
    out = value.asInt();
    return true;
}

bool ReadInt64(const Json::Value& value, std::int64_t& out) {
    if (!value.isInt64()) return false;
    out = value.asInt64();
    return true;
}

bool ReadBool(const Json::Value& value, bool& out) {
    if (!value.isBool()) return false;
    out = value.asBool();
    return true;
}

bool ReadHeaders(const Json::Value& value, std::vector<std::pair<std::string, std::string>>& out) {
    if (!value.isObject()) return false;
    for (const auto& name : value.getMemberNames()) {
        if (!value[name].isString()) return false;
        out.emplace_back(name, value[name].asString());
    }
    return true;
}

const std::map<std::string, FieldReader>& FieldReaders() {
    static const std::map<std::string, FieldReader> readers = {
        {"method", [](Rule& r, const Json::Value& v) { return ReadString(v, r.method); }},
        {"path", [](Rule& r, const Json::Value& v) { return ReadString(v, r.path); }},
        {"pathPrefix", [](Rule& r, const Json::Value& v) { return ReadString(v, r.pathPrefix); }},
        {"skip", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.skip); }},
        {"times", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.times); }},
        {"latencyMs", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.latencyMs); }},
        {"status", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.status); }},
        {"body",
         [](Rule& r, const Json::Value& v) {
             std::string text;
             if (!ReadString(v, text)) return false;
             r.body = text;
             return true;
         }},
        {"bodyBase64",
         [](Rule& r, const Json::Value& v) {
             std::string text;
             if (!ReadString(v, text)) return false;
             r.body = Base64Decode(text);
             return r.body.has_value();
         }},
        {"contentType", [](Rule& r, const Json::Value& v) { return ReadString(v, r.contentType); }},
        {"headers", [](Rule& r, const Json::Value& v) { return ReadHeaders(v, r.headers); }},
        {"redirect", [](Rule& r, const Json::Value& v) { return ReadString(v, r.redirect); }},
        {"redirectLoop", [](Rule& r, const Json::Value& v) { return ReadBool(v, r.redirectLoop); }},
        {"redirectStatus", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.redirectStatus); }},
        {"ignoreRange", [](Rule& r, const Json::Value& v) { return ReadBool(v, r.ignoreRange); }},
        {"contentRangeTotal",
         [](Rule& r, const Json::Value& v) {
             std::int64_t total = 0;
             if (!ReadInt64(v, total)) return false;
             r.contentRangeTotal = total;
             return true;
         }},
        {"contentRange",
         [](Rule& r, const Json::Value& v) {
             std::string text;
             if (!ReadString(v, text)) return false;
             r.contentRange = text;
             return true;
         }},
        {"surplusBytes", [](Rule& r, const Json::Value& v) { return ReadInt64(v, r.surplusBytes); }},
        {"dropAfterBytes", [](Rule& r, const Json::Value& v) { return ReadInt64(v, r.dropAfterBytes); }},
        {"stallAfterBytes", [](Rule& r, const Json::Value& v) { return ReadInt64(v, r.stallAfterBytes); }},
        {"stallMs", [](Rule& r, const Json::Value& v) { return ReadInt(v, r.stallMs); }},
        {"closeAfterStall", [](Rule& r, const Json::Value& v) { return ReadBool(v, r.closeAfterStall); }},
        {"rateBytesPerSecond",
         [](Rule& r, const Json::Value& v) { return ReadInt64(v, r.rateBytesPerSecond); }},
        {"queryReply",
         [](Rule& r, const Json::Value& v) {
             if (!v.isObject()) return false;
             r.queryReply = v;
             return true;
         }},
        {"comment", [](Rule&, const Json::Value& v) { return v.isString(); }},
        // The listing's own bookkeeping, so a listed rule can be posted back.
        {"id", [](Rule&, const Json::Value& v) { return v.isInt(); }},
        {"seen", [](Rule&, const Json::Value& v) { return v.isInt(); }},
        {"applied", [](Rule&, const Json::Value& v) { return v.isInt(); }},
    };
    return readers;
}

}  // namespace

std::optional<Rule> RuleFromJson(const Json::Value& json, std::string& error) {
    if (!json.isObject()) {
        error = "a rule must be a JSON object";
        return std::nullopt;
    }
    Rule rule;
    for (const auto& key : json.getMemberNames()) {
        const auto reader = FieldReaders().find(key);
        if (reader == FieldReaders().end()) {
            error = "unknown rule key: " + key;
            return std::nullopt;
        }
        if (!reader->second(rule, json[key])) {
            error = "bad value for rule key: " + key;
            return std::nullopt;
        }
    }
    rule.source = json;
    rule.source.removeMember("id");
    rule.source.removeMember("seen");
    rule.source.removeMember("applied");
    return rule;
}

std::optional<std::vector<Rule>> RuleBook::Build(const Json::Value& json, std::string& error) {
    std::vector<Rule> built;
    if (json.isArray()) {
        for (const auto& item : json) {
            auto rule = RuleFromJson(item, error);
            if (!rule) return std::nullopt;
            built.push_back(std::move(*rule));
        }
    } else {
        auto rule = RuleFromJson(json, error);
        if (!rule) return std::nullopt;
        built.push_back(std::move(*rule));
    }
    return built;
}

std::optional<std::vector<int>> RuleBook::Add(const Json::Value& json, std::string& error) {
    auto built = Build(json, error);
    if (!built) return std::nullopt;
    std::lock_guard guard(lock_);
    std::vector<int> ids;
    for (auto& rule : *built) {
        rule.id = nextId_++;
        ids.push_back(rule.id);
        rules_.push_back(std::move(rule));
    }
    return ids;
}

bool RuleBook::Replace(const Json::Value& json, std::string& error) {
    auto built = Build(json.isNull() ? Json::Value(Json::arrayValue) : json, error);
    if (!built) return false;
    std::lock_guard guard(lock_);
    for (auto& rule : *built) rule.id = nextId_++;
    rules_ = std::move(*built);
    return true;
}

void RuleBook::Clear() {
    std::lock_guard guard(lock_);
    rules_.clear();
}

bool RuleBook::Remove(int id) {
    std::lock_guard guard(lock_);
    const auto before = rules_.size();
    std::erase_if(rules_, [id](const Rule& rule) { return rule.id == id; });
    return rules_.size() != before;
}

bool RuleBook::Matches(const Rule& rule, const std::string& method, const std::string& path) {
    if (!rule.method.empty() && rule.method != method) return false;
    if (!rule.path.empty()) return rule.path == path;
    return path.compare(0, rule.pathPrefix.size(), rule.pathPrefix) == 0;
}

std::optional<Rule> RuleBook::Match(const std::string& method, const std::string& path) {
    std::lock_guard guard(lock_);
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule) {
        if (!Matches(*rule, method, path)) continue;
        if (rule->times >= 0 && rule->applied >= rule->times) continue;
        if (rule->seen++ < rule->skip) continue;
        ++rule->applied;
        return *rule;
    }
    return std::nullopt;
}

Json::Value RuleBook::ToJson() const {
    std::lock_guard guard(lock_);
    Json::Value list(Json::arrayValue);
    for (const auto& rule : rules_) {
        Json::Value item = rule.source;
        item["id"] = rule.id;
        item["seen"] = rule.seen;
        item["applied"] = rule.applied;
        list.append(item);
    }
    return list;
}

}  // namespace devserver
