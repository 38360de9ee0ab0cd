#pragma once
// What the report library's tests share: fixed machine facts, a clock the
// test moves, and a sender that records every request and answers with the
// status the test chooses.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reportsdk/CurlPost.h"
#include "reportsdk/ReportFacts.h"

namespace reporttest {

struct ManualClock {
    std::atomic<std::int64_t> now{1700000000000};
    void Advance(std::chrono::milliseconds step) { now += step.count(); }
};

inline ReportFacts FixedFacts(ManualClock& clock) {
    ReportFacts facts;
    facts.sessionGuid = [] { return std::string("0A1B2C3D-0001-0002-0304-05060708090A"); };
    facts.volumeId = [] { return std::string("7d3c0a9e-51b2-4c43-9a55-2f0b6f4e1d20"); };
    facts.volumeSerial = [] { return std::string("5E2A91C4"); };
    facts.osName = [] { return std::string("Debian GNU/Linux 12-64"); };
    facts.osVersion = [] { return std::string("12(bookworm)"); };
    facts.macAddress = [] { return std::string("52:54:00:AB:CD:EF"); };
    facts.boardMaker = [] { return std::string("QEMU"); };
    facts.boardModel = [] { return std::string("Standard PC"); };
    facts.nowMilliseconds = [&clock] { return clock.now.load(); };
    return facts;
}

struct Request {
    std::string url;
    std::string body;
    long status = 0;  // what the test's service answered
};

// Thread-safe: the sender thread and the test thread both use it.
class RecordingPoster {
public:
    // Status for every request; defaults to what each service accepts.
    void AnswerWith(std::function<long(const Request&)> answer) {
        std::lock_guard hold(lock_);
        answer_ = std::move(answer);
    }

    PostOutcome operator()(const std::string& url, const std::string& body) {
        std::lock_guard hold(lock_);
        requests_.push_back({url, body});
        changed_.notify_all();
        PostOutcome outcome;
        outcome.status = answer_ ? answer_(requests_.back()) : AcceptedStatus(url);
        requests_.back().status = outcome.status;
        outcome.curlCode = outcome.status == 0 ? 7 : 0;
        outcome.errorText = outcome.status == 0 ? "Couldn't connect to server" : "No error";
        return outcome;
    }

    std::vector<Request> Requests() const {
        std::lock_guard hold(lock_);
        return requests_;
    }

    // Waits (generously) until at least count requests arrived.
    bool WaitForRequests(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock hold(lock_);
        return changed_.wait_for(hold, limit, [&] { return requests_.size() >= count; });
    }

    // How many requests for url were answered with the status its service accepts.
    std::size_t AcceptedCount(const std::string& url) const {
        std::lock_guard hold(lock_);
        std::size_t count = 0;
        for (const auto& request : requests_)
            count += request.url == url && request.status == AcceptedStatus(url);
        return count;
    }

    static long AcceptedStatus(const std::string& url) {
        return url.find("/g/collect") != std::string::npos ? 204 : 200;
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Request> requests_;
    std::function<long(const Request&)> answer_;
};

// Polls until done() holds; false after a generous limit.
inline bool Eventually(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace reporttest
