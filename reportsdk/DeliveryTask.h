#pragma once
// One queued event of the delivery part.
#include <string>

struct DeliveryTask {
    enum Kind { kUnknown = 0, kGa4 = 1, kCollector = 2 };

    bool restored = false;  // re-queued from the history file
    std::string key;        // the event's repeat key
    int kind = kUnknown;
    std::string payload;    // GA4 request URL or collector payload

    // What a payload is, told by the words it must carry.
    static int KindOf(const std::string& payload) {
        if (payload.find("source_type") != std::string::npos &&
            payload.find("cross_end_id") != std::string::npos)
            return kCollector;
        if (payload.find("&tid=") != std::string::npos && payload.find("&en=") != std::string::npos)
            return kGa4;
        return kUnknown;
    }
};
