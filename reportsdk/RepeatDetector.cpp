#include "reportsdk/RepeatDetector.h"

int RepeatDetector::CountAndRecord(const std::string& key) {
    RepeatKey::Parts parts = RepeatKey::Split(key);
    int count = 0;
    // Newest to oldest, up to the first key that lies outside the window.
    for (auto earlier = earlier_.rbegin(); earlier != earlier_.rend(); ++earlier) {
        if (RepeatKey::SecondsApart(earlier->milliseconds, parts.milliseconds) > kWindowSeconds) break;
        if (earlier->kindPrefix == parts.kindPrefix && earlier->rest == parts.rest) ++count;
    }
    const bool newest = earlier_.empty() || parts.milliseconds >= newestMilliseconds_;
    earlier_.push_back(std::move(parts));
    if (newest) {
        newestMilliseconds_ = earlier_.back().milliseconds;
        PruneOlderThanWindow();
    }
    return count;
}

// Keys only matter while they are inside the window of a later key; while
// keys arrive in time order, the oldest ones outside the window of the
// newest can never be counted again.
void RepeatDetector::PruneOlderThanWindow() {
    while (earlier_.size() > 1 &&
           RepeatKey::SecondsApart(earlier_.front().milliseconds, newestMilliseconds_) > kWindowSeconds &&
           earlier_.front().milliseconds < newestMilliseconds_)
        earlier_.pop_front();
}
