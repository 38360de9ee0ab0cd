#include "reportsdk/RepeatKey.h"


namespace RepeatKey {

std::string Make(const std::string& kind, std::int64_t milliseconds, const std::string& category,
                 const std::string& action) {
    return kind + "::" + std::to_string(milliseconds) + "::" + category + "::" + action;
}

Parts Split(const std::string& key) {
    return {key.substr(0, 3), key.size() > 3 ? key.substr(3, 13) : "", key.size() > 16 ? key.substr(16) : ""};
}

}  // namespace RepeatKey
