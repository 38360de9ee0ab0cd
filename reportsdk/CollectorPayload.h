#pragma once
// The maker's collector payload: the common fields, the event's actions and
// the optional start and monitor objects, stamped with the time of the call.
#include <cstdint>

#include <json/json.h>

#include "reportsdk/CommonFieldStore.h"

namespace CollectorPayload {

// The payload for one event (an object, or null for an event that did not parse).
Json::Value Build(const CommonFieldStore& fields, const Json::Value& event, std::int64_t ts);

// 0 when the payload may be sent, else the refusal code 157..166 of the first
// rule it breaks.
int RefusalCode(const Json::Value& payload);

}  // namespace CollectorPayload
