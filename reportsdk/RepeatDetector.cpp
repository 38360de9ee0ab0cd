#include "reportsdk/RepeatDetector.h"

#include <charconv>

#include "reportsdk/DeviceFacts.h"

namespace {

std::int64_t OrderOf(const std::string& time) {
    std::int64_t value = 0;
    std::from_chars(time.data(), time.data() + time.size(), value);
    return value;
}

}  // namespace

int RepeatDetector::CountAndRecord(const std::string& key) {
    Earlier entry{RepeatKey::Split(key), 0};
    entry.order = OrderOf(entry.parts.time);
    int count = 0;
    // Newest to oldest, up to the first key that lies outside the window.
    for (auto earlier = earlier_.rbegin(); earlier != earlier_.rend(); ++earlier) {
        if (DeviceFacts::SecondsBetween(earlier->parts.time, entry.parts.time) > kWindowSeconds) break;
        if (earlier->parts.kindPrefix == entry.parts.kindPrefix && earlier->parts.rest == entry.parts.rest) ++count;
    }
    const bool newest = earlier_.empty() || entry.order >= newestOrder_;
    earlier_.push_back(std::move(entry));
    if (newest) {
        newestTime_ = earlier_.back().parts.time;
        newestOrder_ = earlier_.back().order;
        PruneOlderThanWindow();
    }
    return count;
}

// Keys only matter while they are inside the window of a later key; while
// keys arrive in time order, the oldest ones outside the window of the
// newest can never be counted again.
void RepeatDetector::PruneOlderThanWindow() {
    while (earlier_.size() > 1 && earlier_.front().order < newestOrder_ &&
           DeviceFacts::SecondsBetween(earlier_.front().parts.time, newestTime_) > kWindowSeconds)
        earlier_.pop_front();
}
