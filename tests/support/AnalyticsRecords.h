#pragma once
// What reached the analytics endpoints of the devserver, in a form tests can
// compare, and the checks every analytics request of a run must pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/DevServer.h"

namespace testsupport {

// The MainPid of the embedded product configuration: the collector's "pid".
constexpr int kProductMainPid = 8656;

// The analytics hits in the order the devserver saw them: GA4 hits as
// "E|category|action|label", collector hits as "C|category|action|key=value;..."
// (parameters sorted by key).
std::vector<std::string> AnalyticsStream(const std::vector<DevServerRecord>& records);

// True when every expected entry starts one entry of stream, in this order.
::testing::AssertionResult InOrder(const std::vector<std::string>& stream, const std::vector<std::string>& expected);
std::size_t CountOf(const std::vector<std::string>& stream, const std::string& entry);

// Every collector and GA4 request among records is one the services accept:
// the collector gets a POST of styled JSON with the common block of this
// product and an action with category and action, under the library's
// headers; GA4 gets a POST of a version-2 hit with a client id, category,
// action and event name.
::testing::AssertionResult WellFormedAnalytics(const std::vector<DevServerRecord>& records);

}  // namespace testsupport
