#pragma once
// The key of one event: kind, call time, category and action. It names the
// event in the history file and in repeat detection.
#include <cstdint>
#include <string>

namespace RepeatKey {

constexpr const char* kGa4Kind = "1";
constexpr const char* kFunnelKind = "2";

// kind + "::" + milliseconds + "::" + category + "::" + action.
std::string Make(const std::string& kind, std::int64_t milliseconds, const std::string& category,
                 const std::string& action);

// A key cut into the parts repeat detection compares.
struct Parts {
    std::string kindPrefix;  // the first 3 characters ("1::")
    std::string time;        // the next 13 characters: milliseconds
    std::string rest;        // from the 17th character on: "::" category "::" action
};
Parts Split(const std::string& key);

}  // namespace RepeatKey
